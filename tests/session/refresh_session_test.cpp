// Growing every pearl of a session again as a new run: what is new, what is no longer listed and
// whose counts changed, with the decisions made before kept and the run log read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "chain/exchange_exports.h"
#include "session_fixture.h"

namespace wendrel {
namespace {

using test::AddPearl;
using test::Publication;
using test::RecordingHttpClient;
using test::ServedCorpus;

// Pearl 1000 cites 1-5 and is cited by 10-14; pearl 2000 cites 1 and 2 and is cited by 12 and 20.
// Later 14 no longer cites 1000 and the new works 15, 16 and 17 do.
std::vector<nlohmann::json> Corpus(bool later) {
  std::vector<nlohmann::json> corpus;
  for (int64_t k = 1; k <= 5; ++k) corpus.push_back(Publication(k, "Reference " + std::to_string(k)));
  for (int64_t k = 10; k <= 13; ++k) {
    std::vector<int64_t> cites = {1000};
    if (k == 12) cites.push_back(2000);
    corpus.push_back(Publication(k, "Citing " + std::to_string(k), cites));
  }
  corpus.push_back(Publication(14, "Citing 14", later ? std::vector<int64_t>{} : std::vector<int64_t>{1000}));
  corpus.push_back(Publication(20, "Citing 20", {2000}));
  if (later)
    for (int64_t k = 15; k <= 17; ++k) corpus.push_back(Publication(k, "Citing " + std::to_string(k), {1000}));
  corpus.push_back(Publication(1000, "First pearl", {1, 2, 3, 4, 5}));
  corpus.push_back(Publication(2000, "Second pearl", {1, 2}));
  return corpus;
}

std::set<std::string> PKs(const MASCitationChain& chain, const std::vector<int32_t>& indexes) {
  std::set<std::string> pks;
  for (int32_t i : indexes) pks.insert(chain.GetRecord(i).PK);
  return pks;
}

std::set<std::string> NewPKs(const MASCitationChain& chain) {
  std::vector<int32_t> marked;
  for (int32_t i = 1; i <= chain.Count(); ++i)
    if (chain.Screenings().IsNew(i)) marked.push_back(i);
  return PKs(chain, marked);
}

class RefreshSessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_before = new ServedCorpus(Corpus(false));
    s_after = new ServedCorpus(Corpus(true));
  }
  static void TearDownTestSuite() {
    delete s_before;
    delete s_after;
  }

  // The session grown from the earlier corpus, with a decision on 10 and on 14.
  void GrowFirstRun() {
    ScriptedHost host;
    RecordingHttpClient http;
    MASCitationChain chain(host, http, s_before->BaseAddress());
    auto session = SessionFile::Create(path, chain, "earlier");
    session->Attach(chain);
    ASSERT_NE(AddPearl(chain, "1000"), 0);
    ASSERT_NE(AddPearl(chain, "2000"), 0);
    chain.Screenings().Decide(chain.FindIndex("10", "", ""), Verdict::Included);
    chain.Screenings().Decide(chain.FindIndex("14", "", ""), Verdict::Excluded, "wrong outcome");
    EXPECT_TRUE(NewPKs(chain).empty()) << "nothing is new in a session's first run";
    ASSERT_EQ(session->WriteError(), "");
  }

  // The session reopened on a chain that asks the later corpus.
  struct Later {
    explicit Later(const std::string& path) : session(SessionFile::Open(path)) {
      session->Restore(chain);
      session->Attach(chain);
    }
    ScriptedHost host;
    RecordingHttpClient http;
    MASCitationChain chain{host, http, s_after->BaseAddress()};
    std::unique_ptr<SessionFile> session;
  };

  static inline ServedCorpus* s_before = nullptr;
  static inline ServedCorpus* s_after = nullptr;
  test::TempDir dir;
  const std::string path = dir.Path("refresh.wendrel");
  ScriptedCaption caption;
};

