// JSONDeserializer: the object table of a reply, built in one pass over the text, and the
// text-search element reading over each object's own text.
#include "search_client/json_deserializer.h"

#include <algorithm>
#include <limits>

#include "platform/host.h"
#include "platform/text_encoding.h"

namespace wendrel {

namespace {

constexpr size_t kYieldInterval = 4096;
constexpr size_t kMinimumLength = 8;  // characters

bool ReadHex4(std::string_view s, size_t pos, uint32_t& value) {
  if (pos + 4 > s.size()) return false;
  value = 0;
  for (size_t i = pos; i < pos + 4; ++i) {
    char c = s[i];
    uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return false;
    }
    value = value * 16 + digit;
  }
  return true;
}

// s[pos] is a backslash inside a string. Appends what the escape stands for and returns the
// offset after it. A malformed escape is kept as written; a surrogate without its partner
// becomes U+FFFD.
size_t DecodeEscape(std::string_view s, size_t pos, std::string& out) {
  if (pos + 1 >= s.size()) {
    out += '\\';
    return pos + 1;
  }
  char c = s[pos + 1];
  switch (c) {
    case '"':
    case '\\':
    case '/':
      out += c;
      return pos + 2;
    case 'b':
      out += '\b';
      return pos + 2;
    case 'f':
      out += '\f';
      return pos + 2;
    case 'n':
      out += '\n';
      return pos + 2;
    case 'r':
      out += '\r';
      return pos + 2;
    case 't':
      out += '\t';
      return pos + 2;
    case 'u': {
      uint32_t unit = 0;
      if (!ReadHex4(s, pos + 2, unit)) break;
      size_t next = pos + 6;
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        uint32_t low = 0;
        if (next + 1 < s.size() && s[next] == '\\' && s[next + 1] == 'u' && ReadHex4(s, next + 2, low) &&
            low >= 0xDC00 && low <= 0xDFFF) {
          AppendUtf8(out, static_cast<char32_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
          return next + 6;
        }
        unit = 0xFFFD;
      } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
        unit = 0xFFFD;
      }
      AppendUtf8(out, static_cast<char32_t>(unit));
      return next;
    }
    default:
      break;
  }
  out += '\\';
  out += c;
  return pos + 2;
}

// Offset of the quote that ends the string whose content starts at pos, or npos.
size_t FindStringEnd(std::string_view s, size_t pos) {
  for (size_t i = pos; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
    } else if (s[i] == '"') {
      return i;
    }
  }
  return std::string_view::npos;
}

// Offset of the first `target` at or after pos that is not inside a string (pos is outside
// one), or npos.
size_t FindOutsideStrings(std::string_view s, size_t pos, char target) {
  for (size_t i = pos; i < s.size(); ++i) {
    if (s[i] == target) return i;
    if (s[i] == '"') {
      i = FindStringEnd(s, i + 1);
      if (i == std::string_view::npos) break;
    }
  }
  return std::string_view::npos;
}

// The value as the caller sees it: the quotes that delimit strings are dropped (and, with
// dropBrackets, the opening brackets outside strings), string contents are decoded. Quotes and
// brackets that belong to the text itself survive.
std::string CleanValue(std::string_view raw, bool dropBrackets) {
  std::string out;
  out.reserve(raw.size());
  bool inString = false;
  for (size_t i = 0; i < raw.size();) {
    char c = raw[i];
    if (inString) {
      if (c == '\\') {
        i = DecodeEscape(raw, i, out);
        continue;
      }
      if (c == '"') {
        inString = false;
      } else {
        out += c;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c != '[' || !dropBrackets) {
      out += c;
    }
    ++i;
  }
  return out;
}

// Offset of the value of the first member named `name` at or after pos in an object's own text
// (pos outside any string), or npos. Only a quoted name followed by its colon counts: a string
// value that ends in the name, or a longer name that ends in it, is passed over, so an abstract
// ending in "ID" or a "FullName" never stands in for the member itself.
size_t FindMemberValue(std::string_view own, size_t pos, std::string_view name) {
  constexpr std::string_view kBlanks = " \t\r\n";
  for (size_t i = pos; i < own.size(); ++i) {
    if (own[i] != '"') continue;
    const size_t close = FindStringEnd(own, i + 1);
    if (close == std::string_view::npos) return std::string_view::npos;
    const size_t colon = own.find_first_not_of(kBlanks, close + 1);
    if (colon != std::string_view::npos && own[colon] == ':' && own.substr(i + 1, close - i - 1) == name) {
      return std::min(own.find_first_not_of(kBlanks, colon + 1), own.size());
    }
    i = close;
  }
  return std::string_view::npos;
}

// The raw value that starts at valueStart ("Key":value): a string up to its closing
// quote, an array up to its first closing bracket (only when withArrays), anything else up to
// the next comma; the rest of the text when the terminator is missing.
std::string_view RawValue(std::string_view own, size_t valueStart, bool withArrays) {
  if (valueStart >= own.size()) return {};
  char first = own[valueStart];
  size_t terminator;
  if (first == '"') {
    terminator = FindStringEnd(own, valueStart + 1);
  } else {
    terminator = FindOutsideStrings(own, valueStart + 1, withArrays && first == '[' ? ']' : ',');
  }
  if (terminator == std::string_view::npos) terminator = own.size();
  return own.substr(valueStart, terminator - valueStart);
}

}  // namespace

