// The service's answers without HTTP: parameters, paging, orders, searches and refusals, over a
// corpus small enough to know every answer.
#include "service/search_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "corpus/corpus_reader.h"
#include "service/reply_writer.h"
#include "service_fixtures.h"

namespace wendrel {
namespace {

using Ids = std::vector<int64_t>;

class SearchRequestTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new test::TempDir();
    s_reader = new CorpusReader(test::BuildCorpus(*s_dir, "small", test::kSmallCorpus));
  }
  static void TearDownTestSuite() {
    delete s_reader;
    delete s_dir;
  }

  static ServiceReply Ask(QueryParameters parameters) {
    parameters.insert(parameters.begin(), {"AppId", "test"});
    return AnswerSearchRequest(*s_reader, parameters);
  }

  // The publication part of a successful reply.
  static nlohmann::json Publications(const QueryParameters& parameters) {
    ServiceReply reply = Ask(parameters);
    EXPECT_EQ(reply.status, 200) << reply.body;
    EXPECT_EQ(reply.contentType, "application/json; charset=utf-8");
    return nlohmann::json::parse(reply.body)["d"]["Publication"];
  }

  static Ids IdsOf(const nlohmann::json& publications) {
    Ids ids;
    if (publications["Result"].is_array())
      for (const auto& r : publications["Result"]) ids.push_back(r["ID"].get<int64_t>());
    return ids;
  }

  // Everything an answer holds, in its order, on one page of 100.
  static Ids AllIds(QueryParameters parameters) {
    parameters.insert(parameters.end(), {{"StartIdx", "1"}, {"EndIdx", "100"}});
    return IdsOf(Publications(parameters));
  }

  static inline test::TempDir* s_dir = nullptr;
  static inline CorpusReader* s_reader = nullptr;
};

TEST_F(SearchRequestTest, RetrieveGivesThePublicationAsStoredWithDerivedCounts) {
  nlohmann::json p = Publications({{"PublicationID", "2"}, {"StartIdx", "1"}, {"EndIdx", "1"}});
  EXPECT_EQ(p["TotalItem"], 1);
  const auto& r = p["Result"][0];
  EXPECT_EQ(r["ID"], 2);
  EXPECT_EQ(r["CitationCount"], 2);
  EXPECT_EQ(r["ReferenceCount"], 2);  // 999999 is outside the corpus but still counted
  EXPECT_EQ(r["Conference"]["FullName"], "Conference on Citation Studies");
  EXPECT_TRUE(r["Journal"].is_null());
  // The same author gets the same ID in every publication.
  nlohmann::json first = Publications({{"PublicationID", "1"}})["Result"][0];
  EXPECT_EQ(first["Author"][0]["ID"], r["Author"][0]["ID"]);
  EXPECT_NE(first["Author"][1]["ID"], r["Author"][0]["ID"]);
  EXPECT_EQ(first["Abstract"], "We review methods for mining text collections.\nA second line.");
  EXPECT_EQ(first["Keyword"][0]["Name"], "Text Mining");
  EXPECT_EQ(first["FullVersionURL"].size(), 2u);
}

TEST_F(SearchRequestTest, UnknownPublicationAndNoCriteriaGiveTheEmptyAnswer) {
  const QueryParameters cases[] = {
      {{"PublicationID", "424242"}},
      {{"PublicationID", "01"}},  // not the text of publication 1
      {{"PublicationID", "W1"}},
      {{"PublicationID", "424242"}, {"ReferenceType", "Citation"}},
      {{"PublicationID", "424242"}, {"ReferenceType", "Reference"}},
      {{"PublicationID", "1"}, {"ReferenceType", "Reference"}},  // cites nothing in the corpus
      {{"PublicationID", "4"}, {"ReferenceType", "Citation"}},   // cited by nobody
      {{"TitleQuery", "   "}},
      {{"ResultObjects", "Publication"}},
  };
  for (const QueryParameters& c : cases) EXPECT_EQ(Ask(c).body, WritePublicationReply({}, 1)) << c[0].second;
}

