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
  p.id = 32216321;
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
      {"empty", "", R"("")"},
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

TEST(ReplyWriterTest, KeysComeInTheOrderOfTheRealReplies) {
  auto path = test::SharedPath("mas/reply_51_results.json");
  if (!path) GTEST_SKIP() << "shared test data absent";
  Ordered real = Ordered::parse(test::ReadFile(*path));
  PublicationPage page{1, {JournalPaper()}};
  Ordered ours = Ordered::parse(WritePublicationReply(page, 1));

  EXPECT_EQ(Keys(ours), Keys(real));
  EXPECT_EQ(Keys(ours["d"]), Keys(real["d"]));
  EXPECT_EQ(Keys(ours["d"]["Publication"]), Keys(real["d"]["Publication"]));
  const Ordered& realResult = real["d"]["Publication"]["Result"][0];
  const Ordered& ourResult = ours["d"]["Publication"]["Result"][0];
  EXPECT_EQ(Keys(ourResult), Keys(realResult));
  EXPECT_EQ(Keys(ourResult["Author"][0]), Keys(realResult["Author"][0]));
  EXPECT_EQ(Keys(ourResult["Keyword"][0]), Keys(realResult["Keyword"][0]));
  EXPECT_EQ(Keys(ourResult["Journal"]), Keys(realResult["Journal"]));
  // Same kinds of values under the same keys (numbers stay numbers, nulls stay nulls).
  for (const std::string& key : Keys(realResult)) {
    if (!realResult[key].is_null()) EXPECT_EQ(ourResult[key].type(), realResult[key].type()) << key;
  }
  for (const std::string& key : Keys(realResult["Author"][0]))
    EXPECT_EQ(ourResult["Author"][0][key].type(), realResult["Author"][0][key].type()) << key;
  for (const std::string& key : Keys(real["d"]))
    EXPECT_EQ(ours["d"][key].type(), real["d"][key].type()) << key;
  for (const char* key : {"__type", "Version", "ResultCode"}) EXPECT_EQ(ours["d"][key], real["d"][key]) << key;
  EXPECT_EQ(ourResult["__type"], realResult["__type"]);
  EXPECT_EQ(ourResult["Author"][0]["__type"], realResult["Author"][0]["__type"]);
}

TEST(ReplyWriterTest, RealReplyStyleDetails) {
  PublicationPage page{7, {JournalPaper()}};
  std::string body = WritePublicationReply(page, 3);
  // One line, slashes escaped in every string, newlines as \u000a, UTF-8 raw.
  EXPECT_EQ(body.find('\n'), std::string::npos);
  EXPECT_NE(body.find(R"("DOI":"10.1016\/j.fertnstert.2010.06.076")"), std::string::npos);
  EXPECT_NE(body.find(R"("Abstract":"First line.\u000aSecond \"quoted\" line.")"), std::string::npos);
  EXPECT_NE(body.find(R"("FullVersionURL":["http:\/\/www.example.org\/pii\/S0015","http:\/\/example.org\/a.pdf"])"),
            std::string::npos);
  EXPECT_NE(body.find("\"FirstName\":\"Céline\""), std::string::npos);
  EXPECT_NE(body.find(R"("CitationContext":[],"CitationCount":2,"Conference":null,)"), std::string::npos);
  EXPECT_NE(body.find(R"("EndIdx":3,"StartIdx":3,"TotalItem":7,"Result":[)"), std::string::npos);

  nlohmann::json parsed = nlohmann::json::parse(body);
  const auto& result = parsed["d"]["Publication"]["Result"][0];
  EXPECT_EQ(result["Abstract"], "First line.\nSecond \"quoted\" line.");
  EXPECT_EQ(result["Journal"]["FullName"], "Fertility and Sterility");
  EXPECT_EQ(result["ID"], 32216321);
  EXPECT_EQ(result["Author"][1]["LastName"], "Boissonnas");
}

TEST(ReplyWriterTest, ConferencePaperWithoutAnything) {
  Publication p;
  p.id = 5;
  p.venueKind = VenueKind::Conference;
  p.venueId = 9;
  p.venueName = "Conference on Citation Studies";
  PublicationPage page{1, {p}};
  nlohmann::json result = nlohmann::json::parse(WritePublicationReply(page, 1))["d"]["Publication"]["Result"][0];
  EXPECT_TRUE(result["Journal"].is_null());
  EXPECT_EQ(result["Conference"]["__type"], "Conference:http://research.microsoft.com");
  EXPECT_EQ(result["Conference"]["FullName"], "Conference on Citation Studies");
  EXPECT_EQ(result["Conference"]["ID"], 9);
  EXPECT_EQ(result["Year"], 0);
  EXPECT_EQ(result["Abstract"], "");
  EXPECT_EQ(result["DOI"], "");
  EXPECT_TRUE(result["Author"].is_array() && result["Author"].empty());
  EXPECT_TRUE(result["Keyword"].is_array() && result["Keyword"].empty());
  EXPECT_TRUE(result["FullVersionURL"].is_array() && result["FullVersionURL"].empty());
}

TEST(ReplyWriterTest, PageWithoutItemsKeepsTheTotal) {
  nlohmann::json d = nlohmann::json::parse(WritePublicationReply({12, {}}, 20))["d"];
  EXPECT_EQ(d["Publication"]["StartIdx"], 0);
  EXPECT_EQ(d["Publication"]["EndIdx"], 0);
  EXPECT_EQ(d["Publication"]["TotalItem"], 12);
  EXPECT_TRUE(d["Publication"]["Result"].is_null());
}

}  // namespace
}  // namespace wendrel
