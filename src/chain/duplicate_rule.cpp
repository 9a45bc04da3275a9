// Last names and titles folded for comparison, years read as numbers, and the agreement of two namesakes.
#include "chain/duplicate_rule.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>

#include "platform/text_encoding.h"

namespace wendrel {

namespace {

// Base letters of the lower-case letters U+00DF to U+00FF; '*' keeps the character (the division
// sign), and the letters that stand for two are handled before the table.
constexpr std::string_view kLatin1Base = "saaaaaaaceeeeiiiidnooooo*ouuuuyty";
// Base letters of U+0100 to U+017F (Latin Extended-A, upper and lower case alike).
constexpr std::string_view kLatinExtendedABase =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkklllllll"
    "lllnnnnnnnnnoooooooorrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(kLatin1Base.size() == 0x100 - 0xDF && kLatinExtendedABase.size() == 0x80);

void AppendFolded(std::string& out, char32_t c) {
  if (c >= 0x300 && c <= 0x36F) return;  // combining marks of decomposed text
  switch (c) {
    case U'ß': out += "ss"; return;
    case U'æ': out += "ae"; return;
    case U'þ': out += "th"; return;
    case U'œ':
    case U'Œ': out += "oe"; return;
    case U'ĳ':
    case U'Ĳ': out += "ij"; return;
    default: break;
  }
  if (c >= 0xDF && c <= 0xFF && kLatin1Base[c - 0xDF] != '*') {
    out += kLatin1Base[c - 0xDF];
  } else if (c >= 0x100 && c <= 0x17F) {
    out += kLatinExtendedABase[c - 0x100];
  } else {
    AppendUtf8(out, c);
  }
}

}  // namespace

std::string LastNameKey(const std::string& firstAuthor) {
  const std::string lastName = LowerCaseText(firstAuthor.substr(0, firstAuthor.find(',')));
  std::string key;
  for (char32_t c : DecodeUtf8(lastName)) AppendFolded(key, c);
  return Trimmed(key);
}

std::string TitleKey(const std::string& title) {
  std::string key;
  const std::u32string text = DecodeUtf8(LowerCaseText(title));
  for (size_t k = 0; k < text.size(); ++k) {
    const char32_t c = text[k];
    if (c == U'<') {
      // A markup tag of a few letters, as titles from publishers' metadata carry them.
      size_t end = k + 1 < text.size() && text[k + 1] == U'/' ? k + 2 : k + 1;
      const size_t letters = end;
      while (end < text.size() && end - letters < 8 && text[end] >= U'a' && text[end] <= U'z') ++end;
      if (end > letters && end < text.size() && text[end] == U'>') {
        k = end;
        continue;
      }
    }
    if (c < 0x80) {
      if ((c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9')) key += static_cast<char>(c);
      continue;
    }
    // Latin-1 punctuation and symbols, general and supplemental punctuation, CJK punctuation,
    // and the replacement character of undecodable bytes.
    if (c <= 0xBF || c == 0xD7 || c == 0xF7 || (c >= 0x2000 && c <= 0x206F) || (c >= 0x2E00 && c <= 0x2E7F) ||
        (c >= 0x3000 && c <= 0x303F) || c == 0xFFFD)
      continue;
    AppendFolded(key, c);
  }
  return key;
}

std::string MainTitleKey(const std::string& title) {
  size_t end = title.find(':');
  for (std::string_view dash : {" - ", " \u2013 ", " \u2014 "}) end = std::min(end, title.find(dash));
  if (end == std::string::npos) return {};
  std::string key = TitleKey(title.substr(0, end));
  return key == TitleKey(title) ? std::string() : key;
}

std::optional<int> YearNumber(const std::string& year) {
  int value = 0;
  auto [end, error] = std::from_chars(year.data(), year.data() + year.size(), value);
  if (year.empty() || error != std::errc() || end != year.data() + year.size()) return std::nullopt;
  return value;
}

bool MayBeSameWork(const CCRecord& a, const CCRecord& b) {
  const std::optional<int> yearA = YearNumber(a.Year), yearB = YearNumber(b.Year);
  if (yearA && yearB && std::abs(static_cast<int64_t>(*yearA) - *yearB) > 1) return false;
  const std::string authorA = LastNameKey(a.FirstAuthor), authorB = LastNameKey(b.FirstAuthor);
  return authorA.empty() || authorB.empty() || authorA == authorB;
}

}  // namespace wendrel