// What each request finds; in the reply's order where `ordered`, as a set otherwise.
TEST_F(SearchRequestTest, ListsAndSearches) {
  struct Case {
    const char* name;
    QueryParameters parameters;
    bool ordered;
    Ids expected;
  };
  const QueryParameters citing = {{"PublicationID", "1"}, {"ReferenceType", "Citation"}};
  auto with = [](QueryParameters q, const char* key, const char* value) {
    q.push_back({key, value});
    return q;
  };
  const Case cases[] = {
      {"citing by citations, then ID", with(citing, "OrderBy", "CitationCount"), true, {5, 2, 3, 4}},
      {"citing without an order", citing, true, {5, 2, 3, 4}},
      {"citing by year, unknown last", with(citing, "OrderBy", "Year"), true, {3, 2, 5, 4}},
      {"references", {{"PublicationID", "4"}, {"ReferenceType", "Reference"}}, true, {1, 2, 3}},
      {"references only in the corpus", {{"PublicationID", "2"}, {"ReferenceType", "Reference"}}, true, {1}},
      {"reference type in any case", {{"PublicationID", "8"}, {"ReferenceType", "reference"}}, true, {5, 6, 10}},
      {"title, every word", {{"TitleQuery", "text mining"}}, false, {1, 2}},
      {"title, doubled blanks", {{"TitleQuery", "text  mining   a survey"}}, false, {1}},
      {"title, any case", {{"TitleQuery", " TEXT MINING "}}, false, {1, 2}},
      {"title, a word missing", {{"TitleQuery", "text zebra"}}, false, {}},
      {"full text, title or abstract", {{"FullTextQuery", "text mining"}}, false, {1, 2, 6}},
      {"full text, abstract only", {{"FullTextQuery", "collections"}}, false, {1}},
      {"author, all words", {{"AuthorQuery", "anna kowalski"}}, false, {1, 2}},
      {"author, one word missing", {{"AuthorQuery", "anna smith"}}, false, {}},
      {"author, non-ASCII any case", {{"AuthorQuery", "MÜLLER"}}, false, {1}},
      {"author, first and last", {{"AuthorQuery", "łukasz sánchez"}}, false, {5}},
      {"author, the client's O'Brien", {{"AuthorQuery", "o brien"}}, false, {3}},
      {"journal", {{"JournalQuery", "Journal of Text Studies"}}, false, {1}},
      {"conference", {{"ConferenceQuery", "citation studies"}}, false, {2}},
      {"journal is not conference", {{"JournalQuery", "citation studies"}}, false, {}},
      {"year from", {{"YearStart", "2010"}}, false, {3, 6, 7, 8, 9, 10, 11}},
      {"year to", {{"YearEnd", "2001"}}, false, {1, 5}},
      {"words and year, unknown left out", {{"TitleQuery", "mining"}, {"YearStart", "2006"}}, false, {3}},
      {"words and years", {{"TitleQuery", "mining"}, {"YearStart", "2001"}, {"YearEnd", "2005"}}, false, {1, 2}},
      {"empty year range", {{"YearStart", "2012"}, {"YearEnd", "2010"}}, false, {}},
      {"blank criterion ignored", {{"TitleQuery", "   "}, {"AuthorQuery", "kowalski"}}, false, {1, 2}},
      {"empty criterion ignored", {{"FullTextQuery", ""}, {"TitleQuery", "zebra"}}, false, {6}},
      // Equal titles tie on relevance and the cited one comes first; the one-word title is the
      // most relevant to "graph" whatever its citations.
      {"relevance, then citations", {{"TitleQuery", "graph kernels"}}, true, {10, 9, 8}},
      {"relevance first", {{"TitleQuery", "graph"}}, true, {11, 10, 9, 8}},
      {"search by citations", {{"TitleQuery", "graph"}, {"OrderBy", "CitationCount"}}, true, {10, 8, 9, 11}},
      {"search by year", {{"TitleQuery", "graph"}, {"OrderBy", "Year"}}, true, {8, 10, 9, 11}},
  };
  for (const Case& c : cases) {
    Ids found = AllIds(c.parameters);
    if (!c.ordered) std::sort(found.begin(), found.end());
    EXPECT_EQ(found, c.expected) << c.name;
  }
}

