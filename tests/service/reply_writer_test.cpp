// The replies' JSON style, checked against the original service's real replies where present.
#include "service/reply_writer.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "test_paths.h"

namespace wendrel {
namespace {

using Ordered = nlohmann::ordered_json;

std::vector<std::string> Keys(const Ordered& object) {
  std::vector<std::string> keys;
  for (auto it = object.begin(); it != object.end(); ++it) keys.push_back(it.key());
  return keys;
}

Publication JournalPaper() {
  Publication p;
  p.id = "32216321";
  p.title = "Assessing loss of imprint methylation";
  p.abstract = "First line.\nSecond \"quoted\" line.";
  p.year = 2011;
  p.authors = {{18811235, "Akiko", "Sato"}, {26498762, "Céline", "Boissonnas"}};
  p.keywords = {{10783, "Dna Methylation"}};
  p.venueKind = VenueKind::Journal;
  p.venueId = 3203;
  p.venueName = "Fertility and Sterility";
  p.doi = "10.1016/j.fertnstert.2010.06.076";
  p.urls = {"http://www.example.org/pii/S0015", "http://example.org/a.pdf"};
  p.citationCount = 2;
  p.referenceCount = 32;
  return p;
}

TEST(JsonStringTest, EscapesAsTheOriginalService) {
  struct Case {
    const char* name;
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"slash", "10.1016/j.x", R"("10.1016\/j.x")"},
      {"quote", "say \"hi\"", R"("say \"hi\"")"},
      {"backslash", "a\\b", R"("a\\b")"},
      {"newline", "a\nb", R"("a\u000ab")"},
      {"carriage return and tab", "\r\t", R"("\u000d\u0009")"},
      {"other control", std::string("\x01\x1f", 2), R"("\u0001\u001f")"},
      {"nul", std::string("a\0b", 3), R"("a\u0000b")"},
      {"non-ASCII stays raw", "Céline Łukasz – α", "\"Céline Łukasz – α\""},
      {"delete stays raw", "\x7f", "\"\x7f\""},
  };
  for (const Case& c : cases) {
    std::string out;
    AppendJsonString(out, c.input);
    EXPECT_EQ(out, c.expected) << c.name;
  }
}

TEST(ReplyWriterTest, EmptyAnswerIsByteForByteTheOriginalEmptyReply) {
  auto path = test::SharedPath("mas/reply_empty.json");
  if (!path) GTEST_SKIP() << "shared test data absent";
  EXPECT_EQ(WritePublicationReply({}, 1), test::ReadFile(*path));
}

// Same keys in the same order, the same kind of value under each (numbers stay numbers, nulls
// stay nulls) and the same "__type".
void ExpectSameShape(const Ordered& ours, const Ordered& real, const std::string& where) {
  ASSERT_EQ(Keys(ours), Keys(real)) << where;
  for (const std::string& key : Keys(real)) EXPECT_EQ(ours[key].type(), real[key].type()) << where << "." << key;
  EXPECT_EQ(ours["__type"], real["__type"]) << where;
}

TEST(ReplyWriterTest, ShapeOfTheRealReplies) {
  auto path = test::SharedPath("mas/reply_51_results.json");
  if (!path) GTEST_SKIP() << "shared test data absent";
  Ordered real = Ordered::parse(test::ReadFile(*path));
  Ordered ours = Ordered::parse(WritePublicationReply({1, {JournalPaper()}}, 1));
  EXPECT_EQ(Keys(ours), Keys(real));
  ExpectSameShape(ours["d"], real["d"], "d");
  for (const char* key : {"Version", "ResultCode"}) EXPECT_EQ(ours["d"][key], real["d"][key]) << key;
  ExpectSameShape(ours["d"]["Publication"], real["d"]["Publication"], "Publication");
  const Ordered& realResult = real["d"]["Publication"]["Result"][0];
  const Ordered& ourResult = ours["d"]["Publication"]["Result"][0];
  ExpectSameShape(ourResult, realResult, "Result");
  ExpectSameShape(ourResult["Author"][0], realResult["Author"][0], "Author");
  ExpectSameShape(ourResult["Keyword"][0], realResult["Keyword"][0], "Keyword");
  ExpectSameShape(ourResult["Journal"], realResult["Journal"], "Journal");
}

TEST(ReplyWriterTest, RealReplyStyleDetails) {
  std::string body = WritePublicationReply({7, {JournalPaper()}}, 3);
  // One line, every string written as the escaping table above says.
  EXPECT_EQ(body.find('\n'), std::string::npos);
  EXPECT_NE(body.find(R"("FullVersionURL":["http:\/\/www.example.org\/pii\/S0015","http:\/\/example.org\/a.pdf"])"),
            std::string::npos);
  EXPECT_NE(body.find(R"("CitationContext":[],"CitationCount":2,"Conference":null,)"), std::string::npos);
  EXPECT_NE(body.find(R"("EndIdx":3,"StartIdx":3,"TotalItem":7,"Result":[)"), std::string::npos);
}

TEST(ReplyWriterTest, ConferencePaperWithoutAnything) {
  Publication p;
  p.id = "W5";
  p.venueKind = VenueKind::Conference;
  p.venueId = 9;
  p.venueName = "Conference on Citation Studies";
  nlohmann::json result = nlohmann::json::parse(WritePublicationReply({1, {p}}, 1))["d"]["Publication"]["Result"][0];
  EXPECT_EQ(result["Conference"]["__type"], "Conference:http://research.microsoft.com");
  EXPECT_EQ(result["Conference"]["ID"], 9);
  EXPECT_EQ(result["ID"], "W5");  // IDs other than plain numbers are texts
  EXPECT_EQ(result["Year"], 0);
  EXPECT_EQ(result["Abstract"], "");
  EXPECT_EQ(result["DOI"], "");
  for (const char* list : {"Author", "Keyword", "FullVersionURL"})
    EXPECT_TRUE(result[list].is_array() && result[list].empty()) << list;
}

}  // namespace
}  // namespace wendrel
