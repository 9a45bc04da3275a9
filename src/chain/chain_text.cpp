// Case folding, code-point slices and the Windows-1252 fallback of the chain's text handling.
#include "chain/chain_text.h"

namespace wendrel {

namespace {

// The length of the valid UTF-8 sequence at `at` and its code point, or 0 when the byte there
// does not start one (overlong forms, surrogates and values above U+10FFFF are not valid).
size_t ReadSequence(std::string_view text, size_t at, char32_t& codePoint) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
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
  if (at + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(k) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  codePoint = value;
  return length;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

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
    size_t length = ReadSequence(text, i, c);
    if (length == 0) {
      out += text[i++];
      continue;
    }
    if (c < 0x80) {
      out += static_cast<char>(map(c));
    } else {
      AppendUtf8(out, map(c));
    }
    i += length;
  }
  return out;
}

// Where a code point starts: a byte that is not a continuation byte. Invalid bytes count as one
// character each, so a slice never splits a valid sequence.
size_t NextBoundary(std::string_view text, size_t at) {
  char32_t c = 0;
  size_t length = ReadSequence(text, at, c);
  return at + (length ? length : 1);
}

// Windows-1252 in the range 0x80 to 0x9F; the five unassigned bytes keep their own code points.
constexpr char32_t kCp1252High[32] = {0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021,
                                      0x2C6,  0x2030, 0x160,  0x2039, 0x152,  0x8D,   0x17D,  0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};

}  // namespace

std::string LowerCaseText(std::string_view text) { return MapCodePoints(text, LowerCodePoint); }

std::string UpperCaseText(std::string_view text) { return MapCodePoints(text, UpperCodePoint); }

std::string FirstCodePoints(std::string_view text, size_t count) {
  size_t end = 0;
  for (size_t n = 0; n < count && end < text.size(); ++n) end = NextBoundary(text, end);
  return std::string(text.substr(0, end));
}

std::string LastCodePoints(std::string_view text, size_t count) {
  size_t total = 0;
  for (size_t at = 0; at < text.size(); at = NextBoundary(text, at)) ++total;
  size_t start = 0;
  for (size_t skip = total > count ? total - count : 0; skip > 0; --skip) start = NextBoundary(text, start);
  return std::string(text.substr(start));
}

std::string DecodeLegacyText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    size_t length = ReadSequence(bytes, i, c);
    if (length) {
      out.append(bytes.substr(i, length));
      i += length;
      continue;
    }
    const auto b = static_cast<unsigned char>(bytes[i++]);
    AppendUtf8(out, b >= 0xA0 ? b : kCp1252High[b - 0x80]);
  }
  return out;
}

}  // namespace wendrel
