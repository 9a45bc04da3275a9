// Pearl growing against the local service over a corpus written for these cases: the pages
// requested, the large-citation question, the relation counts through adds and removals,
// suppression, and resolving an ID from a reference.
#include <gtest/gtest.h>

#include <regex>

#include "chain_fixture.h"
#include "fake_http_client.h"
#include "test_http_server.h"

namespace wendrel {
namespace {

using nlohmann::json;
using test::AddPearl;
using test::Publication;
using test::Requests;

// 60 ASCII characters and then letters of two bytes each: the caption keeps 64 characters.
const std::string kLongTitle = std::string("Pearl cited five hundred times ").append(29, '-') + "éééééééé";

std::vector<json> TestCorpus() {
  std::vector<json> corpus;
  // 1000 lists 250 references, 120 of them in the corpus; 2000 is cited 500 times, 2001 501 times.
  std::vector<int64_t> many;
  for (int64_t k = 1; k <= 250; ++k) many.push_back(k <= 120 ? 5000 + k : 100000 + k);
  for (int64_t k = 1; k <= 120; ++k) corpus.push_back(Publication(5000 + k, "Reference article " + std::to_string(k)));
  corpus.push_back(Publication(1000, "Pearl with many references", many));
  corpus.push_back(Publication(2000, kLongTitle));
  corpus.push_back(Publication(2001, "Pearl cited five hundred and one times"));
  for (int64_t id = 3001; id <= 3501; ++id)
    corpus.push_back(Publication(id, "Citing " + std::to_string(id),
                                 id <= 3500 ? std::vector<int64_t>{2000, 2001} : std::vector<int64_t>{2001}));
  // X (20) and Y (21) both cite 10; 22 cites both. Z (30) cites two titles that differ in case only.
  const std::pair<int64_t, const char*> unrelated[] = {{10, "Shared reference"},
                                                       {11, "Only X cites this"},
                                                       {12, "Only Y cites this"},
                                                       {31, "Same Title Twice"},
                                                       {32, "same title TWICE"}};
  for (auto [id, title] : unrelated) corpus.push_back(Publication(id, title));
  corpus.push_back(Publication(20, "Pearl X", {10, 11}));
  corpus.push_back(Publication(21, "Pearl Y", {10, 12}));
  corpus.push_back(Publication(22, "Cites X and Y", {20, 21}));
  corpus.push_back(Publication(30, "Pearl Z", {31, 32}));
  corpus.push_back(Publication(40, "A Mathematical Theory of Communication", {}, "Shannon", "Claude"));
  return corpus;
}

class PearlGrowing : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_corpus = new test::ServedCorpus(TestCorpus()); }
  static void TearDownTestSuite() { delete s_corpus; }

  // A record's flags (pearl, cited, citing), then its counts and pearl lists.
  static std::string State(const MASCitationChain& c, const std::string& pk) {
    CCRecord r = c.GetRecord(c.FindIndex(pk, "", ""));
    return std::to_string(r.IsPearl) + std::to_string(r.IsCited) + std::to_string(r.IsCiting) + " " +
           std::to_string(r.CitedByPearls) + r.CitedPearlList + " " + std::to_string(r.CitesPearls) + r.CitingPearlList;
  }

  static inline test::ServedCorpus* s_corpus = nullptr;
  ScriptedHost host;
  test::RecordingHttpClient http;
  MASCitationChain chain{host, http, s_corpus->BaseAddress()};
  ScriptedCaption caption;
};

TEST_F(PearlGrowing, CitedPagesFollowTheReferenceCountAndEmptyRepliesAddNothing) {
  AddPearl(chain, "1000");
  auto cited = Requests(http.Addresses(), "Reference");
  ASSERT_EQ(cited.size(), 3u);
  for (size_t k = 0; k < 3; ++k) EXPECT_EQ(cited[k]["StartIdx"], std::to_string(1 + 100 * k));
  // The third page holds no publication (the rest lie outside the corpus) and adds nothing.
  EXPECT_EQ(chain.Count(), 1 + 120);
  EXPECT_EQ(chain.FindIndex("null", "", ""), 0);
  // A pearl the service does not know is refused: a blank pearl would be saved as a blank record.
  EXPECT_EQ(AddPearl(chain, "999999"), 0);
  EXPECT_EQ(chain.LastRefusal(), PearlRefusal::NotFound);
  EXPECT_EQ(chain.Count(), 121);
  EXPECT_EQ(chain.PearlOrder(), std::vector<int32_t>{1});
  EXPECT_EQ(chain.FailedRequests(), 0) << "the service answered";
}

