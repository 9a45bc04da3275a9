// Pearl growing against the local service over a corpus written for these cases: the pages
// requested, the large-citation question, the relation counts through adds and removals,
// suppression, and resolving an ID from a reference.
#include <gtest/gtest.h>

#include <regex>

#include "chain_fixture.h"
#include "fake_http_client.h"
#include "platform/scripted_host.h"

namespace wendrel {
namespace {

using nlohmann::json;
using test::Publication;
using test::Requests;

// 60 ASCII characters and then letters of two bytes each: the caption keeps 64 characters.
const std::string kLongTitle = [] {
  std::string title = "Pearl cited five hundred times ";
  title.resize(60, '-');
  return title + "éééééééé";
}();

std::vector<json> TestCorpus() {
  std::vector<json> corpus;
  // 1000 lists 250 references, 120 of them in the corpus.
  std::vector<int64_t> many;
  for (int64_t k = 1; k <= 250; ++k) many.push_back(k <= 120 ? 5000 + k : 100000 + k);
  for (int64_t k = 1; k <= 120; ++k) corpus.push_back(Publication(5000 + k, "Reference article " + std::to_string(k)));
  corpus.push_back(Publication(1000, "Pearl with many references", many));
  // 2000 is cited 500 times, 2001 501 times.
  corpus.push_back(Publication(2000, kLongTitle));
  corpus.push_back(Publication(2001, "Pearl cited five hundred and one times"));
  for (int64_t id = 3001; id <= 3501; ++id)
    corpus.push_back(Publication(id, "Citing article " + std::to_string(id),
                                 id <= 3500 ? std::vector<int64_t>{2000, 2001} : std::vector<int64_t>{2001}));
  // X (20) and Y (21) both cite 10; 22 cites both.
  corpus.push_back(Publication(10, "Shared reference"));
  corpus.push_back(Publication(11, "Only X cites this"));
  corpus.push_back(Publication(12, "Only Y cites this"));
  corpus.push_back(Publication(20, "Pearl X", {10, 11}, "Xu", "Xia"));
  corpus.push_back(Publication(21, "Pearl Y", {10, 12}));
  corpus.push_back(Publication(22, "Cites X and Y", {20, 21}));
  // Two articles whose titles differ only in case are one article to the chain.
  corpus.push_back(Publication(31, "Same Title Twice"));
  corpus.push_back(Publication(32, "same title TWICE"));
  corpus.push_back(Publication(30, "Pearl Z", {31, 32}));
  corpus.push_back(Publication(40, "A Mathematical Theory of Communication", {}, "Shannon", "Claude"));
  corpus.push_back(Publication(50, "Pearl without relations"));
  return corpus;
}

class PearlGrowing : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_folder = new test::ScratchFolder("wendrel_pearls");
    s_corpus = new test::ServedCorpus(*s_folder, TestCorpus());
  }
  static void TearDownTestSuite() {
    delete s_corpus;
    delete s_folder;
  }

  int32_t Add(const std::string& pk) {
    int32_t index = 0, maxCiting = -1;
    EXPECT_TRUE(chain.AddPearl(index, pk, "", maxCiting, caption)) << pk;
    lastMaxCiting = maxCiting;
    return index;
  }

  static inline test::ScratchFolder* s_folder = nullptr;
  static inline test::ServedCorpus* s_corpus = nullptr;
  ScriptedHost host;
  test::RecordingHttpClient http;
  MASCitationChain chain{host, http, s_corpus->BaseAddress()};
  ScriptedCaption caption;
  int32_t lastMaxCiting = -1;
};

