// JSONDeserializer: reads one reply of the academic search service into a flat table of its
// objects and answers questions about their names, nesting and element values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wendrel {

class Host;

// Not a general JSON parser. Every pair of braces outside strings is an object; objects are
// numbered from 1 in the order of their opening braces, slot 0 stays empty and slot count + 1
// (level 0, parent 0) ends the last subtree. An object is named after the last quoted string
// before its opening brace, or, when a comma follows that string (the further elements of an
// array of objects), after the previous object of the same level. Element values are found by
// member name in the object's own text: its text with the texts of its direct children cut out
// (their braces stay).
//
// Use one deserializer per reply; Read replaces whatever an earlier Read built.
class JSONDeserializer {
 public:
  // A reply with more objects than this is refused.
  static constexpr int32_t kCapacity = 9999;

  // The host, when given, gets an event-loop turn every few thousand characters of a Read.
  explicit JSONDeserializer(Host* host = nullptr) : m_host(host) {}

  // Builds the object table. False, with an empty table, for a text shorter than 8 characters
  // or one with more than kCapacity objects. With ignoreTopLevel the outermost object is not
  // recorded.
  bool Read(std::string json, bool ignoreTopLevel);

  // Objects named exactly objectName (case-sensitive); all objects for an empty name.
  int32_t ObjectCount(const std::string& objectName) const;
  // Number of the index-th (from 1) object named objectName; 0 when there is none.
  int32_t ObjectIndex(const std::string& objectName, int32_t index) const;

  // Table entries; out of range gives "", 0, 0. The level saturates at 255.
  const std::string& ObjectName(int32_t index) const;
  uint8_t ObjectLevel(int32_t index) const;
  int32_t ObjectParent(int32_t index) const;

  // The characters strictly between the object's braces. An object never closed runs to one
  // character before the end of the text.
  std::string ObjectText(int32_t index) const;

  // Last object of the subtree that starts at objectIndex (itself when it has no children);
  // 0 for an index outside 1..count.
  int32_t LastChild(int32_t objectIndex) const;

  // Value of the first member named exactly elementName in the object's own text (a string
  // value is never taken for a name): a string without its quotes and with its escapes decoded,
  // a number or literal as written, an array of strings as its decoded items joined by ",";
  // empty when not found.
  std::string GetElementInObject(int32_t objectIndex, const std::string& elementName) const;
  // Every occurrence, in slots 1 to n; slot 0 is empty (so a missing element gives one slot).
  std::vector<std::string> GetAllElementsInObject(int32_t objectIndex, const std::string& elementName) const;

 private:
  struct Object {
    std::string name;
    size_t start = 0;  // offset of the opening brace
    size_t end = 0;    // offset of the closing brace
    int level = 0;
    int32_t parent = 0;
    std::string ownText;
  };

  const Object* At(int32_t index) const;
  static void BuildOwnTexts(const std::string& json, std::vector<Object>& objects);

  Host* m_host;
  std::string m_json;
  std::vector<Object> m_objects;  // slots 0 to count + 1 after a successful Read, else empty
  std::unordered_map<std::string, std::vector<int32_t>> m_byName;
};

}  // namespace wendrel
