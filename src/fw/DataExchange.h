#pragma once
// The portable half of the data exchange: reading a control's text as a number.

// Reads text that holds one whole decimal number: blanks around it, an optional sign,
// digits, and nothing else. Empty text, other characters and numbers outside the int range
// are refused; value is left alone then.
bool ParseWholeNumber(const char* text, int& value);
