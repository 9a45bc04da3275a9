// Small text and file helpers.
#include "text/text_functions.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

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

double LeadingNumber(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  std::string digits;
  size_t i = 0;
  while (i < text.size() && blank(text[i])) ++i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) digits += text[i++];
  bool point = false, any = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (blank(c)) continue;
    if (c >= '0' && c <= '9') {
      digits += c;
      any = true;
    } else if (c == '.' && !point) {
      digits += c;
      point = true;
    } else {
      break;
    }
  }
  if (!any) return 0;
  // An exponent only counts when digits follow it.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    std::string exponent = "e";
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '-' || text[j] == '+')) exponent += text[j++];
    size_t before = exponent.size();
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') exponent += text[j++];
    if (exponent.size() > before) digits += exponent;
  }
  double value = 0;
  std::from_chars(digits.data() + (digits[0] == '+' ? 1 : 0), digits.data() + digits.size(), value);
  return value;
}

double RoundHalfEven(double value) { return std::nearbyint(value); }

std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw TextError("cannot open " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw TextError("cannot read " + path);
  return TextFromFileBytes(std::move(bytes).str());
}

void WriteTextFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw TextError("cannot create " + path);
  out << content;
  out.flush();
  if (!out) throw TextError("cannot write " + path);
}

std::string ProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

std::string PathWithoutExtension(const std::string& path) {
  std::filesystem::path p(path);
  if (!p.has_extension()) return path;
  return p.replace_extension().string();
}

}  // namespace wendrel
