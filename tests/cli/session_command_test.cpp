// The command line's session files: grown into and reported on, exported and mapped with no service
// running, a capped growth resumed under a higher limit, and files that are no session refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/export_command.h"
#include "cli/grow_command.h"
#include "cli/session_chain.h"
#include "cli/session_command.h"
#include "corpus/corpus_import.h"
#include "corpus/search_service.h"
#include "service_fixtures.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace wendrel {
namespace {

// Three topics, so that the map has something to join.
const char* const kTopics[] = {"graphene lattice carbon membranes", "protein folding kinetics chaperones",
                               "citation network growth pearls"};

nlohmann::json Publication(int64_t id, const std::string& title, std::vector<int64_t> references = {}) {
  return {{"id", id},
          {"title", title},
          {"year", 2001},
          {"abstract", kTopics[id % 3]},
          {"authors", {{{"last", "Berg"}, {"first", "Ole"}}}},
          {"references", references}};
}

class SessionCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new test::TempDir();
    // Pearl 20 cites 10 and 11 and is cited by 22; pearl 30 is cited by 41 articles, 22 among them.
    std::string lines;
    for (const nlohmann::json& p : {Publication(10, "Shared reference"), Publication(11, "Only X cites this"),
                                    Publication(20, "Pearl X", {10, 11}), Publication(22, "Cites X and Y", {20, 30}),
                                    Publication(30, "Much cited pearl")})
      lines += p.dump() + "\n";
    for (int64_t id = 100; id <= 139; ++id) lines += Publication(id, "Citing article " + std::to_string(id), {30}).dump() + "\n";
    test::BuildCorpus(*s_dir, "corpus", lines);
    // Later 22 no longer cites 20, and 40, 41 and 42 do.
    std::string later;
    for (const nlohmann::json& p : {Publication(10, "Shared reference"), Publication(11, "Only X cites this"),
                                    Publication(20, "Pearl X", {10, 11}), Publication(22, "Cites X and Y", {30}),
                                    Publication(30, "Much cited pearl"), Publication(40, "New A", {20}),
                                    Publication(41, "New B", {20}), Publication(42, "New C", {20})})
      later += p.dump() + "\n";
    test::BuildCorpus(*s_dir, "later", later);
  }
  static void TearDownTestSuite() { delete s_dir; }

  int Grow(std::vector<std::string> args, const std::string& corpus = "corpus") {
    SearchService service(s_dir->Path(corpus + ".sqlite"));
    service.Start();
    args.insert(args.begin(), {"--service", service.BaseAddress()});
    std::istringstream in;
    Clear();
    return RunGrow(args, in, false, out, err, false);
  }
  int Run(int (*command)(const std::vector<std::string>&, std::ostream&, std::ostream&),
          const std::vector<std::string>& args) {
    Clear();
    return command(args, out, err);
  }
  void Clear() {
    out.str("");
    err.str("");
  }
  std::string Path(const std::string& name) const { return dir.Path(name); }

  // Each article's relation counts, by publication ID.
  static std::map<std::string, std::pair<int, int>> Counts(const std::string& session) {
    SessionChain held(session);
    std::map<std::string, std::pair<int, int>> counts;
    for (int32_t i = 1; i <= held.Chain().Count(); ++i) {
      const CCRecord r = held.Chain().GetRecord(i);
      counts[r.PK] = {r.CitedByPearls, r.CitesPearls};
    }
    return counts;
  }

  static inline test::TempDir* s_dir = nullptr;
  test::TempDir dir;
  std::ostringstream out, err;
};