TEST_F(RefreshSessionTest, MarksExactlyTheNewArticlesReportsTheUnlistedAndKeepsDecisions) {
  GrowFirstRun();
  Later later(path);
  MASCitationChain& chain = later.chain;
  std::unique_ptr<SessionFile>& session = later.session;
  const int32_t first = chain.FindIndex("1000", "", ""), second = chain.FindIndex("2000", "", "");

  const SessionRefresh refresh = RefreshSession(chain, *session, caption);
  EXPECT_EQ(refresh.run, 2);
  EXPECT_TRUE(refresh.complete);
  ASSERT_EQ(refresh.pearls.size(), 2u);
  EXPECT_EQ(PKs(chain, refresh.added), (std::set<std::string>{"15", "16", "17"}));
  EXPECT_EQ(NewPKs(chain), (std::set<std::string>{"15", "16", "17"}));
  EXPECT_EQ(PKs(chain, refresh.unlisted), std::set<std::string>{"14"});
  EXPECT_EQ(PKs(chain, refresh.pearls[0].unlisted), std::set<std::string>{"14"});
  EXPECT_TRUE(refresh.pearls[1].unlisted.empty());
  EXPECT_EQ(refresh.pearls[0].citationsBefore, 5);
  EXPECT_EQ(refresh.pearls[0].citationsNow, 7);
  EXPECT_FALSE(refresh.pearls[1].CountsChanged());
  const std::string summary = RefreshSummary(chain, refresh);
  EXPECT_EQ(summary.substr(0, summary.find('\n')), "3 new articles, 1 no longer listed, from 2 pearls");
  EXPECT_NE(summary.find("counts changed: 1000 "), std::string::npos) << summary;
  EXPECT_NE(summary.find("no longer listed by pearl 1000: 14 "), std::string::npos) << summary;

  // Counted once per pearl as a fresh growth counts them; the unlisted article keeps its relation.
  ScriptedHost freshHost;
  RecordingHttpClient freshHttp;
  MASCitationChain fresh(freshHost, freshHttp, s_after->BaseAddress());
  AddPearl(fresh, "1000");
  AddPearl(fresh, "2000");
  for (int32_t i = 1; i <= fresh.Count(); ++i) {
    const CCRecord expected = fresh.GetRecord(i);
    const CCRecord actual = chain.GetRecord(chain.FindIndex(expected.PK, "", ""));
    EXPECT_EQ(std::tie(expected.CitedByPearls, expected.CitesPearls), std::tie(actual.CitedByPearls, actual.CitesPearls))
        << "article " << expected.PK;
  }
  const CCRecord unlisted = chain.GetRecord(chain.FindIndex("14", "", ""));
  EXPECT_TRUE(unlisted.IsCiting);
  EXPECT_EQ(unlisted.CitesPearls, 1);
  EXPECT_EQ(chain.GetRecord(first).CitationCount, 7);
  EXPECT_FALSE(chain.PartlyGrown(first) || chain.PartlyGrown(second));

  EXPECT_EQ(chain.Screenings().Of(chain.FindIndex("10", "", "")).verdict, Verdict::Included);
  EXPECT_EQ(chain.Screenings().Of(chain.FindIndex("14", "", "")).reason, "wrong outcome");
  const std::string csv = FormatExchange(chain, ExchangeList::New, ExchangeFormat::Csv);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4) << csv;
  EXPECT_EQ(session->WriteError(), "");
  session.reset();

  // Reopened: the run log, each fetch's run and the new marks come back.
  ScriptedHost offlineHost;
  test::FakeHttpClient offline;
  MASCitationChain reopened(offlineHost, offline, "http://127.0.0.1:1");
  auto again = SessionFile::Open(path);
  again->Restore(reopened);
  test::ExpectSameChain(chain, reopened);
  EXPECT_EQ(NewPKs(reopened), (std::set<std::string>{"15", "16", "17"}));
  const std::vector<RunEntry> runs = again->Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].kind, "grow");
  EXPECT_EQ(runs[1].kind, "refresh");
  EXPECT_EQ(runs[1].options, R"({"citing_limit":500})");
  std::map<int32_t, int> fetches;
  for (const FetchEntry& fetch : again->FetchLog()) ++fetches[fetch.run];
  EXPECT_EQ(fetches, (std::map<int32_t, int>{{1, 4}, {2, 4}}));
}

TEST_F(RefreshSessionTest, AStoppedRefreshReportsNothingAsUnlistedAndLeavesThePearlPartlyGrown) {
  GrowFirstRun();
  Later later(path);
  MASCitationChain& chain = later.chain;
  std::unique_ptr<SessionFile>& session = later.session;
  // Stopped after the references of the first pearl: its citing articles are not fetched again.
  int pages = 0;
  chain.SetEvents({.PageDone = [&](const PageProgress&) { ++pages; }, .StopRequested = [&] { return pages >= 1; }});
  const SessionRefresh refresh = RefreshSession(chain, *session, caption);
  EXPECT_FALSE(refresh.complete);
  ASSERT_EQ(refresh.pearls.size(), 1u);
  EXPECT_TRUE(refresh.unlisted.empty()) << "14 was not asked for again";
  EXPECT_TRUE(refresh.added.empty());
  EXPECT_TRUE(chain.PartlyGrown(chain.FindIndex("1000", "", "")));
  EXPECT_EQ(chain.GetRecord(chain.FindIndex("14", "", "")).CitesPearls, 1);
}

}  // namespace
}  // namespace wendrel
