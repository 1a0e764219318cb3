#pragma once
// Reading a colour value of the configuration file: "R,G,B", each 0-255. Portable, no windows.h.

// Reads text into rgb (0.0-1.0 each). The text is split at its first two commas into red,
// green and the rest for blue; of each field only the first three characters count. A component
// outside 0-255 becomes 0.5. A field the text does not give keeps builtin's component, so an
// absent or empty value leaves the built-in colour whole.
void ParseColourText(const char* text, const float builtin[3], float rgb[3]);

// The number a field of at most three characters gives: leading white space skipped, decimal
// digits with an optional sign, point and exponent as far as they form a number; no number gives
// 0. Only decimal: "0x9" is 0 (the number ends at the "x"), "inf" and "nan" are no numbers.
double LeadingNumber(const char* field, int maxChars);