bool JSONDeserializer::Read(std::string json, bool ignoreTopLevel) {
  m_json.clear();
  m_objects.clear();
  m_byName.clear();
  if (CodePointCount(json) < kMinimumLength) return false;

  constexpr size_t npos = std::string::npos;
  // Built aside and swapped in at the end, so that a caller running during a DoEvents turn sees
  // the table either empty or complete.
  std::vector<Object> objects(1);
  std::vector<int32_t> open;             // open objects; a closing brace closes the latest
  std::vector<int32_t> lowerCandidates;  // objects that may still be the parent of a later one
  std::vector<int32_t> lastAtLevel(1, 0);
  bool started = false;
  bool inString = false;
  // Within the current segment (the text since the previous opening brace): the last two quote
  // marks and the last comma, wherever it stands.
  size_t q1 = npos, q2 = npos, lastComma = npos;
  int level = 0;

  for (size_t pos = 0; pos < json.size(); ++pos) {
    if (m_host != nullptr && pos % kYieldInterval == kYieldInterval - 1) m_host->DoEvents();
    char c = json[pos];
    if (c == ',') lastComma = pos;
    if (inString) {
      if (c == '\\') {
        ++pos;  // an escaped character is never structure, nor a quote mark
      } else if (c == '"') {
        inString = false;
        q1 = q2;
        q2 = pos;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
      q1 = q2;
      q2 = pos;
    } else if (c == '{') {
      bool skip = !started && ignoreTopLevel;
      started = true;
      if (!skip) {
        int32_t index = static_cast<int32_t>(objects.size());
        if (index > kCapacity) return false;
        ++level;
        Object object;
        object.start = pos;
        object.level = level;
        if (static_cast<size_t>(level) >= lastAtLevel.size()) lastAtLevel.resize(level + 1, 0);
        if (q1 == npos || (lastComma != npos && lastComma >= q1)) {
          // A further element of an array of objects: it shares its previous sibling's name.
          object.name = objects[lastAtLevel[level]].name;
        } else {
          object.name = CleanValue(std::string_view(json).substr(q1, q2 - q1), false);
        }
        lastAtLevel[level] = index;
        // The parent is the nearest earlier object of a lower level; the search gives up at
        // object 1, which is then the parent whatever its level.
        while (!lowerCandidates.empty() && objects[lowerCandidates.back()].level >= level) lowerCandidates.pop_back();
        int32_t lower = lowerCandidates.empty() ? 0 : lowerCandidates.back();
        object.parent = lower >= 2 ? lower : std::min<int32_t>(index - 1, 1);
        lowerCandidates.push_back(index);
        open.push_back(index);
        object.end = npos;
        objects.push_back(std::move(object));
      }
      q1 = q2 = lastComma = npos;
    } else if (c == '}' && started) {
      if (objects.size() > 1) {
        // With every later object closed the brace goes to object 1, even a closed one.
        int32_t index = 1;
        if (!open.empty()) {
          index = open.back();
          open.pop_back();
        }
        objects[index].end = pos;
      }
      if (level > 0) --level;
    }
  }

  for (Object& object : objects) {
    if (object.end == npos) object.end = json.size() - 1;
  }
  BuildOwnTexts(json, objects);
  for (size_t i = 1; i < objects.size(); ++i) m_byName[objects[i].name].push_back(static_cast<int32_t>(i));
  objects.emplace_back();  // end marker: level 0, parent 0
  m_json = std::move(json);
  m_objects = std::move(objects);
  return true;
}

void JSONDeserializer::BuildOwnTexts(const std::string& json, std::vector<Object>& objects) {
  const size_t count = objects.size() - 1;
  // Direct children as linked lists in table order; a child always follows its parent.
  std::vector<int32_t> firstChild(count + 1, 0), nextSibling(count + 1, 0), lastChild(count + 1, 0);
  for (size_t k = 2; k <= count; ++k) {
    int32_t parent = objects[k].parent;
    if (lastChild[parent] != 0) {
      nextSibling[lastChild[parent]] = static_cast<int32_t>(k);
    } else {
      firstChild[parent] = static_cast<int32_t>(k);
    }
    lastChild[parent] = static_cast<int32_t>(k);
  }
  // Copy the object's inner text, skipping the inner text of every direct child that lies in
  // it. Cutting only the run of children right after the object would leave a later child's
  // text (an author after one with a nested object) to be searched as the object's own.
  for (size_t i = 1; i <= count; ++i) {
    Object& object = objects[i];
    const size_t begin = object.start + 1;
    const size_t end = std::max(object.end, object.start + 1);
    size_t cursor = begin;
    std::string own;
    for (int32_t k = firstChild[i]; k != 0; k = nextSibling[k]) {
      size_t childBegin = std::clamp(objects[k].start + 1, cursor, end);
      size_t childEnd = std::clamp(objects[k].end, childBegin, end);
      own.append(json, cursor, childBegin - cursor);
      cursor = childEnd;
    }
    own.append(json, cursor, end - cursor);
    object.ownText = std::move(own);
  }
}

const JSONDeserializer::Object* JSONDeserializer::At(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= m_objects.size()) return nullptr;
  return &m_objects[static_cast<size_t>(index)];
}

