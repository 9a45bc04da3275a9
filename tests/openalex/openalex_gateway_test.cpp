// The OpenAlex gateway against a fake OpenAlex on 127.0.0.1: what it asks for, how it maps works
// into replies, paging and cursors, retries, the cache and offline answers, merged works, reading
// ahead.
#include "openalex/openalex_gateway.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "fake_openalex.h"
#include "corpus/corpus_reader.h"
#include "openalex/openalex_work.h"
#include "service/search_request.h"
#include "temp_dir.h"

namespace wendrel {
namespace {

using Json = nlohmann::json;
using std::chrono::milliseconds;
constexpr const char* kKey = "secret-key-123";

class OpenAlexGatewayTest : public ::testing::Test {
 protected:
  OpenAlexGatewayOptions Options(bool offline = false) {
    OpenAlexGatewayOptions options;
    options.api.baseAddress = fake.BaseAddress();
    options.api.apiKey = kKey;
    options.api.mailto = "me@example.org";
    options.api.requestsPerSecond = 0;
    options.api.retries = 2;
    options.api.maxHold = milliseconds(3500);  // backoffs of 1 s and 2 s, and the exchanges
    options.api.sleep = [this](milliseconds wait) { waits.push_back(wait); };
    options.cachePath = dir.Path("cache.sqlite");
    options.offline = offline;
    options.log = [this](const std::string& line) { log += line + "\n"; };
    // Reading ahead would make the requests counted here depend on timing; it has its own test.
    options.prefetch = false;
    return options;
  }

  static ServiceReply Ask(PublicationSource& source, QueryParameters parameters) {
    parameters.insert(parameters.begin(), {"AppId", "test"});
    return AnswerSearchRequest(source, parameters);
  }
  // The publication part of a reply that must succeed.
  static Json Publications(PublicationSource& source, const QueryParameters& parameters) {
    ServiceReply reply = Ask(source, parameters);
    EXPECT_EQ(reply.status, 200) << reply.body;
    return reply.status == 200 ? Json::parse(reply.body)["d"]["Publication"] : Json();
  }
  static std::vector<std::string> Ids(const Json& publications) {
    std::vector<std::string> ids;
    if (publications.is_object() && publications["Result"].is_array())
      for (const Json& r : publications["Result"]) ids.push_back(r["ID"].get<std::string>());
    return ids;
  }

