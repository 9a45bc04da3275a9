// Tests of the reply reader: the object table against a JSON parser, strings that hold braces,
// quotes and escapes, and limits (hostile input is in result_records_test.cpp).
#include "search_client/json_deserializer.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>

#include "platform/scripted_host.h"
#include "test_paths.h"

namespace wendrel {
namespace {

using nlohmann::ordered_json;

JSONDeserializer ReadText(const std::string& json, bool ignoreTopLevel = false) {
  JSONDeserializer reader;
  EXPECT_TRUE(reader.Read(json, ignoreTopLevel)) << json;
  return reader;
}

// Lookups, subtrees and element values of the whole table are checked against a parser below.
TEST(JSONDeserializer, TopLevelLeftOutAndShortTextRefused) {
  JSONDeserializer r = ReadText(R"({"d":{"Result":[{"ID":1},{"ID":2}]}})", true);
  ASSERT_EQ(r.ObjectCount(""), 3);
  EXPECT_EQ(r.ObjectLevel(3), 2);
  EXPECT_EQ(r.ObjectParent(3), 1);
  // The outermost closing brace finds every object closed and goes to object 1.
  EXPECT_EQ(r.ObjectText(1), R"("Result":[{"ID":1},{"ID":2}]})");
  EXPECT_FALSE(r.Read("{\"\xC3\xA9\":1}", false)) << "eight bytes but seven characters";
  EXPECT_EQ(r.ObjectCount(""), 0);
  EXPECT_TRUE(r.Read(R"({"ab":1})", false));
}

TEST(JSONDeserializer, BracesAndQuotesInsideStringsAreText) {
  JSONDeserializer r =
      ReadText(R"({"Result":[{"Title":"a { b","ID":1},{"Title":"say \"}\", twice\\","ID":2}],"k\"ey":{"a":1},"x":1})");
  ASSERT_EQ(r.ObjectCount(""), 4);
  EXPECT_EQ(r.ObjectCount("Result"), 2);
  EXPECT_EQ(r.GetElementInObject(2, "Title"), "a { b");
  EXPECT_EQ(r.GetElementInObject(3, "Title"), R"(say "}", twice\)");
  EXPECT_EQ(r.GetElementInObject(3, "ID"), "2");
  EXPECT_EQ(r.ObjectName(4), "k\"ey");  // an escaped quote is part of the name, not a quote mark
  EXPECT_EQ(r.GetElementInObject(1, "x"), "1");
}

// An author holding a nested object used to leave the later authors' texts in the publication's
// own text, so its ID and counts were read from an author.
TEST(JSONDeserializer, OwnTextLeavesOutEveryDirectChild) {
  JSONDeserializer r = ReadText(R"({"Abstract":"","Author":[{"Affiliation":{"ID":5,"CitationCount":9},"ID":7},)"
                                R"({"Affiliation":null,"CitationCount":3,"ID":8}],"CitationCount":40,"ID":99})");
  EXPECT_EQ(r.GetElementInObject(1, "ID"), "99");
  EXPECT_EQ(r.GetElementInObject(1, "CitationCount"), "40");
  EXPECT_EQ(r.GetElementInObject(1, "Author"), "{},{}");  // children cut, braces kept
  EXPECT_EQ(r.GetElementInObject(2, "ID"), "7");
}

