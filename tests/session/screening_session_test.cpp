// Screening kept in the session file: every change written at once and read back equal with its
// history, a read-only opener that changes only its memory, a file of the first format read as it
// is and migrated with all it held, and the generations of a growth and of promoted pearls.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "service_fixtures.h"
#include "session/session_schema.h"
#include "session_fixture.h"

namespace wendrel {
namespace {

using test::AddPearl;
using test::ExpectSameBook;
using test::ExpectSameChain;

// The first value the query gives, as text.
std::string Query(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string value;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
      value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return value;
}

class ScreeningSessionTest : public test::SessionTest {
 protected:
  int32_t Index(const std::string& pk) const { return chain.FindIndex(pk, "", ""); }
};

TEST_F(ScreeningSessionTest, EveryChangeIsWrittenAtOnceAndReadBackEqual) {
  const std::string path = dir.Path("screened.wendrel");
  auto session = SessionFile::Create(path, chain);
  session->Attach(chain);
  ASSERT_NE(AddPearl(chain, "1001"), 0);
  ScreeningBook& book = chain.Screenings();
  const int32_t a = Index("10"), b = Index("20"), c = Index("1004"), d = Index("30");
  book.Decide(a, Verdict::Excluded, "wrong outcome", "2026-12-07T10:00:00Z");
  book.Decide(a, Verdict::Included, "", "2026-12-07T10:05:00Z");
  book.Decide(b, Verdict::Excluded, "not a trial", "2026-12-07T10:01:00Z");
  book.Decide(c, Verdict::Maybe);
  book.SetLabels(a, {"rct", "adults", "caf\xc3\xa9"});
  book.SetNote(b, "line one\nline two; \"quoted\"");
  book.SetKnown(c, true);
  book.SetReasons({"wrong population", "not a trial"});
  // Undone: its row goes, its history stays.
  book.Decide(d, Verdict::Maybe);
  book.Decide(d, Verdict::Undecided);
  ASSERT_EQ(session->WriteError(), "");
  EXPECT_EQ(Query(path, "SELECT count(*) FROM screening"), "3");
  EXPECT_EQ(Query(path, "SELECT count(*) FROM decision"), "6");

  {
    // A second opener gets it read-only: it sees everything, and what it changes stays in memory.
    Offline reader;
    auto second = SessionFile::Open(path);
    ASSERT_TRUE(second->ReadOnly());
    second->Restore(reader.chain);
    ExpectSameBook(book, reader.chain.Screenings());
    second->Attach(reader.chain);
    reader.chain.Screenings().Decide(a, Verdict::Excluded);
    reader.chain.Screenings().SetReasons({"other"});
    EXPECT_EQ(reader.chain.Screenings().Of(a).verdict, Verdict::Excluded);
  }
  session.reset();
  // Closed: the book no longer writes (nor calls into a file that is gone).
  book.SetNote(a, "after closing");
  book.SetNote(a, "");

  Offline reopened;
  auto again = SessionFile::Open(path);
  again->Restore(reopened.chain);
  ExpectSameChain(chain, reopened.chain);
  EXPECT_EQ(reopened.chain.Screenings().LastReason(), "not a trial");
  EXPECT_EQ(reopened.chain.Screenings().History()[1].utc, "2026-12-07T10:05:00Z");

  // Saved under another name, and the chain written whole into a new file: both keep it all.
  Offline fromCopy, fromWhole;
  again->SaveAs(dir.Path("copy.wendrel"))->Restore(fromCopy.chain);
  ExpectSameBook(reopened.chain.Screenings(), fromCopy.chain.Screenings());
  SessionFile::Create(dir.Path("whole.wendrel"), reopened.chain)->Restore(fromWhole.chain);
  ExpectSameChain(reopened.chain, fromWhole.chain);

  // A byte that is no UTF-8 in a label is replaced rather than ending the writing.
  again->Attach(reopened.chain);
  reopened.chain.Screenings().SetLabels(a, {"bad \xff byte"});
  EXPECT_EQ(again->WriteError(), "");
  EXPECT_EQ(Query(path, "SELECT labels FROM screening WHERE article = " + std::to_string(a)),
            "[\"bad \xef\xbf\xbd byte\"]");
}

TEST_F(ScreeningSessionTest, ABatchOfChangesReachesTheFileTogetherWhenTheOutermostEnds) {
  const std::string path = dir.Path("batch.wendrel");
  auto session = SessionFile::Create(path, chain);
  session->Attach(chain);
  ASSERT_NE(AddPearl(chain, "1001"), 0);
  ScreeningBook& book = chain.Screenings();
  {
    SessionFile::Batch batch(*session);
    {
      SessionFile::Batch inner(*session);
      for (int32_t i = 1; i <= chain.Count(); ++i) book.SetKnown(i, true);
    }
    EXPECT_EQ(Query(path, "SELECT count(*) FROM screening"), "0") << "committed only by the outermost";
  }
  EXPECT_EQ(Query(path, "SELECT count(*) FROM screening"), std::to_string(chain.Count()));
  book.SetKnown(1, false);
  EXPECT_EQ(Query(path, "SELECT count(*) FROM screening"), std::to_string(chain.Count() - 1));
  EXPECT_EQ(session->WriteError(), "");
}

// A session written by the first format: seed 1 and pearl 2 (generation 1, which seed 1 cites), and
// articles 3 (cited by 1), 4 (by 2), 5 (by both) and 6 (by a pearl since removed).
void WriteFirstFormat(const std::string& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string sql = "PRAGMA application_id = " + std::to_string(kSessionApplicationId) + "; PRAGMA user_version = 1;";
  sql += kSessionTables;
  sql += "INSERT INTO session_info VALUES('format', 'wendrel-session'), ('created_utc', '2026-11-02T09:00:00Z'),"
         "('changed_utc', '2026-11-02T09:30:00Z'), ('created_by', '0.2.0'), ('written_by', '0.2.0'),"
         "('citing_limit', '300');";
  const char* cited[] = {"", ";1;", "", ";1;", ";2;", ";1;;2;", ""};
  for (int id = 1; id <= 6; ++id) {
    const std::string list = cited[id];
    const int count = static_cast<int>(list.size()) / 3;
    sql += "INSERT INTO article VALUES(" + std::to_string(id) + ", '" + std::to_string(id) +
           "', '', 3, 2, 'Journal', '2001', 'Article " + std::to_string(id) + "', '', 'Berg, Ole', '', '', '', '', '', " +
           std::to_string(count > 0) + ", " + std::to_string(count) + ", 0, '" + list + "', 0, 0, 0, '', " +
           std::to_string(id <= 2) + ", 0, 0, 0, '');";
  }
  sql += "INSERT INTO pearl VALUES(1, 1, 0, 0, -1), (2, 2, 1, 0, -1);"
         "INSERT INTO relation VALUES(1, 'references', 2, NULL), (1, 'references', 3, NULL),"
         "(1, 'references', 5, NULL), (2, 'references', 4, NULL), (2, 'references', 5, NULL);";
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

TEST_F(ScreeningSessionTest, AFileOfTheFirstFormatIsReadAsItIsAndMigratedKeepingAllItHeld) {
  const std::string path = dir.Path("first.wendrel");
  WriteFirstFormat(path);
  const std::string before = test::ReadBytes(path);
  const std::vector<int32_t> generations = {0, 0, 0, 1, 0, -1};

  Offline asItIs;
  {
    // Held by another process: read as it is, written never.
    const int held = open((path + "-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    auto session = SessionFile::Open(path);
    EXPECT_TRUE(session->ReadOnly());
    EXPECT_EQ(session->SchemaVersion(), 1);
    session->Restore(asItIs.chain);
    session->Attach(asItIs.chain);
    asItIs.chain.Screenings().Decide(3, Verdict::Included);
    asItIs.chain.Screenings().Decide(3, Verdict::Undecided);
    session.reset();
    close(held);
    std::filesystem::remove(path + "-lock");
  }
  EXPECT_TRUE(test::ReadBytes(path) == before) << "a file read as it is stays as it was";
  for (int32_t i = 1; i <= 6; ++i)
    EXPECT_EQ(asItIs.chain.Screenings().Of(i).generation, generations[static_cast<size_t>(i) - 1]) << "article " << i;
  EXPECT_EQ(asItIs.chain.Screenings().PearlGeneration(2), 1);

  {
    Offline migrated;
    auto session = SessionFile::Open(path);
    EXPECT_FALSE(session->ReadOnly());
    EXPECT_EQ(session->SchemaVersion(), kSessionSchemaVersion);
    EXPECT_EQ(session->Info("written_by"), ProgramVersion());
    EXPECT_EQ(session->Info("created_by"), "0.2.0");
    session->Restore(migrated.chain);
    // The read-only session's decisions were kept in its memory only.
    asItIs.chain.Screenings().Restore(asItIs.chain.Screenings().All(), {}, {}, {{1, 0}, {2, 1}});
    ExpectSameChain(asItIs.chain, migrated.chain);
    EXPECT_EQ(migrated.chain.LargeCitationLimit(), 300);
    EXPECT_EQ(migrated.chain.Screenings().Reasons(), DefaultExclusionReasons());
    session->Attach(migrated.chain);
    migrated.chain.Screenings().Decide(4, Verdict::Excluded, "wrong outcome");
    // A generation set by itself waits for the next change, or for the session to close.
    migrated.chain.Screenings().SetGeneration(6, 2);
    EXPECT_EQ(session->WriteError(), "");
  }
  EXPECT_EQ(Query(path, "PRAGMA user_version"), "2");
  // Everything grown before is the first run of the run log.
  EXPECT_EQ(Query(path, "SELECT group_concat(id || ' ' || kind || ' ' || started_utc) FROM run"), "1 grow 2026-11-02T09:00:00Z");
  EXPECT_EQ(Query(path, "SELECT count(*) FROM article WHERE first_run = 1"), "6");
  // Opened again: migrated once, holding the decision.
  Offline reopened;
  auto session = SessionFile::Open(path);
  session->Restore(reopened.chain);
  EXPECT_EQ(reopened.chain.Screenings().Of(4).reason, "wrong outcome");
  EXPECT_EQ(reopened.chain.Screenings().Of(6).generation, 2);
}

// Seed 1001 grown, two candidates included and promoted: they are pearls of generation 1, what
// their growth brings new is of generation 1, and the yields say so, before and after reopening.
TEST_F(ScreeningSessionTest, IncludedArticlesGrowAsTheNextGeneration) {
  const std::string path = dir.Path("generations.wendrel");
  auto session = SessionFile::Create(path, chain);
  session->Attach(chain);
  session->Enqueue({"1001"});
  ASSERT_EQ(GrowOwed(chain, *session, caption), 1);
  const int32_t seedArticles = chain.Count();
  ScreeningBook& book = chain.Screenings();
  for (int32_t i = 1; i <= seedArticles; ++i) ASSERT_EQ(book.Of(i).generation, 0) << "article " << i;

  const int32_t seed = Index("1001"), first = Index("1004"), second = Index("10");
  book.Decide(first, Verdict::Included);
  book.Decide(second, Verdict::Included);
  book.Decide(seed, Verdict::Included);  // a pearl already
  book.Decide(Index("20"), Verdict::Excluded);
  EXPECT_EQ(PromoteIncluded(chain, *session), 2);
  EXPECT_EQ(PromoteIncluded(chain, *session), 0) << "queued already";
  ASSERT_EQ(session->Queue().size(), 2u);
  EXPECT_EQ(session->Queue()[0].generation, 1);
  EXPECT_EQ(GrowOwed(chain, *session, caption), 2);

  EXPECT_EQ(session->Generation(first), 1);
  EXPECT_EQ(book.PearlGeneration(second), 1);
  EXPECT_EQ(book.Of(first).generation, 0) << "it first appeared with the seed";
  ASSERT_GT(chain.Count(), seedArticles) << "1004 cites 1002 and 1003";
  for (int32_t i = seedArticles + 1; i <= chain.Count(); ++i) EXPECT_EQ(book.Of(i).generation, 1) << "article " << i;
  book.Decide(Index("1003"), Verdict::Included);
  std::vector<GenerationYield> yields = book.Yields();
  ASSERT_EQ(yields.size(), 2u);
  EXPECT_EQ(yields[0].articles, seedArticles);
  EXPECT_EQ(yields[0].included, 3);
  EXPECT_EQ(yields[1].articles, chain.Count() - seedArticles);
  EXPECT_EQ(yields[1].included, 1);
  session.reset();

  Offline reopened;
  session = SessionFile::Open(path);
  session->Restore(reopened.chain);
  ExpectSameChain(chain, reopened.chain);
  EXPECT_EQ(reopened.chain.Screenings().PearlGeneration(first), 1);
  EXPECT_EQ(PromoteIncluded(reopened.chain, *session), 1);
  EXPECT_EQ(session->Queue().at(0).generation, 2) << "the highest generation so far plus one";
}

}  // namespace
}  // namespace wendrel
