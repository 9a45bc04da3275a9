// The session file against a chain grown from the local service: what it keeps survives reopening
// exactly, files that are no session this program can write are refused and left as they were, a
// second opener gets it read-only, and growth resumed from a stopped session gives what an
// uninterrupted growth gives.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "service_fixtures.h"
#include "session_fixture.h"

namespace wendrel {
namespace {

using test::AddPearl;
using test::ExpectSameChain;

class SessionFileTest : public test::SessionTest {};

TEST_F(SessionFileTest, KeepsEverythingThroughReopening) {
  const std::string path = dir.Path("search.wendrel");
  chain.SetLargeCitationLimit(200);
  {
    auto session = SessionFile::Create(path, chain, "corpus file test.sqlite");
    session->Attach(chain);
    session->Enqueue({"1002", "1004"}, 1);
    ASSERT_NE(AddPearl(chain, "1001"), 0);
    ASSERT_NE(AddPearl(chain, "1002"), 0);
    host.QueueAnswer(MessageResult::Yes);  // 1003: only the 200 most cited of its 352
    ASSERT_NE(AddPearl(chain, "1003"), 0);
    // 1004 from the queue, in its generation; 1002, grown already, leaves the queue.
    ASSERT_EQ(GrowOwed(chain, *session, caption), 1);
    ASSERT_TRUE(chain.Capped(chain.FindIndex("1003", "", "")));
    // A saved pearl the service no longer knows stays as the file held it, unresolved.
    test::WriteText(dir.Path("pearls.ris"), "TY  - JOUR\r\nAN  - MAS:999999\r\nTI  - Gone from the service\r\n"
                                            "AU  - Lost, Lee\r\nPY  - 1999\r\nER  - \r\n");
    int32_t citingAsked = 0;
    chain.ImportRIS(dir.Path("pearls.ris"), citingAsked, caption);
    ASSERT_TRUE(chain.Unresolved(chain.FindIndex("999999", "", "")));
    // The second pearl removed, an article deleted: both must come back as they are now.
    ASSERT_TRUE(chain.RemovePearl(chain.FindIndex("1002", "", "")));
    ASSERT_TRUE(chain.SuppressDoc(chain.FindIndex("150", "", "")));
    EXPECT_EQ(session->WriteError(), "");
    EXPECT_TRUE(session->Queue().empty()) << "growing a queued pearl takes it from the queue";

    // A second opener while the first holds the file: read-only, told why, and it sees all.
    auto second = SessionFile::Open(path);
    EXPECT_TRUE(second->ReadOnly());
    EXPECT_NE(second->ReadOnlyReason().find("open in another window or process"), std::string::npos)
        << second->ReadOnlyReason();
    Offline reader;
    second->Restore(reader.chain);
    second->Attach(reader.chain);
    reader.chain.RemovePearl(1);  // changes the reader's chain only
    second.reset();
  }
  EXPECT_FALSE(std::filesystem::exists(path + "-lock")) << "the holder removes its lock";

  Offline reopened;
  auto session = SessionFile::Open(path);
  EXPECT_FALSE(session->ReadOnly());
  session->Restore(reopened.chain);
  ExpectSameChain(chain, reopened.chain);
  EXPECT_EQ(reopened.chain.LargeCitationLimit(), 200);
  EXPECT_TRUE(reopened.chain.GetRecord(chain.FindIndex("150", "", "")).Suppressed);
  EXPECT_FALSE(reopened.chain.GetRecord(chain.FindIndex("1002", "", "")).IsPearl);

  // The fetch log and what the reports read from it.
  const int32_t third = chain.FindIndex("1003", "", ""), fourth = chain.FindIndex("1004", "", "");
  EXPECT_EQ(session->Generation(third), 0);
  EXPECT_EQ(session->Generation(fourth), 1) << "the generation it was queued with";
  const DirectionState citing = session->Direction(third, PearlRelation::Citing);
  EXPECT_EQ(CompletenessText(session->Direction(third, PearlRelation::Cited), citing),
            "references 0 of 0, citing 200 of 352 (capped)");
  EXPECT_EQ(CompleteColumnText(session->Direction(third, PearlRelation::Cited), citing), "200 of 352 citing");
  EXPECT_EQ(CompletenessText(session->Direction(1, PearlRelation::Cited), session->Direction(1, PearlRelation::Citing)),
            "references 231 of 231, citing 63 of 63");
  int keptFetches = 0;
  for (const FetchEntry& e : session->FetchLog()) {
    EXPECT_EQ(e.source, "corpus file test.sqlite");
    EXPECT_EQ(e.startedUtc.size(), 20u) << e.startedUtc;
    keptFetches += e.kept;
    if (e.pearl == third && e.relation == PearlRelation::Citing) {
      EXPECT_EQ(e.status, "capped");
      EXPECT_EQ(e.expected, 352) << "the count the service gave";
      EXPECT_EQ(e.request, "citing articles of 1003, the 200 most cited, 100 a page");
    }
  }
  EXPECT_EQ(keptFetches, 6) << "the removed pearl's fetches are no longer kept";
  int64_t tokens = 0;
  for (int32_t i = 1; i <= chain.Count(); ++i) {
    const CCRecord r = chain.GetRecord(i);
    tokens += r.CitedByPearls + r.CitesPearls;
  }
  EXPECT_EQ(session->RelationCount(), tokens);
  EXPECT_EQ(session->Info("created_by"), ProgramVersion());

  // Saved under another name, fetch log and all.
  const std::string savedAs = dir.Path("saved-as.wendrel");
  {
    auto copy = session->SaveAs(savedAs);
    EXPECT_EQ(copy->FetchLog().size(), session->FetchLog().size());
    EXPECT_EQ(copy->PearlCount(), 4);
    Offline fromSavedAs;
    copy->Restore(fromSavedAs.chain);
    ExpectSameChain(chain, fromSavedAs.chain);
  }

  // The same chain written whole into a new file reads back the same, with the marks OpenAlex gives
  // (the local service gives none, so two records carry them here).
  ChainState state;
  for (int32_t i = 1; i <= chain.Count(); ++i) {
    state.records.push_back(chain.GetRecord(i));
    if (chain.Unresolved(i)) state.unresolved.push_back(i);
    if (chain.PartlyGrown(i)) state.partlyGrown.push_back(i);
    if (const GrownPages* pages = chain.Grown(i)) state.grown[i] = *pages;
  }
  state.pearlOrder = chain.PearlOrder();
  state.records[0].Retracted = true;
  state.records[0].WorkType = "article";
  state.records[1].WorkType = "preprint";
  Offline marked;
  marked.chain.RestoreState(state);
  const std::string copy = dir.Path("copy.wendrel");
  {
    auto written = SessionFile::Create(copy, marked.chain);
    EXPECT_EQ(written->RelationCount(), tokens);
  }
  Offline fromCopy;
  SessionFile::Open(copy)->Restore(fromCopy.chain);
  ExpectSameChain(marked.chain, fromCopy.chain);
  EXPECT_TRUE(fromCopy.chain.GetRecord(1).Retracted);
  EXPECT_EQ(fromCopy.chain.GetRecord(2).WorkType, "preprint");
  EXPECT_THROW(SessionFile::Create(copy, chain), SessionError) << "an existing file is never replaced";
}

TEST_F(SessionFileTest, RefusesWhatItCannotOpenAndLeavesItAsItWas) {
  // A session of a newer schema, a corpus file, a text file, a cut-off session and an empty file.
  const std::string good = dir.Path("good.wendrel");
  {
    auto session = SessionFile::Create(good, chain);
    session->Attach(chain);
    ASSERT_NE(AddPearl(chain, "1001"), 0);
  }
  const std::string newer = dir.Path("newer.wendrel");
  std::filesystem::copy_file(good, newer);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(newer.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 3", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  const std::string truncated = dir.Path("truncated.wendrel");
  std::string bytes = test::ReadBytes(good);
  ASSERT_GT(bytes.size(), 8192u);
  test::WriteText(truncated, bytes.substr(0, bytes.size() / 2));
  const std::string text = dir.Path("notes.wendrel");
  test::WriteText(text, "TY  - JOUR\r\nTI  - Not a session\r\nER  - \r\n");
  const std::string empty = dir.Path("empty.wendrel");
  test::WriteText(empty, "");
  const std::string corpus = test::BuildCorpus(dir, "corpus", test::kSmallCorpus);

  const std::pair<std::string, std::string> cases[] = {
      {newer, "was written by a newer version of the program (session format 3; this one reads up to 2)"},
      {corpus, "is a corpus file of the local search service, not a session file"},
      {text, "is not a session file (not an SQLite database)"},
      {truncated, "is damaged"},
      {empty, "is empty: it is not a session file"},
      {dir.Path("missing.wendrel"), "does not exist"},
  };
  for (const auto& [path, message] : cases) {
    SCOPED_TRACE(path);
    const std::string before = test::ReadBytes(path);
    try {
      SessionFile::Open(path);
      ADD_FAILURE() << "opened";
    } catch (const SessionError& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
    EXPECT_TRUE(test::ReadBytes(path) == before) << "the file changed";
    EXPECT_FALSE(std::filesystem::exists(path + "-lock"));
    if (!std::filesystem::exists(path)) continue;
    EXPECT_THROW(SessionFile::Create(path, chain), SessionError);
    EXPECT_TRUE(test::ReadBytes(path) == before) << "the file changed";
  }
}

// Stopped after each number of pages in turn and then resumed from the file, the session ends as
// an uninterrupted growth of the same pearls does, counting every relation once.
TEST_F(SessionFileTest, ResumingAStoppedSessionGivesTheUninterruptedCounts) {
  const std::vector<std::string> pearls = {"1001", "1003", "1004", "1002"};
  MASCitationChain oracle{host, http, s_corpus->BaseAddress()};
  {
    auto session = SessionFile::Create(dir.Path("oracle.wendrel"), oracle);
    session->Attach(oracle);
    session->Enqueue(pearls);
    EXPECT_EQ(GrowOwed(oracle, *session, caption), 4);
  }
  // 1001: 3 + 1 pages, 1003: 4 citing, 1004: 1 + 1, 1002: 1 + 1.
  for (int32_t stopAfter = 0; stopAfter < 12; ++stopAfter) {
    SCOPED_TRACE("stopped after page " + std::to_string(stopAfter));
    const std::string path = dir.Path("stopped-" + std::to_string(stopAfter) + ".wendrel");
    {
      MASCitationChain first{host, http, s_corpus->BaseAddress()};
      auto session = SessionFile::Create(path, first);
      session->Attach(first);
      session->Enqueue(pearls);
      int32_t pages = 0;
      first.SetEvents({.PageDone = [&](const PageProgress&) { ++pages; },
                       .StopRequested = [&] { return pages >= stopAfter; }});
      GrowOwed(first, *session, caption);
      ASSERT_TRUE(first.Interrupted());
    }
    const size_t requestsBefore = http.Addresses().size();
    MASCitationChain resumed{host, http, s_corpus->BaseAddress()};
    auto session = SessionFile::Open(path);
    session->Restore(resumed);
    session->Attach(resumed);
    GrowOwed(resumed, *session, caption);
    EXPECT_TRUE(session->Queue().empty());
    ExpectSameChain(oracle, resumed, false);
    // Every page is fetched once over both runs.
    const std::vector<std::string> asked(http.Addresses().begin() + static_cast<std::ptrdiff_t>(requestsBefore),
                                         http.Addresses().end());
    EXPECT_EQ(test::Requests(asked, "Reference").size() + test::Requests(asked, "Citation").size(),
              static_cast<size_t>(12 - stopAfter));
  }
}

TEST_F(SessionFileTest, ACappedListGrownUnderAHigherLimitFetchesOnlyThePagesBeyond) {
  MASCitationChain uncapped{host, http, s_corpus->BaseAddress()};
  ASSERT_NE(AddPearl(uncapped, "1003"), 0);
  const std::string path = dir.Path("capped.wendrel");
  {
    chain.SetLargeCitationLimit(150);
    auto session = SessionFile::Create(path, chain);
    session->Attach(chain);
    host.QueueAnswer(MessageResult::Yes);
    const int32_t pearl = AddPearl(chain, "1003");
    ASSERT_TRUE(chain.Capped(pearl));
    EXPECT_EQ(chain.Grown(pearl)->citing, (std::map<int32_t, int32_t>{{1, 100}, {2, 50}}));
  }
  MASCitationChain reopened{host, http, s_corpus->BaseAddress()};
  auto session = SessionFile::Open(path);
  session->Restore(reopened);
  session->Attach(reopened);
  reopened.SetLargeCitationLimit(1000);
  const size_t before = http.Addresses().size();
  EXPECT_EQ(GrowOwed(reopened, *session, caption), 1);
  const std::vector<std::string> asked(http.Addresses().begin() + static_cast<std::ptrdiff_t>(before),
                                       http.Addresses().end());
  const auto citing = test::Requests(asked, "Citation");
  ASSERT_EQ(citing.size(), 3u) << "the half page and the two beyond it";
  EXPECT_EQ(citing[0].at("StartIdx"), "101");
  EXPECT_EQ(citing[2].at("StartIdx"), "301");
  EXPECT_FALSE(reopened.Capped(1));
  ExpectSameChain(uncapped, reopened, false);
  EXPECT_EQ(CompleteColumnText(session->Direction(1, PearlRelation::Cited), session->Direction(1, PearlRelation::Citing)),
            "yes");
}

}  // namespace
}  // namespace wendrel