TEST(UnansweredPearl, IsRefusedAndChangesNothing) {
  ScriptedHost host;
  test::FakeHttpClient http;  // no scripted reply: every request fails
  MASCitationChain chain(host, http, "http://127.0.0.1:1");
  chain.MergePage(test::Page({test::Article("5", "")}), 1, PearlRelation::Cited);
  const CCRecord before = chain.GetRecord(1);

  EXPECT_EQ(AddPearl(chain, "77"), 0);
  EXPECT_EQ(chain.LastRefusal(), PearlRefusal::NoResponse);
  EXPECT_EQ(chain.FailedRequests(), 1);
  EXPECT_EQ(chain.LastRequestError(), "no scripted reply");
  int32_t index = 1, citingAsked = 0;
  ScriptedCaption caption;
  EXPECT_FALSE(chain.AddPearl(index, "5", "", citingAsked, caption)) << "a record known only by its ID";
  EXPECT_EQ(chain.GetRecord(1), before);
  EXPECT_EQ(chain.Count(), 1);
  EXPECT_TRUE(chain.PearlOrder().empty());
  EXPECT_TRUE(chain.EventHistory().empty());
  ASSERT_EQ(host.Messages().size(), 2u);
  EXPECT_EQ(host.Messages()[1].text, "Cannot retrieve document summary record: No response from server");
  EXPECT_EQ(host.Messages()[1].title, "Retrieving target document data");
  EXPECT_FALSE(host.Busy());

  // Pages that fail are counted; a stop asked for at the first failure ends the growth there.
  CCRecord known = test::Article("6", "Known");
  known.ReferenceCount = known.CitationCount = 300;
  chain.MergePage(test::Page({known}), 1, PearlRelation::Cited);
  chain.SetEvents({.StopRequested = [&] { return chain.FailedRequests() > 0; }});
  EXPECT_EQ(AddPearl(chain, "6"), 2);
  EXPECT_EQ(chain.FailedRequests(), 1);
  EXPECT_TRUE(chain.Interrupted());
  EXPECT_EQ(http.Addresses().size(), 3u) << "two failed retrievals and one failed page";
}

TEST_F(PearlGrowing, StoppingKeepsThePagesMerged) {
  // 1000 needs three pages of references and none of citing articles; stop after the first.
  std::vector<std::pair<int32_t, int32_t>> progress;
  chain.SetEvents({.PageDone = [&](const PageProgress& done) { progress.emplace_back(done.page, done.pages); },
                   .StopRequested = [&] { return !progress.empty(); }});
  const int32_t pearl = AddPearl(chain, "1000");
  ASSERT_NE(pearl, 0);
  EXPECT_TRUE(chain.Interrupted());
  EXPECT_TRUE(chain.GetRecord(pearl).IsPearl);
  EXPECT_EQ(Requests(http.Addresses(), "Reference").size(), 1u);
  EXPECT_EQ(chain.Count(), 1 + 100);
  EXPECT_EQ(progress, (std::vector<std::pair<int32_t, int32_t>>{{1, 3}}));
  EXPECT_TRUE(chain.PartlyGrown(pearl));

  // The next growth starts afresh and runs to its end; the partly grown pearl is grown on from
  // the page it has, every reference counted once.
  chain.SetEvents({.PageDone = [&](const PageProgress& done) { progress.emplace_back(done.page, done.pages); }});
  AddPearl(chain, "20");
  EXPECT_FALSE(chain.Interrupted());
  EXPECT_EQ(progress.back(), std::make_pair(2, 2));
  EXPECT_FALSE(chain.PartlyGrown(chain.FindIndex("20", "", "")));
  ASSERT_EQ(AddPearl(chain, "1000"), pearl);
  EXPECT_FALSE(chain.PartlyGrown(pearl));
  EXPECT_EQ(Requests(http.Addresses(), "Reference").size(), 1u + 1u + 2u)
      << "the stopped page, 20's and the two 1000 lacked";
  EXPECT_EQ(Requests(http.Addresses(), "Reference").back()["StartIdx"], "201");
  EXPECT_EQ(State(chain, "5001"), "010 1;" + std::to_string(pearl) + "; 0");
  EXPECT_EQ(State(chain, "5120"), "010 1;" + std::to_string(pearl) + "; 0");
  // Grown in full, it is a pearl like any other: asked for again, it is refused.
  EXPECT_EQ(AddPearl(chain, "1000"), 0);
}