TEST_F(SessionCommand, GrownSessionIsReportedExportedAndMappedWithoutTheService) {
  const std::string session = Path("search.wendrel");
  ASSERT_EQ(Grow({"--session", session, "--pearl", "20", "30", "--max-citing", "20", "--out", Path("run")}), 0)
      << err.str();
  ASSERT_EQ(Run(RunSession, {"info", session}), 0) << err.str();
  const std::string info = out.str();
  EXPECT_NE(info.find("  1. 20  Berg, Ole (2001) Pearl X\n     generation 0, references 2 of 2, citing 1 of 1\n"),
            std::string::npos)
      << info;
  EXPECT_NE(info.find("  2. 30  Berg, Ole (2001) Much cited pearl\n"
                      "     generation 0, references 0 of 0, citing 20 of 41 (capped)\n"),
            std::string::npos)
      << info;
  EXPECT_NE(info.find("Sources:\n  search service at http://127.0.0.1:"), std::string::npos) << info;
  EXPECT_NE(info.find("Articles: 24, relations: 23\n"), std::string::npos) << info;

  // Exported from the folder while the service runs, and from the session with none running.
  std::string fromFolder[3];
  const char* const lists[] = {"pearls", "cited", "citing"};
  {
    SearchService service(s_dir->Path("corpus.sqlite"));
    service.Start();
    for (int k = 0; k < 3; ++k) {
      ASSERT_EQ(Run(RunExport, {"--grow-dir", Path("run"), "--service", service.BaseAddress(), "--max-citing", "20",
                                "--list", lists[k], "--format", "csv", "--out", Path("folder.csv")}),
                0)
          << err.str();
      fromFolder[k] = test::ReadFile(Path("folder.csv"));
    }
  }
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(lists[k]);
    ASSERT_EQ(Run(RunExport, {"--session", session, "--list", lists[k], "--format", "csv", "--out", Path("s.csv")}), 0)
        << err.str();
    EXPECT_EQ(test::ReadFile(Path("s.csv")), fromFolder[k]);
  }
  // By decision: nothing is screened yet, so every article is undecided and none included.
  ASSERT_EQ(Run(RunExport, {"--session", session, "--list", "citing", "--decision", "Undecided", "--format", "csv",
                            "--out", Path("undecided.csv")}),
            0)
      << err.str();
  EXPECT_EQ(test::ReadFile(Path("undecided.csv")), fromFolder[2]);
  ASSERT_EQ(Run(RunExport, {"--session", session, "--decision", "included", "--format", "ris", "--out", Path("in.ris")}), 0);
  EXPECT_EQ(out.str(), "Wrote 0 articles to " + Path("in.ris") + "\n");
  EXPECT_EQ(Run(RunExport, {"--session", session, "--decision", "kept", "--format", "ris", "--out", Path("kept.ris")}), 2);
  EXPECT_NE(err.str().find("--decision takes included, excluded, maybe or undecided"), std::string::npos) << err.str();
  EXPECT_FALSE(std::filesystem::exists(Path("kept.ris")));
  // The map runs as the program (it reads its word list beside it).
  auto map = [&](const std::string& from, const std::string& name) {
    const std::string command = "'" + std::string(WENDREL_EXE) + "' map " + from + " --dot '" + Path(name + ".dot") +
                                "' >'" + Path(name + ".txt") + "' 2>'" + Path("err.txt") + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << test::ReadFile(Path("err.txt"));
    return test::ReadFile(Path(name + ".txt")) + test::ReadFile(Path(name + ".dot"));
  };
  const std::string mapped = map("--session '" + session + "'", "session");
  EXPECT_EQ(mapped.rfind("nodes: 24, ", 0), 0u) << mapped;
  EXPECT_EQ(mapped, map("--grow-dir '" + Path("run") + "'", "folder"));
}