  test::TempDir dir;
  test::FakeOpenAlex fake;
  std::vector<milliseconds> waits;
  std::string log;
};

TEST_F(OpenAlexGatewayTest, MapsEveryFieldOfAWork) {
  OpenAlexSource source(Options());
  struct Case {
    const char* id;
    int year;
    const char* abstract;
    std::vector<std::pair<std::string, std::string>> authors;  // last, first
    const char* journal;     // nullptr: null in the reply
    const char* conference;
    const char* doi;
    std::vector<std::string> urls;
    std::vector<std::string> keywords;
    int citations, references;
  } cases[] = {
      // Names are the byline's ("G. Akerlof"), not the author profile's ("George A. Akerlof").
      {"W100", 1982, "This paper explains unemployment. The paper is short.", {{"Akerlof", "G."}},
       "The Quarterly Journal of Economics", nullptr, "10.2307/1885099",
       {"https://repo.example.org/gift.pdf", "https://doi.org/10.2307/1885099", "https://repo.example.org/gift"},
       {"Labor", "gift"}, 4, 2},
      // A byline in "Last, First" form; no DOI.
      {"W200", 2018, "", {{"Volpi", "Riccardo"}, {"Namkoong", "Hongseok"}, {"Sener", "Ozan"}}, nullptr,
       "Neural Information Processing Systems", "", {"https://papers.example.org/7779.pdf"}, {}, 1, 3},
      // A repository is no venue; unknown year; PDFs of later locations come first.
      {"W10", 0, "", {}, nullptr, nullptr, "10.48550/arxiv.1201.0490",
       {"https://hal.example.org/hal-1/document", "https://arxiv.org/abs/1201.0490", "https://hal.example.org/hal-1"},
       {}, 3, 0},
  };
  for (const Case& c : cases) {
    Json r = Publications(source, {{"PublicationID", c.id}})["Result"][0];
    EXPECT_EQ(r["ID"], ShortOpenAlexId(c.id));  // w100: see ShortOpenAlexId
    EXPECT_EQ(r["Year"], c.year) << c.id;
    EXPECT_EQ(r["Abstract"], c.abstract) << c.id;
    std::vector<std::pair<std::string, std::string>> authors;
    for (const Json& a : r["Author"]) authors.emplace_back(a["LastName"], a["FirstName"]);
    EXPECT_EQ(authors, c.authors) << c.id;
    EXPECT_EQ(r["Journal"].is_null() ? "" : r["Journal"]["FullName"], c.journal ? c.journal : "") << c.id;
    EXPECT_EQ(r["Conference"].is_null() ? "" : r["Conference"]["FullName"], c.conference ? c.conference : "");
    EXPECT_EQ(r["DOI"], c.doi) << c.id;
    EXPECT_EQ(r["FullVersionURL"].get<std::vector<std::string>>(), c.urls) << c.id;
    std::vector<std::string> keywords;
    for (const Json& k : r["Keyword"]) keywords.push_back(k["Name"]);
    EXPECT_EQ(keywords, c.keywords) << c.id;
    EXPECT_EQ(r["CitationCount"], c.citations) << c.id;
    EXPECT_EQ(r["ReferenceCount"], c.references) << c.id;
  }
  auto requests = fake.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].path, "/works/W100");
  // The key goes as OpenAlex documents it; the e-mail address, which OpenAlex no longer uses, not at all.
  for (const auto& request : requests) EXPECT_EQ(request.Param("api_key"), kKey);
  EXPECT_EQ(fake.Authorizations(), std::vector<std::string>(3, ""));
  EXPECT_EQ(requests[0].params.count("mailto"), 0u);
  EXPECT_NE(log.find("--mailto) is not sent"), std::string::npos) << log;
  // The fake keeps to `select`: every field above was among those asked for.
  EXPECT_EQ(requests[0].Param("select"), kOpenAlexWorkFields);
  // Unknown works and IDs that are no OpenAlex work give the empty answer; only the first is asked.
  EXPECT_EQ(Publications(source, {{"PublicationID", "w999"}})["TotalItem"], 0);
  EXPECT_EQ(Publications(source, {{"PublicationID", "17"}})["TotalItem"], 0);
  EXPECT_EQ(fake.Requests().size(), 4u);
  EXPECT_EQ(fake.Requests().back().path, "/works/W999");
}