TEST_F(PearlGrowing, APageLostToTheServiceLeavesThePearlPartlyGrown) {
  // The citing page of 20 gets no answer; the wait runs out and the question is answered Cancel.
  test::HangingProxy hung(s_corpus->BaseAddress(), "ReferenceType=Citation");
  MASCitationChain lossy(host, http, hung.BaseAddress());
  const int32_t pearl = AddPearl(lossy, "20");
  ASSERT_NE(pearl, 0);
  EXPECT_FALSE(lossy.Interrupted());
  EXPECT_EQ(hung.Held(), 1);
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].answer, MessageResult::Cancel);
  EXPECT_TRUE(lossy.PartlyGrown(pearl));
  EXPECT_EQ(State(lossy, "10"), "010 1;1; 0");
  EXPECT_EQ(lossy.FindIndex("22", "", ""), 0);
}

TEST_F(PearlGrowing, LargeCitationCountAsksAboveTheLimit) {
  int32_t citingAsked = 0;
  AddPearl(chain, "2000", &citingAsked, &caption);
  EXPECT_TRUE(host.Messages().empty()) << "500 asks nothing";
  EXPECT_EQ(citingAsked, 500);
  auto citing = Requests(http.Addresses(), "Citation");
  ASSERT_EQ(citing.size(), 5u);
  for (size_t k = 0; k < 5; ++k)
    EXPECT_EQ(citing[k]["StartIdx"] + citing[k]["OrderBy"], std::to_string(1 + 100 * k) + "CitationCount");
  // The caption keeps the first 64 characters of the title and estimates the time left.
  EXPECT_TRUE(std::regex_match(caption.History().back(),
                               std::regex("Retrieving articles CITING " + kLongTitle.substr(0, 60 + 2 * 4) +
                                          R"(\.\.\. \[([1-9][0-9]*)? seconds remaining\])")))
      << caption.History().back();

  ScriptedHost asked;
  asked.QueueAnswer(MessageResult::Yes);
  test::RecordingHttpClient askedHttp;
  MASCitationChain limited(asked, askedHttp, s_corpus->BaseAddress());
  AddPearl(limited, "2001", &citingAsked);
  ASSERT_EQ(asked.Messages().size(), 1u);
  EXPECT_EQ(asked.Messages()[0].title, "XCR");
  EXPECT_EQ(asked.Messages()[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(asked.Messages()[0].text,
            "Pearl cited five hundred and one times has a large citation count (501 times). This may take some "
            "time to download. Click YES to limit the number of retrieved records to the 500 most cited");
  EXPECT_EQ(citingAsked, 500);
  EXPECT_EQ(Requests(askedHttp.Addresses(), "Citation").size(), 5u);
  EXPECT_EQ(limited.Count(), 1 + 500);
}

TEST_F(PearlGrowing, CaptionsEventsAndHistory) {
  std::vector<std::string> events;
  chain.SetEvents({[&] { events.push_back("pearl " + chain.GetRecord(chain.GrowingIndex()).Title); },
                   [&] { events.push_back("cited " + std::to_string(chain.Count())); },
                   [&] { events.push_back("citing " + std::to_string(chain.Count())); }});
  EXPECT_EQ(AddPearl(chain, "20", nullptr, &caption), 1);
  EXPECT_EQ(events, (std::vector<std::string>{"pearl Pearl X", "cited 3", "citing 4"}));
  EXPECT_EQ(caption.History(),
            (std::vector<std::string>{"Retrieving Pearl meta-data", "Retrieving articles CITED BY Pearl X",
                                      "Retrieving articles CITED BY Pearl X.", "Retrieving articles CITING Pearl X",
                                      "Retrieving articles CITING Pearl X... [ seconds remaining]"}));
  EXPECT_EQ(host.BusyChanges(), (std::vector<bool>{true, false}));
}

TEST_F(PearlGrowing, AnArticleTwiceInOnePearlsPagesCountsOnce) {
  AddPearl(chain, "30");
  EXPECT_EQ(chain.Count(), 2) << "the first copy's record stays";
  EXPECT_EQ(State(chain, "31"), "010 1;1; 0");
}

TEST_F(PearlGrowing, RemovingPearlsInTurn) {
  ASSERT_EQ(AddPearl(chain, "20"), 1);
  ASSERT_EQ(AddPearl(chain, "21"), 5);
  ASSERT_TRUE(chain.RemovePearl(1));
  EXPECT_EQ(State(chain, "20"), "000 0 0");
  EXPECT_EQ(State(chain, "10"), "010 1;5; 0");
  EXPECT_EQ(State(chain, "11"), "000 0 0");
  EXPECT_EQ(State(chain, "22"), "001 0 1;5;");
  ASSERT_TRUE(chain.RemovePearl(5));
  EXPECT_EQ(State(chain, "10"), "000 0 0");
  EXPECT_EQ(State(chain, "22"), "000 0 0");
  EXPECT_EQ(chain.Count(), 6) << "records stay in the table";
  EXPECT_FALSE(chain.RemovePearl(0));
}

TEST_F(PearlGrowing, ReAddingOrAddingTwiceCountsOnce) {
  MASCitationChain once(host, http, s_corpus->BaseAddress());
  AddPearl(once, "20");
  AddPearl(once, "21");
  auto same = [&] {
    for (const char* pk : {"10", "11", "12", "20", "21", "22"}) EXPECT_EQ(State(chain, pk), State(once, pk)) << pk;
  };
  AddPearl(chain, "20");
  AddPearl(chain, "21");
  ASSERT_TRUE(chain.RemovePearl(5));
  ASSERT_EQ(AddPearl(chain, "21"), 5);
  same();

  // A pearl asked for by ID a second time is refused quietly; by number, with the message.
  const std::string history = chain.EventHistory();
  EXPECT_EQ(AddPearl(chain, "21"), 0);
  EXPECT_TRUE(host.Messages().empty());
  int32_t index = 5, citingAsked = 0;
  EXPECT_FALSE(chain.AddPearl(index, "21", "", citingAsked, caption));
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, "Record already in Pearl list");
  same();
  EXPECT_EQ(chain.EventHistory(), history);
  for (const char* unusable : {"", "N/A", "null"}) EXPECT_EQ(AddPearl(chain, unusable), 0);
}

TEST_F(PearlGrowing, SuppressionRules) {
  int32_t pearl = AddPearl(chain, "20");
  int32_t cited = chain.FindIndex("10", "", "");
  const CCRecord before = chain.GetRecord(cited);
  EXPECT_FALSE(chain.SuppressDoc(pearl));
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text,
            "This article is a member of your Pearl List. Remove from the Pearl List first and then delete");
  EXPECT_FALSE(chain.GetRecord(pearl).Suppressed);
  EXPECT_FALSE(chain.SuppressDoc(0));

  ASSERT_TRUE(chain.SuppressDoc(cited));
  CCRecord after = chain.GetRecord(cited);
  EXPECT_TRUE(after.Suppressed);
  after.Suppressed = false;
  EXPECT_EQ(after, before) << "nothing but the flag changes";
  EXPECT_NE(chain.EventHistory().find("<EVENT type=\"SUPPRESS\" ut=\"10\""), std::string::npos);
}

