#pragma once
// Reading decimal numbers from text, as the settings and the dialogs' fields hold them.

enum class NumberScan { Number, NoNumber, OutOfRange };

// Reads the decimal number at the start of text: blanks, an optional sign, digits; what
// follows the digits is ignored. Unlike sscanf's "%d" it is defined for every input: a
// number outside the int range is reported, not wrapped. value is set only for Number,
// and end (when given) then points just after the digits.
NumberScan ScanDecimalNumber(const char* text, int& value, const char** end = nullptr);

// Reads text that holds one whole decimal number: blanks around it, an optional sign,
// digits, and nothing else. Empty text, other characters and numbers outside the int range
// are refused; value is left alone then.
bool ParseWholeNumber(const char* text, int& value);
