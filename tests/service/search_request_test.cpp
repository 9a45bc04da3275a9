// The service's answers without HTTP: parameters, paging, orders, searches and refusals, over a
// corpus small enough to know every answer.
#include "service/search_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>

#include "service/reply_writer.h"
#include "service_fixtures.h"

namespace wendrel {
namespace {

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

  static std::vector<int64_t> IdsOf(const nlohmann::json& publications) {
    std::vector<int64_t> ids;
    if (publications["Result"].is_array())
      for (const auto& r : publications["Result"]) ids.push_back(r["ID"].get<int64_t>());
    return ids;
  }

  static std::vector<int64_t> SearchIds(QueryParameters parameters) {
    parameters.push_back({"StartIdx", "1"});
    parameters.push_back({"EndIdx", "100"});
    return IdsOf(Publications(parameters));
  }

  // What a search finds, whatever the order.
  static std::vector<int64_t> Found(QueryParameters parameters) {
    std::vector<int64_t> ids = SearchIds(std::move(parameters));
    std::sort(ids.begin(), ids.end());
    return ids;
  }

  static test::TempDir* s_dir;
  static CorpusReader* s_reader;
};

test::TempDir* SearchRequestTest::s_dir = nullptr;
CorpusReader* SearchRequestTest::s_reader = nullptr;

using Ids = std::vector<int64_t>;

TEST_F(SearchRequestTest, RetrieveGivesTheOnePublicationWithDerivedCounts) {
  nlohmann::json p = Publications({{"PublicationID", "2"}, {"ResultObjects", "Publication"},
                                   {"PublicationContent", "AllInfo"}, {"StartIdx", "1"}, {"EndIdx", "1"}});
  EXPECT_EQ(p["TotalItem"], 1);
  EXPECT_EQ(p["StartIdx"], 1);
  EXPECT_EQ(p["EndIdx"], 1);
  const auto& r = p["Result"][0];
  EXPECT_EQ(r["ID"], 2);
  EXPECT_EQ(r["Title"], "Citation analysis of text mining");
  EXPECT_EQ(r["CitationCount"], 2);
  EXPECT_EQ(r["ReferenceCount"], 2);  // 999999 is outside the corpus but still counted
  EXPECT_EQ(r["Conference"]["FullName"], "Conference on Citation Studies");
  EXPECT_TRUE(r["Journal"].is_null());
  // The same author gets the same ID in every publication.
  nlohmann::json first = Publications({{"PublicationID", "1"}})["Result"][0];
  EXPECT_EQ(first["Author"][0]["LastName"], "Kowalski");
  EXPECT_EQ(first["Author"][0]["ID"], r["Author"][0]["ID"]);
  EXPECT_NE(first["Author"][1]["ID"], r["Author"][0]["ID"]);
  EXPECT_EQ(first["Journal"]["FullName"], "Journal of Text Studies");
  EXPECT_EQ(first["Keyword"][0]["Name"], "Text Mining");
  EXPECT_EQ(first["FullVersionURL"].size(), 2u);
  EXPECT_EQ(first["Abstract"], "We review methods for mining text collections.\nA second line.");
}

TEST_F(SearchRequestTest, TextComesBackAsStored) {
  ServiceReply reply = Ask({{"PublicationID", "5"}});
  EXPECT_NE(reply.body.find(R"("Title":"Quotes \"and\" slashes \/ back\\slash")"), std::string::npos);
  EXPECT_NE(reply.body.find(R"("Abstract":"Tab\u0009here")"), std::string::npos);
  EXPECT_NE(reply.body.find("\"FirstName\":\"Łukasz\",\"GIndex\""), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(reply.body)["d"]["Publication"]["Result"][0]["ReferenceCount"], 1);
  // Duplicates and self-references are not references.
  EXPECT_EQ(Publications({{"PublicationID", "7"}})["Result"][0]["ReferenceCount"], 1);
}

TEST_F(SearchRequestTest, UnknownPublicationGivesTheEmptyAnswer) {
  std::string empty = WritePublicationReply({}, 1);
  EXPECT_EQ(Ask({{"PublicationID", "424242"}}).body, empty);
  EXPECT_EQ(Ask({{"PublicationID", "424242"}, {"ReferenceType", "Citation"}}).body, empty);
  EXPECT_EQ(Ask({{"PublicationID", "424242"}, {"ReferenceType", "Reference"}}).body, empty);
  // Known, but citing nothing in the corpus / cited by nobody.
  EXPECT_EQ(Ask({{"PublicationID", "1"}, {"ReferenceType", "Reference"}}).body, empty);
  EXPECT_EQ(Ask({{"PublicationID", "4"}, {"ReferenceType", "Citation"}}).body, empty);
}

TEST_F(SearchRequestTest, CitingPagesOrderByCitationCountThenId) {
  QueryParameters q = {{"PublicationID", "1"}, {"PublicationContent", "AllInfo"}, {"ReferenceType", "Citation"},
                       {"StartIdx", "1"}, {"EndIdx", "100"}, {"OrderBy", "CitationCount"}};
  nlohmann::json p = Publications(q);
  EXPECT_EQ(IdsOf(p), (Ids{5, 2, 3, 4}));
  EXPECT_EQ(p["TotalItem"], 4);
  EXPECT_EQ(p["EndIdx"], 4);
  // Without an order the lists keep the same one.
  q.pop_back();
  EXPECT_EQ(IdsOf(Publications(q)), (Ids{5, 2, 3, 4}));
  q.push_back({"OrderBy", "Year"});
  EXPECT_EQ(IdsOf(Publications(q)), (Ids{3, 2, 5, 4}));  // 2010, 2005, 1999, unknown
}

TEST_F(SearchRequestTest, ReferencePagesServeOnlyPublicationsInTheCorpus) {
  QueryParameters q = {{"PublicationID", "4"}, {"ReferenceType", "Reference"}, {"StartIdx", "1"},
                       {"EndIdx", "100"}, {"OrderBy", "CitationCount"}};
  EXPECT_EQ(IdsOf(Publications(q)), (Ids{1, 2, 3}));
  nlohmann::json p = Publications({{"PublicationID", "2"}, {"ReferenceType", "Reference"}});
  EXPECT_EQ(IdsOf(p), (Ids{1}));
  EXPECT_EQ(p["TotalItem"], 1);
  EXPECT_EQ(IdsOf(Publications({{"PublicationID", "8"}, {"ReferenceType", "reference"}})), (Ids{5, 6, 10}));
}

TEST_F(SearchRequestTest, PagesAreOneBasedAndInclusive) {
  QueryParameters base = {{"PublicationID", "1"}, {"ReferenceType", "Citation"}, {"OrderBy", "CitationCount"}};
  auto page = [&](const char* start, const char* end) {
    QueryParameters q = base;
    q.push_back({"StartIdx", start});
    q.push_back({"EndIdx", end});
    return Publications(q);
  };
  nlohmann::json middle = page("2", "3");
  EXPECT_EQ(IdsOf(middle), (Ids{2, 3}));
  EXPECT_EQ(middle["StartIdx"], 2);
  EXPECT_EQ(middle["EndIdx"], 3);
  EXPECT_EQ(middle["TotalItem"], 4);
  nlohmann::json tail = page("4", "103");
  EXPECT_EQ(IdsOf(tail), (Ids{4}));
  EXPECT_EQ(tail["EndIdx"], 4);
  nlohmann::json past = page("5", "10");
  EXPECT_TRUE(past["Result"].is_null());
  EXPECT_EQ(past["TotalItem"], 4);
  EXPECT_EQ(IdsOf(page("1", "1")), (Ids{5}));
  // Searches page the same way.
  EXPECT_EQ(IdsOf(Publications({{"TitleQuery", "graph"}, {"StartIdx", "2"}, {"EndIdx", "3"}})).size(), 2u);
}

TEST_F(SearchRequestTest, TitleSearchNeedsEveryWordInTheTitle) {
  EXPECT_EQ(Found({{"TitleQuery", "text mining"}}), (Ids{1, 2}));
  // The client's normalised queries: punctuation became blanks, blanks arrive doubled.
  EXPECT_EQ(SearchIds({{"TitleQuery", "text  mining   a survey"}}), (Ids{1}));
  EXPECT_EQ(Found({{"TitleQuery", " TEXT MINING "}}), (Ids{1, 2}));
  EXPECT_TRUE(SearchIds({{"TitleQuery", "text zebra"}}).empty());
}

TEST_F(SearchRequestTest, FullTextSearchLooksAtTitleAndAbstract) {
  EXPECT_EQ(Found({{"FullTextQuery", "text mining"}}), (Ids{1, 2, 6}));
  EXPECT_EQ(SearchIds({{"FullTextQuery", "collections"}}), (Ids{1}));
}

TEST_F(SearchRequestTest, AuthorSearchMatchesEveryWordWithoutRegardToCase) {
  EXPECT_EQ(SearchIds({{"AuthorQuery", "anna kowalski"}}).size(), 2u);
  EXPECT_EQ(SearchIds({{"AuthorQuery", "MÜLLER"}}), (Ids{1}));
  EXPECT_EQ(SearchIds({{"AuthorQuery", "łukasz sánchez"}}), (Ids{5}));
  EXPECT_EQ(SearchIds({{"AuthorQuery", "o brien"}}), (Ids{3}));  // the client's form of O'Brien
  EXPECT_TRUE(SearchIds({{"AuthorQuery", "anna smith"}}).empty());
}

TEST_F(SearchRequestTest, JournalAndConferenceSearchesLookAtTheirOwnKind) {
  EXPECT_EQ(SearchIds({{"JournalQuery", "Journal of Text Studies"}}), (Ids{1}));
  EXPECT_EQ(SearchIds({{"ConferenceQuery", "citation studies"}}), (Ids{2}));
  EXPECT_TRUE(SearchIds({{"JournalQuery", "citation studies"}}).empty());
}

TEST_F(SearchRequestTest, YearBoundsLeaveOutUnknownYears) {
  EXPECT_EQ(Found({{"YearStart", "2010"}}), (Ids{3, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(Found({{"YearEnd", "2001"}}), (Ids{1, 5}));
  // Criteria combine: "mining" titles from 2006 on are 3 only (4 has no known year).
  EXPECT_EQ(SearchIds({{"TitleQuery", "mining"}, {"YearStart", "2006"}}), (Ids{3}));
  EXPECT_EQ(Found({{"TitleQuery", "mining"}, {"YearStart", "2001"}, {"YearEnd", "2005"}}), (Ids{1, 2}));
  EXPECT_TRUE(SearchIds({{"YearStart", "2012"}, {"YearEnd", "2010"}}).empty());
}

TEST_F(SearchRequestTest, RelevanceFirstThenCitationCount) {
  // Two equal titles tie on relevance; the cited one comes first. The one-word title is the
  // most relevant to "graph" whatever its citations.
  EXPECT_EQ(SearchIds({{"TitleQuery", "graph kernels"}}), (Ids{10, 9, 8}));
  EXPECT_EQ(SearchIds({{"TitleQuery", "graph"}}).front(), 11);
  EXPECT_EQ(SearchIds({{"TitleQuery", "graph"}, {"OrderBy", "CitationCount"}}).front(), 10);
  EXPECT_EQ(SearchIds({{"TitleQuery", "graph"}, {"OrderBy", "Year"}}).front(), 8);
}

TEST_F(SearchRequestTest, BlankOrEmptyCriteriaAreNoCriteria) {
  EXPECT_EQ(SearchIds({{"TitleQuery", "   "}, {"AuthorQuery", "kowalski"}}).size(), 2u);
  EXPECT_EQ(SearchIds({{"FullTextQuery", ""}, {"TitleQuery", "zebra"}}), (Ids{6}));
  EXPECT_EQ(Ask({{"TitleQuery", "   "}}).body, WritePublicationReply({}, 1));
  EXPECT_EQ(Ask({{"ResultObjects", "Publication"}}).body, WritePublicationReply({}, 1));
}

TEST_F(SearchRequestTest, RefusesWithoutAppId) {
  EXPECT_EQ(AnswerSearchRequest(*s_reader, {{"PublicationID", "1"}}).status, 403);
  EXPECT_EQ(AnswerSearchRequest(*s_reader, {{"AppId", ""}, {"PublicationID", "1"}}).status, 403);
  // Keys are not case-sensitive: the SDKs wrote AppID.
  EXPECT_EQ(AnswerSearchRequest(*s_reader, {{"AppID", "x"}, {"publicationid", "1"}}).status, 200);
}

TEST_F(SearchRequestTest, MalformedParametersAreRefusedWithAShortText) {
  struct Case {
    const char* name;
    QueryParameters parameters;
  };
  const Case cases[] = {
      {"non-numeric ID", {{"PublicationID", "abc"}}},
      {"negative ID", {{"PublicationID", "-1"}}},
      {"ID with blank", {{"PublicationID", " 1"}}},
      {"ID too large", {{"PublicationID", "99999999999999999999"}}},
      {"empty ID", {{"PublicationID", ""}}},
      {"zero start", {{"TitleQuery", "x"}, {"StartIdx", "0"}, {"EndIdx", "5"}}},
      {"end before start", {{"TitleQuery", "x"}, {"StartIdx", "5"}, {"EndIdx", "4"}}},
      {"101 results", {{"TitleQuery", "x"}, {"StartIdx", "1"}, {"EndIdx", "101"}}},
      {"hex index", {{"TitleQuery", "x"}, {"StartIdx", "0x1"}}},
      {"unknown reference type", {{"PublicationID", "1"}, {"ReferenceType", "Cited"}}},
      {"reference type without ID", {{"ReferenceType", "Citation"}}},
      {"unknown order", {{"PublicationID", "1"}, {"ReferenceType", "Citation"}, {"OrderBy", "Random"}}},
      {"other object kind", {{"TitleQuery", "x"}, {"ResultObjects", "Author"}}},
      {"unknown content", {{"TitleQuery", "x"}, {"PublicationContent", "Everything"}}},
      {"year not a number", {{"YearStart", "19x9"}}},
      {"negative year", {{"YearEnd", "-5"}}},
  };
  for (const Case& c : cases) {
    ServiceReply reply = Ask(c.parameters);
    EXPECT_EQ(reply.status, 400) << c.name;
    EXPECT_EQ(reply.contentType, "text/plain; charset=utf-8") << c.name;
    EXPECT_FALSE(reply.body.empty()) << c.name;
    EXPECT_LT(reply.body.size(), 200u) << c.name;
  }
  EXPECT_EQ(Ask({{"TitleQuery", "graph"}, {"StartIdx", "1"}, {"EndIdx", "100"}}).status, 200);
}

TEST_F(SearchRequestTest, HostileQueryTextIsOnlyEverWords) {
  const std::string hostile[] = {
      "\"",
      "\"\"",
      "text\" OR \"zebra",
      "title:text",
      "{title abstract}: zebra",
      "NEAR(text mining, 2)",
      "text*",
      "-text",
      "^text",
      "AND",
      "OR OR NOT",
      "(((",
      ")",
      "'; DROP TABLE publication; --",
      std::string("te\0xt", 5),
      "\xff\xfe\x80 \xc3",
      std::string(6000, 'a'),
      [] {
        std::string many;
        for (int i = 0; i < 2000; ++i) many += "mining ";
        return many;
      }(),
  };
  for (const std::string& text : hostile)
    for (const char* key : {"FullTextQuery", "TitleQuery", "AuthorQuery", "JournalQuery", "ConferenceQuery"}) {
      ServiceReply reply = Ask({{key, text}, {"StartIdx", "1"}, {"EndIdx", "100"}});
      ASSERT_EQ(reply.status, 200) << key << " " << text.substr(0, 40) << ": " << reply.body;
      EXPECT_NO_THROW(nlohmann::json::parse(reply.body));
    }
  // Quotes and operators do not widen a search: "text" OR "zebra" is the words text, or, zebra.
  EXPECT_TRUE(SearchIds({{"TitleQuery", "text\" OR \"zebra"}}).empty());
  EXPECT_EQ(SearchIds({{"TitleQuery", "mining*"}}).size(), 4u);
  // The corpus is still there.
  EXPECT_EQ(SearchIds({{"TitleQuery", "zebra"}}), (Ids{6}));
}

}  // namespace
}  // namespace wendrel