TEST_F(PearlGrowing, FindPKFromRefSearchesTitleAndAuthor) {
  std::string author = "Shannon.";
  EXPECT_EQ(chain.FindPKFromRef("A Mathematical Theory of Communication", author, false), "40");
  EXPECT_EQ(author, "Shannon") << "the caller's author loses its dots";
  EXPECT_EQ(chain.FindPKFromRef("No such article anywhere", author, true), "N/A");
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(chain.FindPKFromRef("No such article anywhere", author, false), "N/A");
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, "Failed to resolve Article ID for Shannon. No such article anywhere");
}

TEST(FindPKFromRef, MatchesByTheEndsOfTheHitsTitle) {
  struct Case {
    const char* name;
    const char* hits;  // the Result array of the reply
    const char* title;
    const char* expected;
  } cases[] = {
      {"first 16 characters", R"([{"ID":6,"Title":"Graph Mining for Beginners"}])", "Notes on graph mining for all",
       "6"},
      {"last 16 characters", R"([{"ID":7,"Title":"A Study of Graph Mining"}])", "(dy of graph mining)", "7"},
      {"neither end", R"([{"ID":8,"Title":"Graph Mining in Practice Today"}])", "graph mining", "N/A"},
      {"a hit without title matches nothing", R"([{"ID":5,"Title":""},{"ID":9,"Title":"Exact"}])", "Exact", "9"},
      {"no ID", R"([{"Title":"Exact"}])", "Exact", "N/A"},
  };
  for (const Case& c : cases) {
    ScriptedHost host;
    test::FakeHttpClient http;
    http.QueueBody(std::string(R"({"d":{"Result":)") + c.hits + "}}");
    MASCitationChain chain(host, http, "http://127.0.0.1:1");
    std::string author = "Kim";
    EXPECT_EQ(chain.FindPKFromRef(c.title, author, true), c.expected) << c.name;
  }
}