TEST(JSONDeserializer, TruncatedReply) {
  JSONDeserializer r = ReadText(R"({"d":{"Result":[{"ID":1},{"ID":2,"Title":"x")");
  ASSERT_EQ(r.ObjectCount(""), 4);
  // An object never closed runs to one character before the end of the text.
  EXPECT_EQ(r.ObjectText(4), R"("ID":2,"Title":"x)");
  EXPECT_EQ(r.GetElementInObject(3, "ID"), "1");
  EXPECT_EQ(r.LastChild(1), 4);
  // Cut inside a string: the rest of the text is the value.
  EXPECT_EQ(ReadText(R"({"Result":[{"ID":3,"Title":"half a ti)").GetElementInObject(2, "Title"), "half a t");
}

TEST(JSONDeserializer, ElementReading) {
  struct Case {
    const char* name;
    const char* body;  // the members of one object
    const char* element;
    const char* expected;
  };
  const Case cases[] = {
      {"CommaInString", R"("Title":"a, b","Year":1)", "Title", "a, b"},
      {"Missing", R"("Year":1999)", "Title", ""},
      {"CaseSensitiveKey", R"("title":"x")", "Title", ""},
      {"EmptyArray", R"("U":[],"ID":1)", "U", ""},
      {"BracketInsideArrayItem", R"("U":["a]b","c[d"],"ID":1)", "U", "a]b,c[d"},
      {"BracketsInString", R"("Title":"[Review] of x","ID":1)", "Title", "[Review] of x"},
      {"SimpleEscapes", R"("T":"\\ \/ \b\f\n\r\t")", "T", "\\ / \b\f\n\r\t"},
      {"BmpEscapes", R"("T":"caf\u00E9 \u2013 \u0041")", "T", "caf\xC3\xA9 \xE2\x80\x93 A"},
      {"SurrogatePair", R"("T":"\ud83d\ude00")", "T", "\xF0\x9F\x98\x80"},
      {"LoneHighSurrogate", R"("T":"a\ud83db")", "T", "a\uFFFDb"},
      {"LoneLowSurrogate", R"("T":"\ude00")", "T", "\uFFFD"},
      {"HighSurrogateThenOther", R"("T":"\ud83d\u0041")", "T", "\uFFFDA"},
      {"UnknownEscapeKept", R"("T":"a\qb")", "T", "a\\qb"},
      {"ShortUnicodeEscapeKept", R"("T":"\u12G4")", "T", "\\u12G4"},
      // Only a member's name counts: values and longer names that end in it are passed over.
      {"ValueEndingInName", R"("Abstract":"keyed by patient ID","ID":7)", "ID", "7"},
      {"ValueLookingLikeMember", R"("Title":"a \"ID\":9 b","ID":7)", "ID", "7"},
      {"ValueIsTheName", R"("Abstract":"Year","Year":1999)", "Year", "1999"},
      {"LongerNameEndingInName", R"("FullName":"X","Name":"Y")", "Name", "Y"},
      {"OnlyInValues", R"("Abstract":"DOI","Note":"DOI")", "DOI", ""},
      {"BlanksAroundColon", R"("ID" : 7)", "ID", "7"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadText(std::string("{") + c.body + "}").GetElementInObject(1, c.element), c.expected) << c.name;
  }
}

TEST(JSONDeserializer, GetAllElementsInObject) {
  JSONDeserializer r = ReadText(R"({"Name":"a","x":{"Name":"hidden"},"FullName":"c, \"d\"","y":"Name","Name" : 3})");
  EXPECT_EQ(r.GetAllElementsInObject(1, "Name"), (std::vector<std::string>{"", "a", "3"}));
  EXPECT_EQ(r.GetAllElementsInObject(1, "Missing"), std::vector<std::string>(1));
  EXPECT_EQ(r.GetAllElementsInObject(7, "Name"), std::vector<std::string>(1));
}

TEST(JSONDeserializer, TooManyObjects) {
  auto reply = [](int items) {
    std::string text = R"({"a":[{})";
    for (int i = 1; i < items; ++i) text += ",{}";
    return text + "]}";
  };
  JSONDeserializer r;
  ASSERT_TRUE(r.Read(reply(JSONDeserializer::kCapacity - 1), false));
  EXPECT_EQ(r.ObjectCount(""), JSONDeserializer::kCapacity);
  EXPECT_FALSE(r.Read(reply(JSONDeserializer::kCapacity), false));
  EXPECT_EQ(r.ObjectCount(""), 0);
  EXPECT_EQ(r.ObjectName(1), "");
}

TEST(JSONDeserializer, DeepNestingSaturatesLevel) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += R"({"a":)";
  JSONDeserializer r = ReadText(text + "1" + std::string(300, '}'));
  ASSERT_EQ(r.ObjectCount("a"), 299);
  EXPECT_EQ(r.ObjectLevel(255), 255);
  EXPECT_EQ(r.ObjectLevel(300), 255);
  EXPECT_EQ(r.ObjectParent(300), 299);
  EXPECT_EQ(r.LastChild(1), 300);
  EXPECT_EQ(r.GetElementInObject(300, "a"), "1");
}

