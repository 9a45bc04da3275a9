// Small text and file helpers.
#include "text/text_functions.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/replacing_file.h"
#include "platform/text_encoding.h"
#include "text/text_error.h"

namespace wendrel {

std::vector<std::string> SplitText(std::string_view text, std::string_view delimiter) {
  std::vector<std::string> pieces;
  if (delimiter.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t start = 0;
  for (;;) {
    size_t at = text.find(delimiter, start);
    if (at == std::string_view::npos) break;
    pieces.emplace_back(text.substr(start, at - start));
    start = at + delimiter.size();
  }
  pieces.emplace_back(text.substr(start));
  return pieces;
}

std::string TrimSpaces(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
  if (what.empty()) return std::string(text);
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(what, start);
    if (at == std::string_view::npos) break;
    out.append(text.substr(start, at - start)).append(with);
    start = at + what.size();
  }
  out.append(text.substr(start));
  return out;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw TextError("cannot open " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw TextError("cannot read " + path);
  std::string content = std::move(bytes).str();
  // A byte-order mark goes also before a file that is not UTF-8 after all (Windows-1252 text
  // behind it), so that its first line starts with the text.
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
  return TextFromFileBytes(std::move(content));
}

void WriteTextFile(const std::string& path, const std::string& content) {
  try {
    ReplaceFile(path, content);
  } catch (const ReplaceError& e) {
    throw TextError(e.what());
  }
}

std::string PathWithoutExtension(const std::string& path) {
  std::filesystem::path p(path);
  if (!p.has_extension()) return path;
  return p.replace_extension().string();
}

}  // namespace wendrel
