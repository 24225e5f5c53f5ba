#pragma once
// The portable half of the data exchange: reading a control's text as a number.

// Reads the decimal number at the start of text: blanks, an optional sign, digits.
// Returns the position just after the digits, or null when there is no number or it lies
// outside the int range; value is left alone then.
const char* ScanDecimalNumber(const char* text, int& value);

// Reads text that holds one whole decimal number: blanks around it, an optional sign,
// digits, and nothing else. Empty text, other characters and numbers outside the int range
// are refused; value is left alone then.
bool ParseWholeNumber(const char* text, int& value);