TEST(RelationCounts, SaturateInsteadOfWrapping) {
  ScriptedHost host;
  test::FakeHttpClient http;
  MASCitationChain chain(host, http, "http://127.0.0.1:1");
  const std::vector<CCRecord> page = test::Page({test::Article("7", "Seven")});
  for (int32_t pearl = 1; pearl <= 32770; ++pearl) {
    chain.AgeRelations();
    chain.MergePage(page, pearl, PearlRelation::Cited);
    chain.MergePage(page, pearl, PearlRelation::Citing);
  }
  EXPECT_EQ(chain.GetRecord(1).CitedByPearls, 32767);
  EXPECT_EQ(chain.GetRecord(1).CitesPearls, 32767);
  for (int round = 0; round < 300; ++round) chain.AgeRelations();
  EXPECT_EQ(chain.GetRecord(1).CitedAge, 255);
  EXPECT_EQ(chain.GetRecord(1).CitingAge, 255);
  chain.MergePage(page, 40000, PearlRelation::Cited);
  EXPECT_EQ(chain.GetRecord(1).CitedAge, 0) << "an aged record is counted again for the next pearl";
}

// Grown again from scripted replies: the pearl and an article it returns are retracted now, one
// article is new and one no longer listed; nothing is counted twice. Refused, changing nothing,
// for an article that is no pearl and when the pearl's record does not come.
TEST(RefreshPearl, TellsWhatChangedAndCountsNothingTwice) {
  auto reply = [](const std::string& results) { return R"({"d":{"Result":[)" + results + "]}}"; };
  auto work = [](int id, bool retracted, int citations = 0) {
    return R"({"ID":)" + std::to_string(id) + R"(,"Title":"Work )" + std::to_string(id) + R"(","CitationCount":)" +
           std::to_string(citations) + R"(,"ReferenceCount":0,"IsRetracted":)" + (retracted ? "true" : "false") + "}";
  };
  ScriptedHost host;
  test::FakeHttpClient http;
  ScriptedCaption caption;
  MASCitationChain chain(host, http, "http://127.0.0.1:1");
  http.QueueBody(reply(work(77, false, 2)));
  http.QueueBody(reply(work(1, false) + "," + work(2, false)));
  const int32_t pearl = AddPearl(chain, "77");
  ASSERT_EQ(pearl, 1);

  EXPECT_FALSE(chain.RefreshPearl(2, caption));
  EXPECT_EQ(chain.LastRefusal(), PearlRefusal::NotPearl);
  http.Queue({0, "", 0, "Connection refused"});
  EXPECT_FALSE(chain.RefreshPearl(pearl, caption));
  EXPECT_EQ(chain.LastRefusal(), PearlRefusal::NoResponse);
  EXPECT_EQ(chain.Count(), 3);

  http.QueueBody(reply(work(77, true, 2)));
  http.QueueBody(reply(work(1, true) + "," + work(3, false)));
  const std::optional<PearlRefresh> refresh = chain.RefreshPearl(pearl, caption);
  ASSERT_TRUE(refresh);
  EXPECT_TRUE(refresh->complete);
  EXPECT_FALSE(refresh->CountsChanged());
  EXPECT_EQ(refresh->added, std::vector<int32_t>{4});
  EXPECT_EQ(refresh->unlisted, std::vector<int32_t>{3});
  EXPECT_EQ(refresh->retracted, (std::vector<int32_t>{1, 2}));
  EXPECT_TRUE(chain.GetRecord(2).Retracted);
  for (int32_t i = 2; i <= 4; ++i) EXPECT_EQ(chain.GetRecord(i).CitesPearls, 1) << "article " << i;
  EXPECT_EQ(chain.GetRecord(2).CitingPearlList, RelationToken(pearl));
}

}  // namespace
}  // namespace wendrel
