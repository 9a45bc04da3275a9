// Number reading shared by every reader of numbers in text files.
#include "platform/number_text.h"

#include <charconv>
#include <cmath>
#include <string>

namespace wendrel {

namespace {

bool IsBlankOrLineEnd(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the decimal number at the start of text (sign, digits, point, exponent), 0 if none.
size_t NumberLength(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < text.size() && IsDigit(text[j])) ++j, ++expDigits;
    if (expDigits > 0) i = j;
  }
  return i;
}

double Convert(std::string_view number) {
  std::string text(number);
  for (char& c : text) {
    if (c == 'd' || c == 'D') c = 'e';
  }
  const char* begin = text.data();
  if (*begin == '+') ++begin;
  double value = 0;
  std::from_chars(begin, text.data() + text.size(), value);
  return value;
}

}  // namespace

double BasicValue(std::string_view text) {
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

double LeadingNumber(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && IsBlankOrLineEnd(text[start])) ++start;
  text.remove_prefix(start);
  size_t length = NumberLength(text);
  return length == 0 ? 0.0 : Convert(text.substr(0, length));
}

std::optional<double> ParseNumber(std::string_view text) {
  while (!text.empty() && IsBlankOrLineEnd(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrLineEnd(text.back())) text.remove_suffix(1);
  size_t length = NumberLength(text);
  if (length == 0 || length != text.size()) return std::nullopt;
  return Convert(text);
}

double RoundHalfEven(double value) { return std::nearbyint(value); }

}  // namespace wendrel