TEST(JSONDeserializer, HostGetsTurnsButNeverSeesAHalfBuiltTable) {
  std::string text = R"({"Result":[)";
  for (int i = 0; i < 2000; ++i) text += (i ? R"(,{"ID":)" : R"({"ID":)") + std::to_string(i) + R"(,"Title":"t"})";
  text += "]}";
  ScriptedHost host;
  JSONDeserializer withHost(&host);
  ASSERT_TRUE(withHost.Read("{\"x\":{\"y\":1}}", false));
  int32_t countSeenDuringRead = -1;
  host.OnDoEvents([&] { countSeenDuringRead = withHost.ObjectCount(""); });
  ASSERT_TRUE(withHost.Read(text, false));
  EXPECT_GE(host.DoEventsCount(), static_cast<int>(text.size() / 8192));
  EXPECT_EQ(countSeenDuringRead, 0) << "a half-built table was visible";
  // That the turns change nothing is checked on the records (ResultRecords.HostGetsTurns).
  EXPECT_EQ(withHost.ObjectCount("Result"), 2000);
}

// What a real parser says the table should hold: objects in document order, each named after
// its key (elements of an array after the array's key), with its level and parent.
struct OracleObject {
  std::string name;
  int level;
  int32_t parent;
  const ordered_json* value;
};

void CollectObjects(const ordered_json& value, const std::string& name, int32_t parent, int level,
                    std::vector<OracleObject>& out) {
  if (value.is_object()) {
    out.push_back({name, level, parent, &value});
    const auto self = static_cast<int32_t>(out.size());
    for (const auto& [key, member] : value.items()) CollectObjects(member, key, self, level + 1, out);
  } else if (value.is_array()) {
    for (const ordered_json& item : value) CollectObjects(item, name, parent, level, out);
  }
}

// A member's value as the reader gives it, or nothing for values it gives in another form.
std::optional<std::string> ScalarText(const ordered_json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_null() || value.is_boolean() || value.is_number_integer()) return value.dump();
  if (!value.is_array() || value.empty()) return std::nullopt;
  std::string joined;
  for (const ordered_json& item : value) {
    if (!item.is_string()) return std::nullopt;
    joined += (joined.empty() ? "" : ",") + item.get<std::string>();
  }
  return joined;
}

void CompareWithParser(const std::string& text) {
  const ordered_json document = ordered_json::parse(text);
  std::vector<OracleObject> expected;
  CollectObjects(document, "", 0, 1, expected);
  JSONDeserializer r = ReadText(text);
  ASSERT_EQ(r.ObjectCount(""), static_cast<int32_t>(expected.size()));
  int checkedValues = 0;
  for (int32_t i = 1; i <= r.ObjectCount(""); ++i) {
    const OracleObject& e = expected[static_cast<size_t>(i) - 1];
    ASSERT_EQ(r.ObjectName(i), e.name) << i;
    ASSERT_EQ(r.ObjectLevel(i), e.level) << i;
    ASSERT_EQ(r.ObjectParent(i), e.parent) << i;
    for (const auto& [key, member] : e.value->items()) {
      if (std::optional<std::string> value = ScalarText(member)) {
        EXPECT_EQ(r.GetElementInObject(i, key), *value) << "object " << i << " element " << key;
        ++checkedValues;
      }
    }
  }
  EXPECT_GT(checkedValues, r.ObjectCount(""));
}

TEST(JSONDeserializer, RepliesMatchParser) {
  CompareWithParser(test::ReadFile(test::DataPath("mas_reply_three.json")));
}

TEST(JSONDeserializer, SharedRepliesMatchParser) {
  const auto replies =
      test::SharedFiles({"mas/reply_51_results.json", "mas/reply_92_results.json", "mas/reply_empty.json"});
  if (replies.empty()) GTEST_SKIP() << "shared test data absent";
  for (const auto& [name, reply] : replies) {
    SCOPED_TRACE(name);
    CompareWithParser(reply);
  }
}

}  // namespace
}  // namespace wendrel
