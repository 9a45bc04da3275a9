// Small text and file helpers shared by the document set and the term-document matrix.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wendrel {

// Pieces between occurrences of the delimiter; an empty delimiter gives the whole text.
std::vector<std::string> SplitText(std::string_view text, std::string_view delimiter);
// Without leading and trailing spaces (only the space character).
std::string TrimSpaces(std::string_view text);
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with);

// Whole file as UTF-8 (see TextFromFileBytes); throws TextError when it cannot be read.
std::string ReadTextFile(const std::string& path);
// Creates or replaces a file in one step (the old file stays whole until the new one is); throws
// TextError when it cannot be written.
void WriteTextFile(const std::string& path, const std::string& content);

// The path with the extension of its file name dropped (folders with a dot are left alone).
std::string PathWithoutExtension(const std::string& path);

}  // namespace wendrel
