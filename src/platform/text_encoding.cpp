// UTF-8 handling, case folding and the Windows-1252 fallback shared by every reader of text.
#include "platform/text_encoding.h"

namespace wendrel {

namespace {

// Windows-1252 bytes 0x80-0x9F; the five unassigned ones keep their own code points.
constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t Windows1252(unsigned char b) { return b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : b; }

char32_t LowerCodePoint(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 0x20;
  if (c == 0x178) return 0xFF;
  // Latin Extended-A pairs capital and small letter side by side; the run from U+0139 to U+0148
  // and from U+0179 to U+017E starts on an odd code point. The dotted and dotless i (U+0130,
  // U+0131) pair with ASCII letters and are left alone.
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
    return (c % 2 == 0) ? c + 1 : c;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 1) ? c + 1 : c;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

char32_t UpperCodePoint(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;
  if (c == 0xFF) return 0x178;
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
    return (c % 2 == 1) ? c - 1 : c;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 0) ? c - 1 : c;
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (c >= 0x3B1 && c <= 0x3C9) return c - 0x20;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

template <typename Map>
std::string MapCodePoints(std::string_view text, Map map) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    size_t length = ReadUtf8Sequence(text, i, c);
    if (length == 0) {
      out += text[i++];
      continue;
    }
    AppendUtf8(out, map(c));
    i += length;
  }
  return out;
}

size_t NextBoundary(std::string_view text, size_t at) {
  char32_t c = 0;
  size_t length = ReadUtf8Sequence(text, at, c);
  return at + (length ? length : 1);
}

}  // namespace

size_t ReadUtf8Sequence(std::string_view s, size_t at, char32_t& codePoint) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[at + k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (at + length > s.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(k) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  codePoint = value;
  return length;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsValidUtf8(std::string_view bytes) {
  char32_t cp;
  for (size_t i = 0; i < bytes.size();) {
    size_t n = ReadUtf8Sequence(bytes, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string TextFromFileBytes(std::string bytes) {
  if (IsValidUtf8(bytes)) {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    return bytes;
  }
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) AppendUtf8(out, Windows1252(static_cast<unsigned char>(c)));
  return out;
}

std::string DecodeLegacyText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    size_t length = ReadUtf8Sequence(bytes, i, c);
    if (length) {
      out.append(bytes.substr(i, length));
      i += length;
    } else {
      AppendUtf8(out, Windows1252(static_cast<unsigned char>(bytes[i++])));
    }
  }
  return out;
}

size_t CodePointCount(std::string_view utf8) {
  size_t count = 0;
  for (size_t i = 0; i < utf8.size(); ++count) i = NextBoundary(utf8, i);
  return count;
}

std::u32string DecodeUtf8(std::string_view utf8) {
  std::u32string out;
  char32_t cp;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = ReadUtf8Sequence(utf8, i, cp);
    out += n ? cp : U'\uFFFD';
    i += n ? n : 1;
  }
  return out;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  for (char32_t cp : text) AppendUtf8(out, cp);
  return out;
}

std::string LowerCaseText(std::string_view text) { return MapCodePoints(text, LowerCodePoint); }

std::string UpperCaseText(std::string_view text) { return MapCodePoints(text, UpperCodePoint); }

std::string FirstCodePoints(std::string_view text, size_t count) {
  size_t end = 0;
  for (size_t n = 0; n < count && end < text.size(); ++n) end = NextBoundary(text, end);
  return std::string(text.substr(0, end));
}

std::string LastCodePoints(std::string_view text, size_t count) {
  size_t total = CodePointCount(text);
  size_t start = 0;
  for (size_t skip = total > count ? total - count : 0; skip > 0; --skip) start = NextBoundary(text, start);
  return std::string(text.substr(start));
}

std::string Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

}  // namespace wendrel
