// Tests of the conversion of replies into records, with a JSON parser as the oracle for the
// project's fixture and the real replies.
#include "search_client/result_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <random>

#include "platform/scripted_host.h"
#include "search_client/json_deserializer.h"
#include "test_paths.h"

namespace wendrel {

// Only the fields a reply fills; the others stay empty.
void PrintTo(const CCRecord& r, std::ostream* os) {
  *os << "{PK=" << r.PK << " Counts=" << r.CitationCount << "/" << r.ReferenceCount << " PubType=" << r.PubType
      << " Year=" << r.Year << " Title=" << r.Title << " Abstract=" << r.Abstract << " Authors=" << r.FirstAuthor
      << "; " << r.CoAuthors << " Source=" << r.Source << " Keywords=" << r.Keywords << " DOI=" << r.DOI
      << " FullTextURL=" << r.FullTextURL << "}";
}

namespace {

using nlohmann::ordered_json;

std::string OneResult(const std::string& members) { return R"({"d":{"Result":[{)" + members + "}]}}"; }

CCRecord ConvertOne(const std::string& members) {
  std::vector<CCRecord> records = ConvertReply(OneResult(members));
  EXPECT_EQ(records.size(), 2u);
  return records.at(1);
}

std::vector<CCRecord> NoResult() {
  std::vector<CCRecord> records(2);
  records[1].PK = "null";
  return records;
}

std::string Text(const ordered_json& value) { return value.is_string() ? value.get<std::string>() : value.dump(); }

int16_t Saturated(int64_t value) { return static_cast<int16_t>(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX)); }

// The records a reply should give, read with a real parser.
std::vector<CCRecord> ExpectedRecords(const std::string& reply) {
  ordered_json results = ordered_json::parse(reply)["d"]["Publication"]["Result"];
  if (!results.is_array() || results.empty()) return NoResult();
  std::vector<CCRecord> records(1);
  for (const ordered_json& p : results) {
    CCRecord r;
    r.PK = Text(p["ID"]);
    r.CitationCount = Saturated(p["CitationCount"].get<int64_t>());
    r.ReferenceCount = Saturated(p["ReferenceCount"].get<int64_t>());
    r.Year = Text(p["Year"]) == "0" ? "n/a" : Text(p["Year"]);
    r.Title = p["Title"];
    r.Abstract = p["Abstract"];
    for (const ordered_json& a : p["Author"]) {
      std::string name = Text(a["LastName"]) + ", " + Text(a["FirstName"]);
      if (r.FirstAuthor.empty())
        r.FirstAuthor = name;
      else
        r.CoAuthors += name + ", ";
    }
    for (const char* kind : {"Conference", "Journal"}) {  // the reply's order: the later one wins
      if (!p[kind].is_object()) continue;
      r.PubType = kind;
      if (!p[kind]["FullName"].is_null()) r.Source = p[kind]["FullName"];
    }
    for (const ordered_json& k : p["Keyword"]) r.Keywords += Text(k["Name"]) + ",";
    r.DOI = p["DOI"];
    std::vector<std::string> urls = p["FullVersionURL"];
    bool anyPdf = std::any_of(urls.begin(), urls.end(), [](const std::string& u) { return u.find(".pdf") != u.npos; });
    auto chosen = std::find_if(urls.begin(), urls.end(), [](std::string u) {
      std::transform(u.begin(), u.end(), u.begin(), [](unsigned char c) { return std::tolower(c); });
      return u.find(".pdf") != u.npos;
    });
    r.FullTextURL = anyPdf && chosen != urls.end() ? *chosen : "n/a";
    records.push_back(r);
  }
  return records;
}

void ExpectMatchesParser(const std::string& reply) {
  std::vector<CCRecord> expected = ExpectedRecords(reply);
  std::vector<CCRecord> records = ConvertReply(reply);
  ASSERT_EQ(records.size(), expected.size());
  for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i], expected[i]) << "record " << i;
}

TEST(ResultRecords, RepliesMatchParser) { ExpectMatchesParser(test::ReadFile(test::DataPath("mas_reply_three.json"))); }

TEST(ResultRecords, SharedRepliesMatchParser) {
  const auto replies =
      test::SharedFiles({"mas/reply_51_results.json", "mas/reply_92_results.json", "mas/reply_empty.json"});
  if (replies.empty()) GTEST_SKIP() << "shared test data absent";
  for (const auto& [name, reply] : replies) {
    SCOPED_TRACE(name);
    ExpectMatchesParser(reply);
  }
}