TEST_F(SearchRequestTest, PagesAreOneBasedAndInclusive) {
  auto page = [&](const char* start, const char* end) {
    return Publications({{"PublicationID", "1"}, {"ReferenceType", "Citation"}, {"StartIdx", start}, {"EndIdx", end}});
  };
  nlohmann::json middle = page("2", "3");
  EXPECT_EQ(IdsOf(middle), (Ids{2, 3}));
  EXPECT_EQ(middle["StartIdx"], 2);
  EXPECT_EQ(middle["EndIdx"], 3);
  EXPECT_EQ(middle["TotalItem"], 4);
  nlohmann::json tail = page("4", "103");
  EXPECT_EQ(IdsOf(tail), (Ids{4}));
  EXPECT_EQ(tail["EndIdx"], 4);
  nlohmann::json past = page("5", "10");  // the empty shape with the real total
  EXPECT_TRUE(past["Result"].is_null());
  EXPECT_EQ(past["StartIdx"], 0);
  EXPECT_EQ(past["EndIdx"], 0);
  EXPECT_EQ(past["TotalItem"], 4);
  EXPECT_EQ(IdsOf(page("1", "1")), (Ids{5}));
  // Searches page the same way.
  EXPECT_EQ(IdsOf(Publications({{"TitleQuery", "graph"}, {"StartIdx", "2"}, {"EndIdx", "3"}})), (Ids{10, 9}));
}

TEST_F(SearchRequestTest, RefusesWithoutAppIdOrWithMalformedParameters) {
  EXPECT_EQ(AnswerSearchRequest(*s_reader, {{"PublicationID", "1"}}).status, 403);
  EXPECT_EQ(AnswerSearchRequest(*s_reader, {{"AppId", ""}, {"PublicationID", "1"}}).status, 403);
  // Keys are not case-sensitive: the SDKs wrote AppID.
  EXPECT_EQ(AnswerSearchRequest(*s_reader, {{"AppID", "x"}, {"publicationid", "1"}}).status, 200);
  const QueryParameters malformed[] = {
      {{"PublicationID", ""}},
      {{"PublicationID", std::string(kMaxIdLength + 1, '7')}},
      {{"TitleQuery", "x"}, {"StartIdx", "0"}, {"EndIdx", "5"}},
      {{"TitleQuery", "x"}, {"StartIdx", "5"}, {"EndIdx", "4"}},
      {{"TitleQuery", "x"}, {"StartIdx", "1"}, {"EndIdx", "101"}},
      {{"YearStart", "19x9"}},
      {{"YearEnd", "-5"}},
      {{"PublicationID", "1"}, {"ReferenceType", "Cited"}},
      {{"ReferenceType", "Citation"}},
      {{"PublicationID", "1"}, {"ReferenceType", "Citation"}, {"OrderBy", "Random"}},
      {{"TitleQuery", "x"}, {"ResultObjects", "Author"}},
      {{"TitleQuery", "x"}, {"PublicationContent", "Everything"}},
  };
  for (const QueryParameters& parameters : malformed) {
    ServiceReply reply = Ask(parameters);
    const std::string name = parameters.back().first + "=" + parameters.back().second;
    EXPECT_EQ(reply.status, 400) << name;
    EXPECT_EQ(reply.contentType, "text/plain; charset=utf-8") << name;
    EXPECT_FALSE(reply.body.empty()) << name;
    EXPECT_LT(reply.body.size(), 200u) << name;
  }
}

TEST_F(SearchRequestTest, HostileQueryTextIsOnlyEverWords) {
  std::string manyWords;
  for (int i = 0; i < 2000; ++i) manyWords += "mining ";
  const std::string hostile[] = {"\"",
                                 "text\" OR \"zebra",
                                 "title:text",
                                 "{title abstract}: zebra",
                                 "NEAR(text mining, 2)",
                                 "text*",
                                 "-text",
                                 "^text",
                                 "OR OR NOT",
                                 "(((",
                                 "'; DROP TABLE publication; --",
                                 std::string("te\0xt", 5),
                                 "\xff\xfe\x80 \xc3",
                                 std::string(6000, 'a'),
                                 manyWords};
  for (const std::string& text : hostile)
    for (const char* key : {"FullTextQuery", "TitleQuery", "AuthorQuery", "JournalQuery", "ConferenceQuery"}) {
      ServiceReply reply = Ask({{key, text}, {"StartIdx", "1"}, {"EndIdx", "100"}});
      ASSERT_EQ(reply.status, 200) << key << " " << text.substr(0, 40) << ": " << reply.body;
      EXPECT_NO_THROW(nlohmann::json::parse(reply.body));
    }
  // Quotes and operators do not widen a search: "text" OR "zebra" is the words text, or, zebra.
  EXPECT_TRUE(AllIds({{"TitleQuery", "text\" OR \"zebra"}}).empty());
  EXPECT_EQ(AllIds({{"TitleQuery", "mining*"}}).size(), 4u);
  // The corpus is still there.
  EXPECT_EQ(AllIds({{"TitleQuery", "zebra"}}), (Ids{6}));
}

}  // namespace
}  // namespace wendrel
