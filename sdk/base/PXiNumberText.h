#pragma once

#include <string>

// Numbers as text, independent of the process's locale: the form scripts and plugs use.

// Parses text (blanks around allowed) as a decimal number: optional sign, digits with an
// optional fraction (at least one digit in all), optional exponent. Hex, "inf" and "nan" are
// not numbers here: such texts can be plug names. Returns false when text is not a number.
// A number beyond the range of a double gives the nearest limit: the largest finite double
// (with its sign) when too large, zero when too small.
bool PXiParseDecimal(const char* text, double& value);

// The shortest text that reads back as the same float ("0.9", "1e-05", "-2"); non-finite
// values give "inf", "-inf" or "nan".
std::string PXiFloatText(float value);

// value as a float; a finite value beyond the float range gives the largest finite float of
// its sign. Infinities and NaN stay what they are.
float PXiToFloat(double value);

// value rounded to the nearest int (halves away from zero), limited to the int range; NaN 0.
int PXiRoundToInt(double value);
