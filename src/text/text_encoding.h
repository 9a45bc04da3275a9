// Text encoding helpers: UTF-8 validation and conversion, Windows-1252 fallback for files.
#pragma once

#include <string>
#include <string_view>

namespace wendrel {

bool IsValidUtf8(std::string_view bytes);

// The bytes of a text file as UTF-8: valid UTF-8 is kept (without a leading byte-order mark),
// anything else is read as Windows-1252.
std::string TextFromFileBytes(std::string bytes);

// Characters (code points) of UTF-8 text; an invalid byte counts as one character.
size_t CodePointCount(std::string_view utf8);

// Code points of UTF-8 text; an invalid byte becomes U+FFFD.
std::u32string DecodeUtf8(std::string_view utf8);
std::string EncodeUtf8(std::u32string_view text);
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace wendrel
