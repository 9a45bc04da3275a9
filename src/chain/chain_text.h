// Text helpers of the chain: case folding for look-ups, slices by code point, and reading the
// lines of files written by other tools (UTF-8, or else Windows-1252).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wendrel {

// Lower- and upper-cased UTF-8: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters;
// every other character, and every byte that is not valid UTF-8, passes unchanged. One code point
// always maps to one code point, so slices by code point commute with folding.
std::string LowerCaseText(std::string_view text);
std::string UpperCaseText(std::string_view text);

// The first or last `count` code points (the whole text when it is shorter).
std::string FirstCodePoints(std::string_view text, size_t count);
std::string LastCodePoints(std::string_view text, size_t count);

// Valid UTF-8 sequences are kept; every other byte is read as Windows-1252 and written as UTF-8.
std::string DecodeLegacyText(std::string_view bytes);

}  // namespace wendrel
