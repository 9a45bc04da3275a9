#include "platform/web_text.h"

#include <cctype>

#include "platform/value_markers.h"

namespace wendrel {

namespace {

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string EncodeQueryValue(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : value) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

std::string_view WithoutDoiResolver(std::string_view doi) {
  for (std::string_view prefix : {"https://doi.org/", "http://doi.org/", "https://dx.doi.org/", "http://dx.doi.org/", "doi:"}) {
    if (StartsWithNoCase(doi, prefix)) return doi.substr(prefix.size());
  }
  return doi;
}

std::string DoiKey(std::string_view doi) {
  std::string key(Trimmed(WithoutDoiResolver(Trimmed(doi))));
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // Lower-cased, "N/A" is "n/a".
  return IsKnownValue(key) ? key : std::string();
}

}  // namespace wendrel