TEST_F(PearlGrowing, CitedPagesFollowTheReferenceCount) {
  int32_t pearl = Add("1000");
  EXPECT_EQ(chain.GetRecord(pearl).ReferenceCount, 250);
  auto cited = Requests(http.Addresses(), "Reference");
  ASSERT_EQ(cited.size(), 3u);
  EXPECT_EQ(cited[0]["StartIdx"], "1");
  EXPECT_EQ(cited[0]["EndIdx"], "100");
  EXPECT_EQ(cited[1]["StartIdx"], "101");
  EXPECT_EQ(cited[2]["StartIdx"], "201");
  EXPECT_EQ(cited[2]["EndIdx"], "300");
  // The third page holds no publication (the rest lie outside the corpus) and adds nothing.
  EXPECT_EQ(chain.Count(), 1 + 120);
  for (int32_t i = 1; i <= chain.Count(); ++i) EXPECT_NE(chain.GetRecord(i).PK, "null");

  http.Forget();
  Add("50");
  EXPECT_TRUE(Requests(http.Addresses(), "Reference").empty());
  EXPECT_TRUE(Requests(http.Addresses(), "Citation").empty());
}

TEST_F(PearlGrowing, LargeCitationCountAsksAboveTheLimit) {
  Add("2000");
  EXPECT_TRUE(host.Messages().empty()) << "500 asks nothing";
  EXPECT_EQ(lastMaxCiting, 500);
  auto citing = Requests(http.Addresses(), "Citation");
  ASSERT_EQ(citing.size(), 5u);
  for (size_t k = 0; k < 5; ++k) {
    EXPECT_EQ(citing[k]["StartIdx"], std::to_string(1 + 100 * k));
    EXPECT_EQ(citing[k]["EndIdx"], std::to_string(100 + 100 * k));
    EXPECT_EQ(citing[k]["OrderBy"], "CitationCount");
  }
  // The caption keeps the first 64 characters of the title and estimates the time left.
  const std::string prefix = "Retrieving articles CITING " + kLongTitle.substr(0, 60 + 2 * 4) + "... [";
  int estimates = 0;
  for (const std::string& text : caption.History()) {
    if (text.rfind(prefix, 0) != 0) continue;
    ++estimates;
    EXPECT_TRUE(std::regex_match(text.substr(prefix.size()), std::regex(R"(([1-9][0-9]*)? seconds remaining\])")))
        << text;
  }
  EXPECT_EQ(estimates, 5);

  ScriptedHost yesHost;
  yesHost.QueueAnswer(MessageResult::Yes);
  test::RecordingHttpClient yesHttp;
  MASCitationChain limited(yesHost, yesHttp, s_corpus->BaseAddress());
  int32_t index = 0, maxCiting = 0;
  ASSERT_TRUE(limited.AddPearl(index, "2001", "", maxCiting, caption));
  ASSERT_EQ(yesHost.Messages().size(), 1u);
  const RecordedMessage& question = yesHost.Messages()[0];
  EXPECT_EQ(question.title, "XCR");
  EXPECT_EQ(question.buttons, MessageButtons::YesNo);
  EXPECT_EQ(question.text,
            "Pearl cited five hundred and one times has a large citation count (501 times). This may take some time "
            "to download. Click YES to limit the number of retrieved records to the 500 most cited");
  EXPECT_EQ(maxCiting, 500);
  EXPECT_EQ(Requests(yesHttp.Addresses(), "Citation").size(), 5u);
  EXPECT_EQ(limited.Count(), 1 + 500);

  ScriptedHost noHost;
  noHost.QueueAnswer(MessageResult::No);
  test::RecordingHttpClient noHttp;
  MASCitationChain all(noHost, noHttp, s_corpus->BaseAddress());
  index = 0;
  ASSERT_TRUE(all.AddPearl(index, "2001", "", maxCiting, caption));
  EXPECT_EQ(maxCiting, 501);
  EXPECT_EQ(Requests(noHttp.Addresses(), "Citation").size(), 6u);
  EXPECT_EQ(all.Count(), 1 + 501);
}

