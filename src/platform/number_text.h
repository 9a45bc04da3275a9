// Reading numbers from text files: the leading number of a text (0 when there is none) and a
// whole text as a number (failing on anything else), and rounding. A full stop is always the
// decimal point.
#pragma once

#include <optional>
#include <string_view>

namespace wendrel {

// The numeric value of the number at the start of text: leading blanks skipped, an optional sign,
// digits with an optional decimal point and exponent; 0 when text does not begin with a number.
// "  12abc" is 12, "*Vertices 5" is 0, "3   5.0" is 3.
double LeadingNumber(std::string_view text);

// The same, read as the old Basic Val did: blanks anywhere before the number ends are passed
// over, so "1 2" is 12. The text library's tables and files are read this way.
double BasicValue(std::string_view text);

// The whole text as a decimal number (surrounding blanks and line ends allowed); nothing when
// any other character is present or the text is empty. Always reads a full stop as the decimal
// separator, whatever the locale.
std::optional<double> ParseNumber(std::string_view text);

// Rounded to a whole number, halves to even.
double RoundHalfEven(double value);

}  // namespace wendrel