TEST_F(SessionCommand, ACappedGrowthResumedUnderAHigherLimitGivesTheUncappedCounts) {
  ASSERT_EQ(Grow({"--session", Path("whole.wendrel"), "--pearl", "30", "20", "--max-citing", "100"}), 0) << err.str();
  ASSERT_EQ(Grow({"--session", Path("capped.wendrel"), "--pearl", "30", "20", "--max-citing", "10"}), 0) << err.str();
  EXPECT_NE(Counts(Path("capped.wendrel")), Counts(Path("whole.wendrel")));
  ASSERT_EQ(Grow({"--session", Path("capped.wendrel"), "--resume", "--max-citing", "100"}), 0) << err.str();
  EXPECT_EQ(err.str(),
            "pearl 1 of 1, cited page 0 of 0\n"
            "pearl 1 of 1, citing page 0 of 1\n"
            "pearl 1 of 1, citing page 1 of 1\n")
      << "only 30 was capped; its first page is fetched again for the articles beyond the ten it has";
  EXPECT_EQ(Counts(Path("capped.wendrel")), Counts(Path("whole.wendrel")));
  ASSERT_EQ(Run(RunSession, {"info", Path("capped.wendrel")}), 0) << err.str();
  EXPECT_NE(out.str().find("references 0 of 0, citing 41 of 41\n"), std::string::npos) << out.str();
  // Nothing is owed any more: resuming again grows nothing and changes nothing.
  ASSERT_EQ(Grow({"--session", Path("capped.wendrel"), "--resume"}), 0) << err.str();
  EXPECT_EQ(Counts(Path("capped.wendrel")), Counts(Path("whole.wendrel")));
}

// Pearl 20 grown; 22 (citing it) included and promoted brings 30; then 11 (which it cites), promoted
// as the generation after, brings nothing new, and the report says so.
TEST_F(SessionCommand, IncludedArticlesAreGrownAsTheNextGenerationUntilNothingNewComes) {
  const std::string session = Path("rounds.wendrel");
  ASSERT_EQ(Grow({"--session", session, "--pearl", "20"}), 0) << err.str();
  ASSERT_EQ(Grow({"--session", session, "--promote-included"}), 0) << err.str();
  EXPECT_EQ(err.str(), "wendrel grow: no included article is waiting to be grown\n");
  auto screen = [&](const std::string& pk, Verdict verdict, const std::string& reason = "") {
    SessionChain held(session);
    held.Session().Attach(held.Chain());
    held.Chain().Screenings().Decide(held.Chain().FindIndex(pk, "", ""), verdict, reason);
  };
  screen("22", Verdict::Included);
  screen("10", Verdict::Excluded, "wrong outcome");
  ASSERT_EQ(Grow({"--session", session, "--promote-included"}), 0) << err.str();
  EXPECT_EQ(Counts(session).count("30"), 1u) << "22 cites 30";
  screen("11", Verdict::Included);
  ASSERT_EQ(Grow({"--session", session, "--promote-included"}), 0) << err.str();

  ASSERT_EQ(Run(RunSession, {"info", session}), 0) << err.str();
  const std::string info = out.str();
  EXPECT_NE(info.find("  2. 22  Berg, Ole (2001) Cites X and Y\n     generation 1, "), std::string::npos) << info;
  EXPECT_NE(info.find("  3. 11  Berg, Ole (2001) Only X cites this\n     generation 2, "), std::string::npos) << info;
  EXPECT_NE(info.find("Articles: 5, relations: 6\n"
                      "Decisions: 2 included, 1 excluded, 0 maybe, 2 undecided; 0 known\n"
                      "  excluded, wrong outcome: 1\n"
                      "Generations:\n"
                      "  generation 0: 4 new articles, 2 included\n"
                      "  generation 1: 1 new article, 0 included\n"
                      "  generation 2: 0 new articles, 0 included\n"
                      "  generation 2 brought nothing new: the chain has stopped growing\n"),
            std::string::npos)
      << info;
}