// Titles and abstracts that end in a member's name (real literature has "... by patient ID",
// "... Cell Type"): the service writes the abstract before the ID, so a reader that searched the
// text for the name took the ID, year and DOI from the abstract, and every such record got the ID
// "Author".
TEST(ResultRecords, ValuesEndingInMemberNames) {
  auto publication = [](int id, const std::string& title, const std::string& abstract) {
    ordered_json p;
    p["__type"] = "Publication:http://research.microsoft.com";
    p["Abstract"] = abstract;
    p["Author"] = ordered_json::array({{{"FirstName", "Ann"}, {"ID", 900 + id}, {"LastName", "Lee"}}});
    p["CitationCount"] = id;
    p["Conference"] = nullptr;
    p["DOI"] = "10.1000/" + std::to_string(id);
    p["FullVersionURL"] = ordered_json::array({"http://a.org/" + std::to_string(id) + ".pdf"});
    p["ID"] = id;
    p["Journal"] = {{"FullName", "Journal of \"FullName\":"}, {"ID", 5}};
    p["Keyword"] = ordered_json::array({{{"ID", 1}, {"Name", "Name"}}});
    p["ReferenceCount"] = 2 * id;
    p["Title"] = title;
    p["Year"] = 1990 + id;
    return p;
  };
  ordered_json reply;
  reply["d"]["Publication"]["Result"] = ordered_json::array(
      {publication(1, "Records keyed by patient ID", "A gap Year"), publication(2, "On DOI", "Sorted by Author"),
       publication(3, "Title", "\"ID\":\"Author\", \"Year\":0 and CitationCount")});
  ExpectMatchesParser(reply.dump());
  std::vector<CCRecord> records = ConvertReply(reply.dump());
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[2].PK, "2");
  EXPECT_EQ(records[3].Year, "1993");
}

// Results nested in results: each publication keeps its own fields and authors, and the
// conversion stays linear in the reply (a deep nesting used to take seconds).
TEST(ResultRecords, NestedResults) {
  std::vector<CCRecord> two = ConvertReply(
      R"({"Result":{"ID":1,"Title":"outer","Author":[{"LastName":"A"}],"Result":{"ID":2,"Title":"inner","Author":[{"LastName":"B"}]},"Year":1}})");
  ASSERT_EQ(two.size(), 3u);
  EXPECT_EQ(two[1].PK, "1");
  EXPECT_EQ(two[1].Title, "outer");
  EXPECT_EQ(two[1].FirstAuthor, "A, ");
  EXPECT_EQ(two[1].CoAuthors, "");
  EXPECT_EQ(two[2].Title, "inner");
  EXPECT_EQ(two[2].FirstAuthor, "B, ");

  constexpr int kDepth = 9000;
  std::string deep = R"({"d":{)";
  for (int i = 1; i <= kDepth; ++i) deep += R"("Result":{"ID":)" + std::to_string(i) + ",";
  deep += R"("Title":"last")" + std::string(kDepth + 2, '}');
  std::vector<CCRecord> records = ConvertReply(deep);
  ASSERT_EQ(records.size(), static_cast<size_t>(kDepth) + 1);
  for (int i = 1; i <= kDepth; ++i) ASSERT_EQ(records[static_cast<size_t>(i)].PK, std::to_string(i));
  EXPECT_EQ(records[1].Title, "");
  EXPECT_EQ(records[kDepth].Title, "last");
}

// Eight objects a publication: 1249 fill the reader's table, 1250 overflow it.
std::string SyntheticReply(int results) {
  std::string reply = R"({"d":{"Publication":{"Result":[)";
  for (int i = 0; i < results; ++i) {
    reply += std::string(i ? "," : "") +
             R"({"Author":[{"LastName":"A"},{"LastName":"B"},{"LastName":"C"},{"LastName":"D"}],"ID":)" +
             std::to_string(i + 1) + R"(,"Journal":{"FullName":"J"},"Keyword":[{"Name":"k"},{"Name":"l"}]})";
  }
  return reply + "]}}}";
}

TEST(ResultRecords, NoResultReplies) {
  const std::string replies[] = {"", "{}", "not a reply at all", R"({"d":{"Publication":{"Result":[]}}})",
                                 R"({"d":{"Publication":{"EndIdx":0,"Result":null},"ResultCode":0}})"};
  for (const std::string& reply : replies) EXPECT_EQ(ConvertReply(reply), NoResult()) << reply;
  EXPECT_EQ(ConvertReply(SyntheticReply(1250)), NoResult()) << "more objects than the reader's table holds";
}

TEST(ResultRecords, MissingElementsAndVenues) {
  CCRecord onlyTitle;
  onlyTitle.PK = "null";
  onlyTitle.Title = "Only a title";
  onlyTitle.FullTextURL = "n/a";
  EXPECT_EQ(ConvertOne(R"("Title":"Only a title")"), onlyTitle);
  // Of a conference and a journal the later decides; a null name leaves the earlier one's.
  CCRecord both = ConvertOne(R"("Conference":{"FullName":"C"},"ID":1,"Journal":{"FullName":"J"})");
  EXPECT_EQ(both.PubType, "Journal");
  EXPECT_EQ(both.Source, "J");
  CCRecord nullName = ConvertOne(R"("Conference":{"FullName":"C"},"ID":1,"Journal":{"FullName":null})");
  EXPECT_EQ(nullName.PubType, "Journal");
  EXPECT_EQ(nullName.Source, "C");
}

