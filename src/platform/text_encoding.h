// Text encodings: UTF-8 sequences, case folding by code point, slices that never split a
// character, and the Windows-1252 reading of bytes that are not UTF-8 (files of other tools).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wendrel {

// Length of the valid UTF-8 sequence at s[at] and its code point; 0 when none starts there
// (overlong forms, surrogates and values above U+10FFFF are not valid).
size_t ReadUtf8Sequence(std::string_view s, size_t at, char32_t& codePoint);
void AppendUtf8(std::string& out, char32_t codePoint);
bool IsValidUtf8(std::string_view bytes);

// The bytes of a text file as UTF-8: valid UTF-8 is kept (without a leading byte-order mark),
// anything else is read as Windows-1252 as a whole.
std::string TextFromFileBytes(std::string bytes);
// Mixed text: valid UTF-8 sequences are kept, every other byte is read as Windows-1252.
std::string DecodeLegacyText(std::string_view bytes);

// Characters (code points) of UTF-8 text; an invalid byte counts as one character.
size_t CodePointCount(std::string_view utf8);
// Code points of UTF-8 text; an invalid byte becomes U+FFFD.
std::u32string DecodeUtf8(std::string_view utf8);
std::string EncodeUtf8(std::u32string_view text);

// Lower- and upper-cased UTF-8: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters;
// every other character, and every byte that is not valid UTF-8, passes unchanged. One code point
// always maps to one code point, so slices by code point commute with folding.
std::string LowerCaseText(std::string_view text);
// The text without the blanks and tabs at its ends.
std::string Trimmed(std::string_view text);
std::string UpperCaseText(std::string_view text);

// The first or last `count` code points (the whole text when it is shorter); an invalid byte
// counts as one character, so a slice never splits a valid sequence.
std::string FirstCodePoints(std::string_view text, size_t count);
std::string LastCodePoints(std::string_view text, size_t count);

}  // namespace wendrel