TEST_F(PearlGrowing, CaptionsEventsAndHistory) {
  std::vector<std::string> events;
  chain.SetEvents({[&] { events.push_back("pearl " + chain.GetRecord(chain.GrowingIndex()).Title); },
                   [&] { events.push_back("cited " + std::to_string(chain.Count())); },
                   [&] { events.push_back("citing " + std::to_string(chain.Count())); }});
  int32_t pearl = Add("20");
  EXPECT_EQ(pearl, 1);
  EXPECT_EQ(events, (std::vector<std::string>{"pearl Pearl X", "cited 3", "citing 4"}));
  EXPECT_EQ(chain.GrowingIndex(), 0);
  EXPECT_EQ(caption.History(),
            (std::vector<std::string>{"Retrieving Pearl meta-data", "Retrieving articles CITED BY Pearl X",
                                      "Retrieving articles CITED BY Pearl X.", "Retrieving articles CITING Pearl X",
                                      "Retrieving articles CITING Pearl X... [ seconds remaining]"}));
  EXPECT_EQ(chain.EventHistory(), "<EVENT type=\"ADD\" ut=\"20\" recid=\"\" author=\"Xu, Xia\" year=\"2000\"/>\r\n");
  EXPECT_EQ(host.BusyChanges(), (std::vector<bool>{true, false}));
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(PearlGrowing, AnArticleTwiceInOnePearlsPagesCountsOnce) {
  int32_t pearl = Add("30");
  ASSERT_EQ(chain.Count(), 2);
  CCRecord merged = chain.GetRecord(chain.TitleIndex("same title twice"));
  EXPECT_EQ(merged.PK, "31") << "the first copy's metadata stays";
  EXPECT_EQ(merged.CitedByPearls, 1);
  EXPECT_EQ(merged.CitedPearlList, ";" + std::to_string(pearl) + ";");
}

TEST_F(PearlGrowing, RemovingPearlsInTurn) {
  int32_t x = Add("20");
  int32_t y = Add("21");
  const std::string tx = ";" + std::to_string(x) + ";", ty = ";" + std::to_string(y) + ";";
  int32_t shared = chain.FindIndex("10", "", ""), onlyX = chain.FindIndex("11", "", ""),
          citer = chain.FindIndex("22", "", "");
  EXPECT_EQ(chain.GetRecord(shared).CitedByPearls, 2);
  EXPECT_EQ(chain.GetRecord(shared).CitedPearlList, tx + ty);
  EXPECT_EQ(chain.GetRecord(citer).CitesPearls, 2);

  ASSERT_TRUE(chain.RemovePearl(x));
  EXPECT_FALSE(chain.GetRecord(x).IsPearl);
  EXPECT_EQ(chain.GetRecord(shared).CitedByPearls, 1);
  EXPECT_EQ(chain.GetRecord(shared).CitedPearlList, ty);
  EXPECT_TRUE(chain.GetRecord(shared).IsCited);
  EXPECT_FALSE(chain.GetRecord(onlyX).IsCited);
  EXPECT_EQ(chain.GetRecord(citer).CitingPearlList, ty);

  ASSERT_TRUE(chain.RemovePearl(y));
  EXPECT_FALSE(chain.GetRecord(shared).IsCited);
  EXPECT_EQ(chain.GetRecord(shared).CitedByPearls, 0);
  EXPECT_EQ(chain.GetRecord(shared).CitedPearlList, "");
  EXPECT_FALSE(chain.GetRecord(citer).IsCiting);
  EXPECT_EQ(chain.Count(), 6) << "records stay in the table";
  EXPECT_FALSE(chain.RemovePearl(0));
  EXPECT_EQ(std::count(chain.EventHistory().begin(), chain.EventHistory().end(), '\n'), 4);
}

TEST_F(PearlGrowing, ReAddingOrAddingTwiceCountsOnce) {
  auto relations = [](const MASCitationChain& c) {
    std::vector<std::string> rows;
    for (int32_t i = 1; i <= c.Count(); ++i) {
      CCRecord r = c.GetRecord(i);
      rows.push_back(r.PK + " " + std::to_string(r.IsPearl) + std::to_string(r.IsCited) + std::to_string(r.IsCiting) +
                     " " + std::to_string(r.CitedByPearls) + r.CitedPearlList + " " + std::to_string(r.CitesPearls) +
                     r.CitingPearlList);
    }
    return rows;
  };
  Add("20");
  Add("21");
  const std::vector<std::string> once = relations(chain);

  ScriptedHost otherHost;
  MASCitationChain again(otherHost, http, s_corpus->BaseAddress());
  int32_t x = 0, y = 0, maxCiting = 0;
  ASSERT_TRUE(again.AddPearl(x, "20", "", maxCiting, caption));
  ASSERT_TRUE(again.AddPearl(y, "21", "", maxCiting, caption));
  ASSERT_TRUE(again.RemovePearl(y));
  ASSERT_TRUE(again.AddPearl(y, "21", "", maxCiting, caption));
  EXPECT_EQ(relations(again), once);

  // A pearl asked for by ID a second time is refused quietly; by number, with the message.
  const std::string history = again.EventHistory();
  int32_t byId = 0;
  EXPECT_FALSE(again.AddPearl(byId, "21", "", maxCiting, caption));
  EXPECT_EQ(byId, 0);
  EXPECT_TRUE(otherHost.Messages().empty());
  EXPECT_FALSE(again.AddPearl(y, "21", "", maxCiting, caption));
  ASSERT_EQ(otherHost.Messages().size(), 1u);
  EXPECT_EQ(otherHost.Messages()[0].text, "Record already in Pearl list");
  EXPECT_EQ(otherHost.Messages()[0].icon, MessageIcon::Information);
  EXPECT_EQ(relations(again), once);
  EXPECT_EQ(again.EventHistory(), history);

  for (const char* unusable : {"", "N/A", "null"}) EXPECT_FALSE(again.AddPearl(byId, unusable, "", maxCiting, caption));
}

TEST_F(PearlGrowing, UnknownPublicationKeepsThePearlsRecord) {
  int32_t pearl = Add("999999");
  EXPECT_EQ(chain.Count(), 1);
  CCRecord r = chain.GetRecord(pearl);
  EXPECT_EQ(r.PK, "999999");
  EXPECT_EQ(r.Title, "");
  EXPECT_TRUE(r.IsPearl);
}

TEST_F(PearlGrowing, SuppressionRules) {
  int32_t pearl = Add("20");
  int32_t cited = chain.FindIndex("10", "", "");
  const CCRecord before = chain.GetRecord(cited);

  EXPECT_FALSE(chain.SuppressDoc(pearl));
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text,
            "This article is a member of your Pearl List. Remove from the Pearl List first and then delete");
  EXPECT_EQ(host.Messages()[0].icon, MessageIcon::Exclamation);
  EXPECT_FALSE(chain.GetRecord(pearl).Suppressed);
  EXPECT_FALSE(chain.SuppressDoc(0));

  ASSERT_TRUE(chain.SuppressDoc(cited));
  CCRecord after = chain.GetRecord(cited);
  EXPECT_TRUE(after.Suppressed);
  after.Suppressed = false;
  EXPECT_EQ(after, before) << "nothing but the flag changes";
  EXPECT_NE(chain.EventHistory().find("<EVENT type=\"SUPPRESS\" ut=\"10\" recid=\"\" author=\"Author, Ann\""),
            std::string::npos);
}

TEST_F(PearlGrowing, FindPKFromRefSearchesTitleAndAuthor) {
  std::string author = "Shannon.";
  EXPECT_EQ(chain.FindPKFromRef("A Mathematical Theory of Communication", author, false), "40");
  EXPECT_EQ(author, "Shannon") << "the caller's author loses its dots";
  EXPECT_EQ(Requests(http.Addresses(), "Search").at(0)["EndIdx"], "10");

  EXPECT_EQ(chain.FindPKFromRef("No such article anywhere", author, true), "N/A");
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(chain.FindPKFromRef("No such article anywhere", author, false), "N/A");
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, "Failed to resolve Article ID for Shannon. No such article anywhere");
  EXPECT_EQ(host.Messages()[0].title, "XCR");
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
      {"no hits", "[]", "Exact", "N/A"},
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
  // An aged record is counted again for the next pearl.
  chain.MergePage(page, 40000, PearlRelation::Cited);
  EXPECT_EQ(chain.GetRecord(1).CitedAge, 0);
}

}  // namespace
}  // namespace wendrel