TEST(ResultRecords, CountsReadAsLeadingNumberAndSaturate) {
  const std::pair<const char*, int16_t> cases[] = {
      {"32767", 32767},  {"40000", 32767}, {"-40000", -32768}, {"99999999999999999999", 32767},
      {"\"12abc\"", 12}, {"\" 7\"", 7},    {"\"abc\"", 0},     {"null", 0}};
  for (const auto& [value, expected] : cases) {
    CCRecord r =
        ConvertOne(std::string(R"("CitationCount":)") + value + R"(,"ReferenceCount":)" + value + R"(,"ID":1)");
    EXPECT_EQ(r.CitationCount, expected) << value;
    EXPECT_EQ(r.ReferenceCount, expected) << value;
  }
}

TEST(ResultRecords, FullTextAddressChoice) {
  struct Case {
    const char* name;
    const char* urls;
    const char* expected;
  };
  const Case cases[] = {
      {"HtmlAndUpperCasePdf", R"(["http:\/\/a.org\/x.html","http:\/\/a.org\/X.PDF"])", "n/a"},
      {"TwoPdfs", R"(["http:\/\/a.org\/1.pdf","http:\/\/a.org\/2.pdf"])", "http://a.org/1.pdf"},
      {"PdfAfterOthers", R"(["http:\/\/a.org\/x","http:\/\/a.org\/y.pdf?z=1"])", "http://a.org/y.pdf?z=1"},
      {"UpperCaseTakenOnceAnyPdf", R"(["http:\/\/a.org\/A.PDF","http:\/\/a.org\/b.pdf"])", "http://a.org/A.PDF"},
      {"Empty", "[]", "n/a"},
      {"Null", "null", "n/a"},
  };
  for (const Case& c : cases) {
    CCRecord r = ConvertOne(std::string(R"("FullVersionURL":)") + c.urls + R"(,"ID":1)");
    EXPECT_EQ(r.FullTextURL, c.expected) << c.name;
  }
}

// Whatever the cut, the publications that closed before it come out as in the whole reply.
void CheckTruncations(const std::string& reply, size_t step) {
  const std::vector<CCRecord> whole = ConvertReply(reply);
  for (size_t cut = 0; cut < reply.size(); cut += step) {
    std::vector<CCRecord> records = ConvertReply(reply.substr(0, cut));
    ASSERT_GE(records.size(), 2u) << cut;
    ASSERT_LE(records.size(), whole.size()) << cut;
    ASSERT_EQ(records[0], CCRecord{});
    if (records.size() == 2 && records[1].PK == "null") continue;
    for (size_t i = 1; i + 1 < records.size(); ++i) ASSERT_EQ(records[i], whole[i]) << "cut " << cut << " record " << i;
  }
}

TEST(ResultRecords, TruncatedReply) { CheckTruncations(test::ReadFile(test::DataPath("mas_reply_three.json")), 3); }

TEST(ResultRecords, TruncatedSharedReply) {
  std::optional<std::string> path = test::SharedPath("mas/reply_51_results.json");
  if (!path) GTEST_SKIP() << "shared test data absent";
  CheckTruncations(test::ReadFile(*path), 3989);
}

// Word soup and random bytes never break the reader's table or the conversion's shape.
TEST(ResultRecords, BinaryGarbage) {
  std::mt19937 random(7);
  const std::string words[] = {
      "{",       "}",    "[",    "]", "\"", ":", ",", "\\", "Result", "Author", "\\u", "\"Result\":[{", "\"Author\":[{",
      "\"ID\":", "null", "\xC3", "9"};
  for (int round = 0; round < 600; ++round) {
    std::string reply;
    for (int n = static_cast<int>(random() % 400); n > 0; --n) {
      reply += round % 2 ? std::string(1, static_cast<char>(random())) : words[random() % std::size(words)];
    }
    JSONDeserializer r;
    r.Read(reply, round % 3 == 0);
    const int32_t count = r.ObjectCount("");
    for (int32_t i = 0; i <= count + 1; ++i) {
      if (i >= 1 && i <= count) {
        EXPECT_GE(r.LastChild(i), i);
        EXPECT_LE(r.LastChild(i), count);
        EXPECT_LT(r.ObjectParent(i), i);
      }
      r.GetElementInObject(i, "ID");
      r.GetAllElementsInObject(i, "u");
      r.ObjectText(i);
    }
    std::vector<CCRecord> records = ConvertReply(reply);
    ASSERT_GE(records.size(), 2u);
    ASSERT_EQ(records[0], CCRecord{});
  }
}

TEST(ResultRecords, HostGetsTurns) {
  const std::string reply = SyntheticReply(300);
  ScriptedHost host;
  EXPECT_EQ(ConvertReply(reply, &host), ConvertReply(reply));
  EXPECT_GT(host.DoEventsCount(), 0);
}

}  // namespace
}  // namespace wendrel