TEST_F(OpenAlexGatewayTest, ListsAndSearchesAskWithFiltersAndSorts) {
  OpenAlexSource source(Options());
  struct Case {
    const char* name;
    QueryParameters parameters;
    std::vector<std::string> ids;
    std::map<std::string, std::string> sent;  // parameters of the last request
  } cases[] = {
      {"references by year", {{"PublicationID", "W200"}, {"ReferenceType", "Reference"}, {"OrderBy", "Year"}},
       {"w12", "w100", "w10"},
       {{"include_xpac", "true"}, {"filter", "cited_by:W200"}, {"sort", "publication_year:desc"}, {"per_page", "100"}, {"cursor", "*"}}},
      {"citing, by citations unless told", {{"PublicationID", "W100"}, {"ReferenceType", "Citation"}},
       {"w200", "w300", "w301", "w302"},
       {{"filter", "cites:W100"}, {"sort", "cited_by_count:desc"}, {"include_xpac", "true"}}},
      {"title, author, years",
       {{"TitleQuery", "gift, exchange"}, {"AuthorQuery", "akerlof"}, {"YearStart", "1980"}, {"YearEnd", "1990"}},
       {"w100"},
       {{"filter", "title.search:gift exchange,raw_author_name.search:\"akerlof\",publication_year:1980-1990"}}},
      // Boolean words, groups and wildcards are the user's words, not OpenAlex's syntax.
      {"search words as words", {{"FullTextQuery", "(gift OR \"exchange\") AND NOT labo*"}}, {},
       {{"search", "gift or exchange and not labo"}}},
      {"full text from a year on", {{"FullTextQuery", "cites"}, {"YearStart", "2021"}}, {"w301", "w302"},
       {{"search", "cites"}, {"filter", "publication_year:>2020"}}},
      {"conference by name", {{"ConferenceQuery", "Neural Information"}}, {"w200"},
       {{"filter", "primary_location.source.id:S4306420609"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Ids(Publications(source, c.parameters)), c.ids) << c.name;
    for (const auto& [key, value] : c.sent) EXPECT_EQ(fake.Requests().back().Param(key), value) << c.name;
  }
  // A DOI is looked up as a single work, which costs nothing, and kept: asked again, and offline,
  // it is answered from the cache.
  for (bool offline : {false, true}) {
    OpenAlexSource doiSource(Options(offline));
    fake.ClearRequests();
    EXPECT_EQ(Ids(Publications(doiSource, {{"DOIQuery", "https://doi.org/10.2307/1885099"}, {"TitleQuery", "other"}})),
              std::vector<std::string>{"w100"});
    if (!offline) {
      ASSERT_EQ(fake.Requests().size(), 1u);
      EXPECT_EQ(fake.Requests()[0].path, "/works/doi:10.2307/1885099");
    }
  }
  EXPECT_TRUE(fake.Requests().empty());
  // The conference was found among sources of that type. A journal no source matches finds nothing without asking for works.
  EXPECT_EQ(Publications(source, {{"JournalQuery", "Neural Information"}})["TotalItem"], 0);
  EXPECT_EQ(fake.Requests().back().path, "/sources");
  // Every works request, single or listed, asks for the fields the mapping reads and no others.
  for (const auto& request : fake.Requests()) {
    if (request.path.rfind("/works", 0) == 0) {
      EXPECT_EQ(request.Param("select"), kOpenAlexWorkFields) << request.path;
    }
  }
}

TEST_F(OpenAlexGatewayTest, AnAuthorIsAPhraseOfOneByline) {
  // Each word of "John Smith" is in some author of W401, but no byline reads "John Smith".
  fake.AddWork({{"id", "W400"}, {"authorships", {{{"raw_author_name", "John W. Smith"}}}}});
  fake.AddWork({{"id", "W401"}, {"authorships", {{{"raw_author_name", "John Brown"}}, {{"raw_author_name", "Adam Smith"}}}}});
  fake.AddWork({{"id", "W402"}, {"authorships", {{{"raw_author_name", "John Quincy W. Smith"}}}}});
  OpenAlexSource source(Options());
  fake.AddWork({{"id", "W403"}, {"authorships", {{{"raw_author_name", "Smith John"}}}}});
  // The window strips double quotes, so the gateway puts them in; "Last, First" reads as the byline
  // would; a byline printed family name first is found too.
  for (const char* query : {"John Smith", "Smith, John", "\"John  Smith\""}) {
    EXPECT_EQ(Ids(Publications(source, {{"AuthorQuery", query}})), (std::vector<std::string>{"w400", "w403"})) << query;
    EXPECT_EQ(fake.Requests().back().Param("filter"),
              "raw_author_name.search:\"John Smith\"~1 OR \"Smith John\"~1")
        << query;
  }
}

TEST_F(OpenAlexGatewayTest, AVenueIsOneSourceAndTheLogSaysWhich) {
  // Ranked as OpenAlex might: the longer name first.
  fake.AddSource("S1", "Nature Communications", "journal");
  fake.AddSource("S2", "Nature", "journal");
  auto in = [](const char* id, const char* source) {
    return Json{{"id", id}, {"primary_location", {{"source", {{"id", source}, {"type", "journal"}}}}}};
  };
  fake.AddWork(in("W500", "https://openalex.org/S2"));
  fake.AddWork(in("W501", "https://openalex.org/S1"));
  OpenAlexSource source(Options());
  struct Case {
    const char* query;
    const char* filter;  // the whole value: one source, never several OR-ed
    const char* logged;
    std::vector<std::string> ids;
  } cases[] = {
      {"nature", "primary_location.source.id:S2", "journal \"nature\": searching S2 (Nature)", {"w500"}},
      // No source of that very name: the best ranked.
      {"Nature Comm", "primary_location.source.id:S1", "journal \"Nature Comm\": searching S1 (Nature Communications)",
       {"w501"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Ids(Publications(source, {{"JournalQuery", c.query}})), c.ids) << c.query;
    EXPECT_EQ(fake.Requests().back().Param("filter"), c.filter) << c.query;
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
  }
  // The choice is kept: asked again, even with other years, the same source without looking it up,
  // and said again.
  fake.ClearRequests();
  log.clear();
  EXPECT_EQ(Ids(Publications(source, {{"JournalQuery", "nature"}, {"YearStart", "1900"}})), std::vector<std::string>{});
  ASSERT_EQ(fake.Requests().size(), 1u);
  EXPECT_EQ(fake.Requests()[0].Param("filter"), "primary_location.source.id:S2,publication_year:>1899");
  EXPECT_NE(log.find("searching S2 (Nature)"), std::string::npos) << log;
}

TEST_F(OpenAlexGatewayTest, EveryPageGoesByCursorAndCursorsAreKeptAcrossRestarts) {
  fake.AddCiters("W5", 12000);
  auto citing = [&](OpenAlexSource& source, int start, int end) {
    return Publications(source, {{"PublicationID", "W5"}, {"ReferenceType", "Citation"},
                                 {"StartIdx", std::to_string(start)}, {"EndIdx", std::to_string(end)}});
  };
  // What the requests since the last call sent as `key`.
  auto sent = [&](const char* key) {
    std::vector<std::string> values;
    for (const auto& request : fake.Requests()) values.push_back(request.Param(key));
    fake.ClearRequests();
    return values;
  };
  {
    OpenAlexSource source(Options());
    // A range across two pages asks for both.
    Json straddling = citing(source, 51, 150);
    EXPECT_EQ(straddling["TotalItem"], 12000);
    std::vector<std::string> ids = Ids(straddling);
    ASSERT_EQ(ids.size(), 100u);
    EXPECT_EQ(ids.front(), "w900000050");
    EXPECT_EQ(ids.back(), "w900000149");
    EXPECT_EQ(fake.Requests().at(0).params.count("page"), 0u);
    EXPECT_EQ(sent("cursor"), (std::vector<std::string>{"*", "c2"}));

    // Page 101, beyond where numbered pages reach: walked on from the last cursor kept, once.
    EXPECT_EQ(Ids(citing(source, 10001, 10100)).at(0), "w900010000");
    const std::vector<std::string> cursors = sent("cursor");
    ASSERT_EQ(cursors.size(), 99u);
    EXPECT_EQ(cursors.front(), "c3");
    EXPECT_EQ(cursors.back(), "c101");
    EXPECT_EQ(Ids(citing(source, 10001, 10100)).at(0), "w900010000");
    EXPECT_TRUE(sent("cursor").empty());
  }
  // After a restart the page walked is in the cache, and the next one is one request away.
  {
    OpenAlexSource restarted(Options());
    EXPECT_EQ(Ids(citing(restarted, 10001, 10100)).at(0), "w900010000");
    EXPECT_TRUE(sent("cursor").empty());
    EXPECT_EQ(Ids(citing(restarted, 10101, 10200)).back(), "w900010199");
    EXPECT_EQ(sent("cursor"), std::vector<std::string>{"c102"});
  }
  // Offline, the same; once the list is too old it expires whole, and is walked anew from its start.
  OpenAlexSource offline(Options(true));
  EXPECT_EQ(Ids(citing(offline, 10001, 10100)).at(0), "w900010000");
  OpenAlexGatewayOptions noAge = Options();
  noAge.maxAge = std::chrono::seconds(0);
  OpenAlexSource stale(noAge);
  EXPECT_EQ(Ids(citing(stale, 10001, 10100)).at(0), "w900010000");
  const std::vector<std::string> anew = sent("cursor");
  ASSERT_EQ(anew.size(), 101u);
  EXPECT_EQ(anew.front(), "*");
}

TEST_F(OpenAlexGatewayTest, AListOfTiedWorksHoldsEachOnceAndExpiresWhole) {
  // 250 works cited as often: by page number OpenAlex would list them in a different order on
  // every page.
  fake.AddCiters("W6", 250, true);
  OpenAlexGatewayOptions options = Options();
  options.maxAge = std::chrono::hours(1);
  std::set<std::string> seen;
  {
    OpenAlexSource source(options);
    for (int start : {1, 101, 201})
      for (const std::string& id : Ids(Publications(source, {{"PublicationID", "W6"}, {"ReferenceType", "Citation"},
                                                             {"StartIdx", std::to_string(start)},
                                                             {"EndIdx", std::to_string(start + 99)}})))
        seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 250u);
  // Page 1 walked again begins a new list: the pages of the old walk are no longer answered.
  OpenAlexCache cache(dir.Path("cache.sqlite"), false);
  const std::string query = "/works?filter=cites:W6&sort=cited_by_count:desc&include_xpac=true";
  ASSERT_TRUE(cache.Page(query, 3, std::nullopt)) << "the list's query changed";
  cache.Put({}, query, 1, CachedPage{250, {"w900000000"}});
  EXPECT_FALSE(cache.Page(query, 3, std::nullopt));
  EXPECT_FALSE(cache.NearestCursor(query, 3));
}

TEST_F(OpenAlexGatewayTest, RetriesWithBackoffAndReportsFailuresWithoutTheKey) {
  OpenAlexSource source(Options());
  fake.FailNext({{429, "", "1"}, {500, "", ""}});
  EXPECT_EQ(Ids(Publications(source, {{"PublicationID", "W100"}})), std::vector<std::string>{"w100"});
  EXPECT_EQ(waits, (std::vector<milliseconds>{milliseconds(1000), milliseconds(2000)}));
  EXPECT_EQ(fake.Requests().size(), 3u);

  struct Case {
    const char* name;
    std::vector<test::FakeOpenAlex::Failure> failures;
    int status;
    const char* reason;
    size_t requests;
  } cases[] = {
      {"quota spent", {{429, "", ""}, {429, "", ""}, {429, "", ""}}, 503, "429", 3},
      {"server down", {{503, "", ""}, {502, "", ""}, {500, "", ""}}, 502, "status 500", 3},
      {"bad key", {{401, R"({"error":"Invalid api_key secret-key-123"})", ""}}, 502, "API key", 1},
      {"malformed", {{200, "{\"results\": [", ""}}, 502, "malformed", 1},
  };
  for (const Case& c : cases) {
    fake.ClearRequests();
    fake.FailNext(c.failures);
    ServiceReply reply = Ask(source, {{"PublicationID", "W11"}, {"ReferenceType", "Citation"}});
    EXPECT_EQ(reply.status, c.status) << c.name;
    EXPECT_NE(reply.body.find(c.reason), std::string::npos) << c.name << ": " << reply.body;
    EXPECT_EQ(reply.body.find(kKey), std::string::npos) << c.name;
    EXPECT_EQ(fake.Requests().size(), c.requests) << c.name;
  }
  EXPECT_NE(log.find("giving up"), std::string::npos);
  EXPECT_EQ(log.find(kKey), std::string::npos) << log;

  // Nobody listening: the exchange fails, is tried again, and is reported as unreachable.
  OpenAlexGatewayOptions unreachable = Options();
  unreachable.api.baseAddress = "http://127.0.0.1:" + std::to_string(test::UnusedPort());
  OpenAlexSource nowhere(unreachable);
  const ServiceReply reply = Ask(nowhere, {{"PublicationID", "W1"}});
  EXPECT_EQ(reply.status, 502);
  EXPECT_NE(reply.body.find("cannot be reached"), std::string::npos) << reply.body;
}

TEST_F(OpenAlexGatewayTest, RequestsKeepToTheRateAndAMissingKeyIsReportedOnce) {
  OpenAlexGatewayOptions options = Options();
  options.api.apiKey.clear();
  options.api.requestsPerSecond = 5;
  OpenAlexSource source(options);
  const auto began = std::chrono::steady_clock::now();
  for (const char* id : {"w10", "w11", "w12"}) Publications(source, {{"PublicationID", id}});
  const auto took = std::chrono::ceil<milliseconds>(std::chrono::steady_clock::now() - began);
  // The third request's slot is 400 ms after the first: what it was told to wait and the time the
  // exchanges took (however slow the machine) make up at least that, and the wait no more.
  ASSERT_GE(waits.size(), 2u);
  EXPECT_LE(waits.back(), milliseconds(400));
  EXPECT_GE(waits.back() + took, milliseconds(400));
  for (const auto& request : fake.Requests()) EXPECT_EQ(request.params.count("api_key"), 0u);
  const size_t first = log.find("no OpenAlex API key");
  EXPECT_NE(first, std::string::npos);
  EXPECT_EQ(log.find("no OpenAlex API key", first + 1), std::string::npos) << log;
}

TEST_F(OpenAlexGatewayTest, TheFirstReplySaysWhetherTheKeyWasTaken) {
  struct Case {
    std::multimap<std::string, std::string> headers;
    const char* logged;
  } cases[] = {
      {{{"X-RateLimit-Limit-USD", "1"}, {"X-RateLimit-Remaining-USD", "0.9731"}},
       "OpenAlex took the API key: the daily budget is $1.0000"},
      // Credits, as OpenAlex counted before: a thousand are the keyless budget.
      {{{"X-RateLimit-Limit", "1000"}, {"X-RateLimit-Remaining", "998"}},
       "OpenAlex did not take the API key: it answers on the keyless daily budget of $0.1000. Check --api-key"},
  };
  for (const Case& c : cases) {
    log.clear();
    fake.SetReplyHeaders(c.headers);
    OpenAlexGatewayOptions options = Options();
    options.cachePath = dir.Path(std::string("cache-") + c.headers.begin()->first + ".sqlite");
    OpenAlexSource source(options);
    Publications(source, {{"PublicationID", "W100"}});
    Publications(source, {{"PublicationID", "W200"}});
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    EXPECT_EQ(log.find("the API key", log.find("the API key") + 1), std::string::npos) << "said once: " << log;
    EXPECT_EQ(log.find(kKey), std::string::npos) << log;
  }
  // What is left of the budget is said when a citing list has been read to its end, as a growth
  // does last.
  fake.SetReplyHeaders({{"X-RateLimit-Remaining-USD", "0.9731"}});
  OpenAlexSource source(Options());
  log.clear();
  Publications(source, {{"PublicationID", "W100"}, {"ReferenceType", "Citation"}});
  EXPECT_NE(log.find("OpenAlex's budget left today: $0.9731"), std::string::npos) << log;
  EXPECT_EQ(source.BudgetReport(), "OpenAlex's budget left today: $0.9731");
}

TEST_F(OpenAlexGatewayTest, TheCacheAnswersAgainAndOffline) {
  const std::vector<QueryParameters> growth = {
      {{"PublicationID", "W100"}},
      {{"PublicationID", "W100"}, {"ReferenceType", "Reference"}, {"StartIdx", "1"}, {"EndIdx", "100"}},
      {{"PublicationID", "W100"}, {"ReferenceType", "Citation"}, {"OrderBy", "CitationCount"}},
  };
  std::vector<std::string> first;
  {
    OpenAlexSource source(Options());
    for (const auto& parameters : growth) first.push_back(Ask(source, parameters).body);
  }
  EXPECT_EQ(fake.Requests().size(), 3u);
  fake.ClearRequests();
  for (bool offline : {false, true}) {
    OpenAlexSource again(Options(offline));
    for (size_t i = 0; i < growth.size(); ++i) EXPECT_EQ(Ask(again, growth[i]).body, first[i]) << i;
  }
  EXPECT_TRUE(fake.Requests().empty());

  // Offline, a work the cache lacks is the empty answer; a list it lacks fails, and says why (an
  // empty list would read as a work nobody cites).
  OpenAlexSource offline(Options(true));
  EXPECT_EQ(Publications(offline, {{"PublicationID", "W999"}})["TotalItem"], 0);
  for (const QueryParameters& list : std::vector<QueryParameters>{{{"PublicationID", "W10"}, {"ReferenceType", "Citation"}},
                                                                  {{"JournalQuery", "Nowhere"}}}) {
    const ServiceReply reply = Ask(offline, list);
    EXPECT_EQ(reply.status, 503);
    EXPECT_EQ(reply.body, "not in the cache, and the gateway is offline\n");
  }
  EXPECT_NE(log.find("offline: the cache holds no work w999"), std::string::npos) << log;
  EXPECT_NE(log.find("offline: the cache holds no page 1 of /works?filter=cites:W10"), std::string::npos) << log;
  EXPECT_TRUE(fake.Requests().empty());

  // The cache is a corpus: the corpus service can serve what was fetched.
  CorpusReader corpus(dir.Path("cache.sqlite"));
  std::vector<std::string> references;
  for (const Publication& p : corpus.References("W100", PublicationOrder::CitationCount, 0, 10).items)
    references.push_back(p.id);
  EXPECT_EQ(references, (std::vector<std::string>{"w10", "w11"}));

  // Too old an entry is fetched again.
  OpenAlexGatewayOptions noAge = Options();
  noAge.maxAge = std::chrono::seconds(0);
  OpenAlexSource fresh(noAge);
  Publications(fresh, {{"PublicationID", "W100"}});
  EXPECT_EQ(fake.Requests().size(), 1u);
}

TEST_F(OpenAlexGatewayTest, ACacheThatCannotBeReadGivesWayToOpenAlexAndIsLeftAsItIs) {
  const std::string damaged = "SQLite format 3" + std::string(20000, 'x');
  const auto contents = [&] {
    std::ifstream in(dir.Path("cache.sqlite"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  std::ofstream(dir.Path("cache.sqlite"), std::ios::binary) << damaged;
  std::string fallback;
  {
    OpenAlexSource source(Options());
    EXPECT_EQ(Publications(source, {{"PublicationID", "W100"}})["TotalItem"], 1);
    EXPECT_EQ(fake.Requests().size(), 1u);
    EXPECT_NE(log.find("the OpenAlex cache " + dir.Path("cache.sqlite") + " is damaged"), std::string::npos) << log;
    const size_t at = log.find("temporary cache for this run (");
    ASSERT_NE(at, std::string::npos) << log;
    fallback = log.substr(at + 30, log.find(')', at) - at - 30);
    EXPECT_TRUE(std::filesystem::exists(fallback));
  }
  EXPECT_FALSE(std::filesystem::exists(fallback));
  EXPECT_EQ(contents(), damaged);
  // Offline the cache is all there is: it is refused, with the advice.
  try {
    OpenAlexSource offline(Options(true));
    ADD_FAILURE() << "an unreadable cache was taken offline";
  } catch (const ServiceError& e) {
    EXPECT_NE(std::string(e.what()).find("move it aside"), std::string::npos) << e.what();
  }
}

TEST_F(OpenAlexGatewayTest, AMergedWorksOldIdIsAnsweredFromTheCache) {
  fake.Merge("W150", "W100");
  {
    OpenAlexSource source(Options());
    EXPECT_EQ(Ids(Publications(source, {{"PublicationID", "W150"}})), std::vector<std::string>{"w100"});
    EXPECT_EQ(fake.Requests().size(), 2u);  // the redirect and the work
    EXPECT_NE(log.find("w150 is merged into w100"), std::string::npos) << log;
    fake.ClearRequests();
    EXPECT_EQ(Ids(Publications(source, {{"PublicationID", "w150"}})), std::vector<std::string>{"w100"});
    EXPECT_TRUE(fake.Requests().empty());
  }
  OpenAlexSource offline(Options(true));
  Json work = Publications(offline, {{"PublicationID", "W150"}});
  EXPECT_EQ(Ids(work), std::vector<std::string>{"w100"});
  EXPECT_EQ(work["Result"][0]["Year"], 1982);
  EXPECT_TRUE(fake.Requests().empty());
}

TEST_F(OpenAlexGatewayTest, TheNextPageIsFetchedAheadOnceAndWithinTheRate) {
  fake.AddCiters("W7", 350);
  OpenAlexGatewayOptions options = Options();
  options.prefetch = true;
  options.api.requestsPerSecond = 5;
  options.api.sleep = nullptr;  // real waits: the rate is measured at the fake
  OpenAlexSource source(options);
  auto citing = [&](int start) {
    return Ids(Publications(source, {{"PublicationID", "W7"}, {"ReferenceType", "Citation"},
                                     {"StartIdx", std::to_string(start)}, {"EndIdx", std::to_string(start + 99)}}));
  };
  EXPECT_EQ(citing(1).size(), 100u);
  // Page 2 is on its way without being asked for.
  for (int i = 0; i < 100 && fake.Requests().size() < 2; ++i) std::this_thread::sleep_for(milliseconds(50));
  ASSERT_EQ(fake.Requests().size(), 2u);
  EXPECT_EQ(fake.Requests()[1].Param("cursor"), "c2");
  // Read straight on, each page is asked for once: a page on its way is waited for, not asked again.
  EXPECT_EQ(citing(101).at(0), "w900000100");
  EXPECT_EQ(citing(201).at(0), "w900000200");
  EXPECT_EQ(citing(301).size(), 50u);
  std::this_thread::sleep_for(milliseconds(300));  // nothing further is fetched: the list ends
  std::vector<std::string> pages;
  for (const auto& request : fake.Requests()) pages.push_back(request.Param("cursor"));
  EXPECT_EQ(pages, (std::vector<std::string>{"*", "c2", "c3", "c4"}));
  // Reading ahead shares the schedule: five requests a second at most.
  const auto arrivals = fake.Arrivals();
  for (size_t i = 1; i < arrivals.size(); ++i)
    EXPECT_GE(arrivals[i] - arrivals[i - 1], milliseconds(150)) << i;
}

}  // namespace
}  // namespace wendrel