int32_t JSONDeserializer::ObjectCount(const std::string& objectName) const {
  if (objectName.empty()) return m_objects.empty() ? 0 : static_cast<int32_t>(m_objects.size() - 2);
  auto found = m_byName.find(objectName);
  return found == m_byName.end() ? 0 : static_cast<int32_t>(found->second.size());
}

int32_t JSONDeserializer::ObjectIndex(const std::string& objectName, int32_t index) const {
  auto found = m_byName.find(objectName);
  if (found == m_byName.end() || index < 1 || static_cast<size_t>(index) > found->second.size()) return 0;
  return found->second[static_cast<size_t>(index) - 1];
}

const std::string& JSONDeserializer::ObjectName(int32_t index) const {
  static const std::string kNone;
  const Object* object = At(index);
  return object == nullptr ? kNone : object->name;
}

uint8_t JSONDeserializer::ObjectLevel(int32_t index) const {
  const Object* object = At(index);
  if (object == nullptr) return 0;
  return static_cast<uint8_t>(std::min(object->level, static_cast<int>(std::numeric_limits<uint8_t>::max())));
}

int32_t JSONDeserializer::ObjectParent(int32_t index) const {
  const Object* object = At(index);
  return object == nullptr ? 0 : object->parent;
}

std::string JSONDeserializer::ObjectText(int32_t index) const {
  if (index < 1 || index > ObjectCount("")) return {};
  const Object& object = m_objects[static_cast<size_t>(index)];
  if (object.end <= object.start) return {};
  return m_json.substr(object.start + 1, object.end - object.start - 1);
}

int32_t JSONDeserializer::LastChild(int32_t objectIndex) const {
  if (objectIndex < 1 || objectIndex > ObjectCount("")) return 0;
  const int level = m_objects[static_cast<size_t>(objectIndex)].level;
  size_t k = static_cast<size_t>(objectIndex) + 1;
  while (m_objects[k].level > level) ++k;  // the end marker's level 0 stops the walk
  return static_cast<int32_t>(k - 1);
}

std::string JSONDeserializer::GetElementInObject(int32_t objectIndex, const std::string& elementName) const {
  const Object* object = At(objectIndex);
  if (object == nullptr) return {};
  std::string_view own = object->ownText;
  size_t valueStart = FindMemberValue(own, 0, elementName);
  if (valueStart == std::string_view::npos) return {};
  return CleanValue(RawValue(own, valueStart, true), true);
}

std::vector<std::string> JSONDeserializer::GetAllElementsInObject(int32_t objectIndex,
                                                                  const std::string& elementName) const {
  std::vector<std::string> values(1);
  const Object* object = At(objectIndex);
  if (object == nullptr) return values;
  std::string_view own = object->ownText;
  for (size_t valueStart = 0; (valueStart = FindMemberValue(own, valueStart, elementName)) != std::string_view::npos;) {
    values.push_back(CleanValue(RawValue(own, valueStart, false), false));
  }
  return values;
}

}  // namespace wendrel