// Grown again from the later corpus: the summary, the decisions kept, and only the new articles
// exported; a list of new articles needs a session that was refreshed.
TEST_F(SessionCommand, ARefreshShowsAndExportsOnlyWhatIsNew) {
  const std::string session = Path("refreshed.wendrel");
  ASSERT_EQ(Grow({"--session", session, "--pearl", "20"}), 0) << err.str();
  EXPECT_EQ(Run(RunExport, {"--session", session, "--list", "new", "--format", "csv", "--out", Path("new.csv")}), 1);
  EXPECT_NE(err.str().find("has not been refreshed"), std::string::npos) << err.str();
  EXPECT_FALSE(std::filesystem::exists(Path("new.csv")));
  {
    SessionChain held(session);
    held.Session().Attach(held.Chain());
    held.Chain().Screenings().Decide(held.Chain().FindIndex("22", "", ""), Verdict::Excluded, "wrong outcome");
  }

  // A service that does not answer: said so, with nothing of the session lost.
  std::string stopped;
  {
    SearchService service(s_dir->Path("later.sqlite"));
    service.Start();
    stopped = service.BaseAddress();
  }
  Clear();
  std::istringstream in;
  EXPECT_EQ(RunGrow({"--service", stopped, "--session", session, "--refresh"}, in, false, out, err, false), 1);
  EXPECT_EQ(out.str(), "0 new articles, 0 no longer listed, from 0 pearls\n"
                       "could not be grown again: 20 Berg, Ole (2001) Pearl X\n");
  EXPECT_NE(err.str().find("did not grow every pearl again (a request to the service at " + stopped + " failed"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(Counts(session).size(), 4u);

  ASSERT_EQ(Grow({"--session", session, "--refresh"}, "later"), 0) << err.str();
  EXPECT_EQ(out.str(),
            "3 new articles, 1 no longer listed, from 1 pearl\n"
            "counts changed: 20 Berg, Ole (2001) Pearl X: references 2 -> 2, citations 1 -> 3\n"
            "no longer listed by pearl 20: 22 Berg, Ole (2001) Cites X and Y\n");
  {
    SessionChain held(session);
    EXPECT_EQ(held.Chain().Screenings().Of(held.Chain().FindIndex("22", "", "")).reason, "wrong outcome");
  }
  ASSERT_EQ(Run(RunExport, {"--session", session, "--list", "new", "--format", "csv", "--out", Path("new.csv")}), 0)
      << err.str();
  EXPECT_EQ(out.str(), "Wrote 3 articles to " + Path("new.csv") + "\n");
  const std::string csv = test::ReadFile(Path("new.csv"));
  for (const char* title : {"New A", "New B", "New C"}) EXPECT_NE(csv.find(title), std::string::npos) << csv;

  EXPECT_EQ(Run(RunExport, {"--grow-dir", Path("run"), "--list", "new", "--format", "csv", "--out", Path("x.csv")}), 2);
  EXPECT_NE(err.str().find("--list new needs --session"), std::string::npos) << err.str();
  EXPECT_EQ(Grow({"--session", Path("none.wendrel"), "--refresh"}), 1);
  EXPECT_FALSE(std::filesystem::exists(Path("none.wendrel")));
  EXPECT_EQ(Grow({"--session", session, "--refresh", "--resume"}), 2);
}

TEST_F(SessionCommand, FilesThatAreNoSessionAreRefusedWithTheReason) {
  std::ofstream(Path("notes.wendrel")) << "TY  - JOUR\r\nER  - \r\n";
  const std::pair<std::string, std::string> cases[] = {
      {s_dir->Path("corpus.sqlite"), "is a corpus file of the local search service, not a session file"},
      {Path("notes.wendrel"), "is not a session file (not an SQLite database)"},
  };
  for (const auto& [path, reason] : cases) {
    SCOPED_TRACE(path);
    const std::string before = test::ReadFile(path);
    EXPECT_EQ(Run(RunSession, {"info", path}), 1);
    EXPECT_NE(err.str().find(reason), std::string::npos) << err.str();
    EXPECT_EQ(Grow({"--session", path, "--pearl", "20"}), 1) << "never grown into";
    EXPECT_NE(err.str().find(reason), std::string::npos) << err.str();
    EXPECT_EQ(test::ReadFile(path), before);
  }
}

}  // namespace
}  // namespace wendrel
