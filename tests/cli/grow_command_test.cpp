// `wendrel grow` against the local service over a small corpus: the lists written, the table of
// candidates, loading the saved Pearl List back, the exit codes and the answers of its host.
#include "cli/grow_command.h"

#include "cli/export_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "chain/chain_file_io.h"
#include "corpus/corpus_import.h"
#include "corpus/search_service.h"
#include "service_fixtures.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace wendrel {
namespace {

nlohmann::json Publication(int64_t id, const std::string& title, std::vector<int64_t> references = {}) {
  return {{"id", id},
          {"title", title},
          {"year", 2001},
          {"authors", {{{"last", "Berg"}, {"first", "Ole"}}}},
          {"references", references}};
}

class GrowCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new test::TempDir();
    // Pearls 20 and 21; 21 cites 20 (so a pearl is also in the other's lists), both cite 10.
    std::string lines;
    for (const nlohmann::json& p :
         {Publication(10, "Shared reference"), Publication(11, "Only X cites this"),
          Publication(12, "Only Y cites this"), Publication(20, "Pearl X", {10, 11}),
          Publication(21, "Pearl Y", {10, 12, 20}), Publication(22, "Cites X and Y", {20, 21}),
          Publication(23, "Cites X", {20}), Publication(24, "Cites X and the shared", {20, 10}),
          Publication(30, "Much cited pearl")})
      lines += p.dump() + "\n";
    // 41 articles cite pearl 30, and nothing else.
    for (int64_t id = 100; id <= 140; ++id) lines += Publication(id, "Citing article " + std::to_string(id), {30}).dump() + "\n";
    test::BuildCorpus(*s_dir, "corpus", lines);
  }
  static void TearDownTestSuite() { delete s_dir; }

  int Grow(std::vector<std::string> args) {
    SearchService service(s_dir->Path("corpus.sqlite"));
    service.Start();
    return GrowFrom(service.BaseAddress(), std::move(args));
  }
  int GrowFrom(const std::string& address, std::vector<std::string> args) {
    args.insert(args.begin(), {"--service", address});
    std::istringstream in;
    out.str("");
    err.str("");
    return RunGrow(args, in, false, out, err, false);
  }
  std::string Path(const std::string& name) const { return s_dir->Path(name); }
  std::string Read(const std::string& name) const { return test::ReadFile(Path(name)); }

  static inline test::TempDir* s_dir = nullptr;
  std::ostringstream out, err;
};

TEST_F(GrowCommand, WritesTheListsAndTheCandidates) {
  ASSERT_EQ(Grow({"--pearl", "20", "--pearl", "21", "--out", Path("run")}), 0) << err.str();
  // Related to the most pearls first, then the most cited, then in table order; pearls left out.
  EXPECT_EQ(out.str(),
            "Index\tPK\tCitedByPearls\tCitesPearls\tCitationCount\tYear\tFirstAuthor\tTitle\n"
            "2\t10\t2\t0\t3\t2001\tBerg, Ole\tShared reference\n"
            "5\t22\t0\t2\t0\t2001\tBerg, Ole\tCites X and Y\n"
            "3\t11\t1\t0\t1\t2001\tBerg, Ole\tOnly X cites this\n"
            "8\t12\t1\t0\t1\t2001\tBerg, Ole\tOnly Y cites this\n"
            "6\t23\t0\t1\t0\t2001\tBerg, Ole\tCites X\n"
            "7\t24\t0\t1\t0\t2001\tBerg, Ole\tCites X and the shared\n");
  auto records = [](const std::string& text) {
    size_t n = 0;
    for (size_t at = text.find("ER  - \r\n"); at != std::string::npos; at = text.find("ER  - \r\n", at + 1)) ++n;
    return n;
  };
  const std::string pearls = Read("run/pearls.ris");
  EXPECT_EQ(records(pearls), 2u);
  EXPECT_NE(pearls.find("TY  - GEN\r\nAN  - MAS:20\r\nAU  - Berg, Ole\r\nPY  - 2001\r\nTI  - Pearl X\r\nER  - \r\n"),
            std::string::npos);
  EXPECT_NE(pearls.find("AN  - MAS:21\r\n"), std::string::npos);
  EXPECT_EQ(records(Read("run/cited.ris")), 4u) << "10, 11, 12 and the pearl 20";
  EXPECT_EQ(records(Read("run/citing.ris")), 4u) << "21 to 24";
  EXPECT_EQ(Read("run/wos.txt").rfind("FN Thomson Reuters Web of Knowledge\r\n", 0), 0u);
  EXPECT_EQ(Read("run/events.txt"),
            "<EVENT type=\"ADD\" ut=\"20\" recid=\"\" author=\"Berg, Ole\" year=\"2001\"/>\r\n"
            "<EVENT type=\"ADD\" ut=\"21\" recid=\"\" author=\"Berg, Ole\" year=\"2001\"/>\r\n");
  EXPECT_NE(err.str().find("pearl 2 of 2, citing page 1 of 1\n"), std::string::npos) << err.str();

  // The saved Pearl List grows the same chain again.
  const std::string table = out.str();
  ASSERT_EQ(Grow({"--ris", Path("run/pearls.ris"), "--out", Path("again")}), 0) << err.str();
  EXPECT_EQ(out.str(), table);
  EXPECT_EQ(Read("again/pearls.ris"), pearls);
  EXPECT_EQ(Read("again/events.txt"), Read("run/events.txt"));
}

// One line per step: a pearl's record only when it is not in the table yet (21 cites 20), each
// direction's pages from 0, and a pearl given twice still counted among the pearls.
TEST_F(GrowCommand, ProgressFollowsThePearlsAndTheirPages) {
  ASSERT_EQ(Grow({"--pearl", "20", "21", "20", "--out", Path("progress")}), 0) << err.str();
  EXPECT_EQ(err.str(), R"(pearl 1 of 3, retrieving its record
pearl 1 of 3, cited page 0 of 1
pearl 1 of 3, cited page 1 of 1
pearl 1 of 3, citing page 0 of 1
pearl 1 of 3, citing page 1 of 1
pearl 2 of 3, cited page 0 of 1
pearl 2 of 3, cited page 1 of 1
pearl 2 of 3, citing page 0 of 1
pearl 2 of 3, citing page 1 of 1
wendrel grow: pearl 20 was given twice
)");
}

TEST_F(GrowCommand, ExitCodes) {
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* message;
  } cases[] = {
      {{"--pearl", "20", "999999", "--out", Path("unknown")}, 3, "the service gave no publication for pearl 999999"},
      {{"--pearl", "999998", "999999", "--out", Path("none")}, 1, "no pearl could be resolved; nothing was written"},
      {{"--pearl", "20", "20", "--out", Path("twice")}, 0, "pearl 20 was given twice"},
      {{"--ris", Path("absent.ris"), "--out", Path("none")}, 1, "absent.ris"},
      {{"--out", Path("none")}, 2, "give either --pearl with IDs or --ris with a file"},
      {{"--pearl", "20", "--ris", Path("x.ris"), "--out", Path("none")}, 2, "give either"},
      {{"--pearl", "--out", Path("none")}, 2, "--pearl needs at least one ID"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Grow(c.args), c.code) << c.message;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
  }
  EXPECT_TRUE(std::filesystem::exists(Path("unknown/pearls.ris"))) << "the pearls found are still written";
  EXPECT_FALSE(std::filesystem::exists(Path("none"))) << "a run that writes nothing leaves no folder";
}

TEST_F(GrowCommand, ExportsForReferenceManagers) {
  ASSERT_EQ(Grow({"--pearl", "20", "21", "--export", "csv", "--out", Path("exchange")}), 0) << err.str();
  // The candidates in the order of the table, each with the IDs of its pearls.
  std::istringstream csv(Read("exchange/candidates.csv"));
  std::vector<std::string> rows;
  for (std::string line; std::getline(csv, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[1], "10,,Shared reference,\"Berg, Ole\",2001,,,3,2,0,20 21,,Cited,,,,,,,,,,0\r");
  EXPECT_EQ(rows[2].substr(0, 3), "22,");

  auto exportChain = [&](const std::string& address, std::vector<std::string> args) {
    args.insert(args.begin(), {"--service", address, "--grow-dir", Path("exchange")});
    std::istringstream in;
    out.str("");
    err.str("");
    return RunExport(args, in, false, out, err);
  };
  {
    SearchService service(Path("corpus.sqlite"));
    service.Start();
    ASSERT_EQ(exportChain(service.BaseAddress(), {"--format", "csl-json", "--out", Path("exchange/all.json")}), 0)
        << err.str();
    EXPECT_EQ(out.str(), "Wrote 8 articles to " + Path("exchange/all.json") + "\n");
    const nlohmann::json items = nlohmann::json::parse(Read("exchange/all.json"));
    ASSERT_EQ(items.size(), 8u) << "both pearls and the six articles around them, each once";
    EXPECT_EQ(items[0]["archive_location"], "20");
    EXPECT_EQ(items[0]["note"], "Cited by pearls: 21. Cites pearls: none.") << "21 cites 20";
    EXPECT_EQ(items[1]["note"], "Cited by pearls: none. Cites pearls: 20.");
    EXPECT_EQ(items[2]["note"], "Cited by pearls: 20, 21. Cites pearls: none.");

    EXPECT_EQ(exportChain(service.BaseAddress(), {"--format", "xml", "--out", Path("x")}), 2);
    EXPECT_NE(err.str().find("--format takes"), std::string::npos);
    EXPECT_EQ(exportChain(service.BaseAddress(), {"--list", "some", "--format", "csv", "--out", Path("x")}), 2);
  }
  // A service that no longer answers: nothing written.
  std::string stopped;
  {
    SearchService service(Path("corpus.sqlite"));
    service.Start();
    stopped = service.BaseAddress();
  }
  EXPECT_EQ(exportChain(stopped, {"--format", "ris", "--out", Path("exchange/none.ris")}), 1);
  EXPECT_NE(err.str().find("nothing was written"), std::string::npos) << err.str();
  EXPECT_FALSE(std::filesystem::exists(Path("exchange/none.ris")));

  // BibTeX seeds load from a .bib file; given as RIS, the same text is refused with the reason.
  const char* bibtex = "@article{Berg2001Pearl,\n  author = {Ole Berg},\n  title = {Pearl X},\n  year = 2001\n}\n";
  std::ofstream(Path("seeds.ris")) << bibtex;
  EXPECT_EQ(Grow({"--ris", Path("seeds.ris"), "--out", Path("from_ris")}), 1);
  EXPECT_NE(err.str().find(Path("seeds.ris") + ": it is a BibTeX file"), std::string::npos) << err.str();
  EXPECT_FALSE(std::filesystem::exists(Path("from_ris")));
  std::ofstream(Path("seeds.bib")) << bibtex;
  ASSERT_EQ(Grow({"--ris", Path("seeds.bib"), "--out", Path("from_bib")}), 0) << err.str();
  EXPECT_NE(Read("from_bib/pearls.ris").find("AN  - MAS:20\r\n"), std::string::npos);
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    files[entry.path().filename().string()] = test::ReadFile(entry.path().string());
  return files;
}

TEST_F(GrowCommand, AStoppedServiceWritesNothingAndLeavesTheFolderAsItWas) {
  ASSERT_EQ(Grow({"--pearl", "20", "21", "--out", Path("kept")}), 0) << err.str();
  const auto before = Snapshot(Path("kept"));
  ASSERT_EQ(before.size(), 5u);
  std::string stopped;
  {
    SearchService service(Path("corpus.sqlite"));
    service.Start();
    stopped = service.BaseAddress();
  }
  const std::vector<std::string> runs[] = {{"--ris", Path("kept/pearls.ris")}, {"--pearl", "20", "21"}};
  for (std::vector<std::string> args : runs) {
    args.insert(args.end(), {"--out", Path("kept")});
    EXPECT_EQ(GrowFrom(stopped, args), 1) << args[0];
    EXPECT_EQ(out.str(), "") << "no table of a growth that did not happen";
    const std::string text = err.str();
    const std::string line = text.substr(text.rfind("wendrel grow: "));
    EXPECT_EQ(line.rfind("wendrel grow: a request to the service at " + stopped + " failed (", 0), 0u) << text;
    EXPECT_EQ(line.substr(line.size() - 23), "); nothing was written\n") << text;
    EXPECT_EQ(text.find("wendrel grow: "), text.rfind("wendrel grow: ")) << "one line says why: " << text;
    EXPECT_EQ(Snapshot(Path("kept")), before) << args[0];
  }
}

// The publication IDs of a RIS list, in file order.
std::vector<std::string> ListIds(const std::string& ris) {
  std::vector<std::string> ids;
  for (size_t at = ris.find("AN  - MAS:"); at != std::string::npos; at = ris.find("AN  - MAS:", at + 1)) {
    const size_t from = at + 10;
    ids.push_back(ris.substr(from, ris.find('\r', from) - from));
  }
  return ids;
}

TEST_F(GrowCommand, ASeedListThatResolvesNothingLeavesTheFolderAsItWas) {
  ASSERT_EQ(Grow({"--pearl", "20", "21", "--export", "csv", "--out", Path("earlier")}), 0) << err.str();
  const auto before = Snapshot(Path("earlier"));
  std::ofstream(Path("nohit.ris")) << "TY  - JOUR\nAU  - Nobody\nTI  - Nothing like it\nER  - \n";
  EXPECT_EQ(Grow({"--ris", Path("nohit.ris"), "--export", "csv", "--out", Path("earlier")}), 1);
  EXPECT_NE(err.str().find("wendrel grow: no pearl of " + Path("nohit.ris") + " could be resolved; nothing was written\n"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(Snapshot(Path("earlier")), before);
}

TEST_F(GrowCommand, APartlyResolvedSeedListExitsThreeNamingEachFailure) {
  std::ofstream(Path("partly.ris")) << "TY  - JOUR\nAU  - Berg, Ole\nTI  - Pearl X\nPY  - 2001\nER  - \n"
                                       "TY  - JOUR\nAU  - Nobody, Ned\nTI  - Nothing like it\nPY  - 2019\nDO  - 10.1/none\nER  - \n"
                                       "TY  - JOUR\nER  - \n";
  EXPECT_EQ(Grow({"--ris", Path("partly.ris"), "--out", Path("partly")}), 3);
  EXPECT_NE(err.str().find("XCR Import: Import of the following 2 articles failed:\n"
                           "Nobody, Ned (2019). Nothing like it. DOI 10.1/none\n"
                           "record 3 of the file (no author, year, title or DOI)\n"),
            std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("written, but 2 of the pearls or references given were not resolved (exit status 3)"),
            std::string::npos);
  EXPECT_EQ(ListIds(Read("partly/pearls.ris")), std::vector<std::string>{"20"});

  // A listed ID that is a marker names nothing: it is a failure, not passed over in silence.
  std::ofstream(Path("marked.txt")) << "20\nnull\n";
  EXPECT_EQ(Grow({"--ris", Path("marked.txt"), "--out", Path("marked")}), 3) << err.str();
  EXPECT_NE(err.str().find("XCR Import: Import of the following 1 articles failed:\nID null\n"), std::string::npos)
      << err.str();
}

// A long seed list says how far its resolving has come; the message names the first hundred
// failures and unresolved.txt beside the lists holds them all.
TEST_F(GrowCommand, ALongSeedListShowsProgressAndWritesEveryFailureToAFile) {
  std::ofstream list(Path("long.ris"));
  list << "TY  - JOUR\nAU  - Berg, Ole\nTI  - Pearl X\nPY  - 2001\nER  - \n";
  for (int k = 1; k <= 130; ++k) list << "TY  - JOUR\nAU  - Nobody\nTI  - Nothing like " << k << "\nER  - \n";
  list.close();
  EXPECT_EQ(Grow({"--ris", Path("long.ris"), "--out", Path("long")}), 3);
  const std::string said = err.str();
  EXPECT_NE(said.find("resolving 1 of 131 references, 0 not found\n"), std::string::npos) << said;
  EXPECT_NE(said.find("resolving 131 of 131 references, 129 not found\n"), std::string::npos) << said;
  EXPECT_NE(said.find("Import of the following 130 articles failed:\nNobody. Nothing like 1\n"), std::string::npos);
  EXPECT_NE(said.find("Nobody. Nothing like 100\nand 30 more\n"), std::string::npos) << said;
  EXPECT_EQ(said.find("Nothing like 101"), std::string::npos);
  // A title of megabytes fails its reference alone, saying why, and is not repeated whole.
  std::ofstream(Path("huge.ris")) << "TY  - JOUR\nAU  - Berg, Ole\nTI  - Pearl X\nPY  - 2001\nER  - \n"
                                  << "TY  - JOUR\nAU  - Nobody\nTI  - " << std::string(3000000, 'w') << "\nER  - \n";
  EXPECT_EQ(Grow({"--ris", Path("huge.ris"), "--out", Path("huge")}), 3) << err.str();
  EXPECT_NE(err.str().find("(the title is too long to search: 3 MB)"), std::string::npos) << err.str().substr(0, 2000);
  EXPECT_LT(err.str().size(), 10000u);
  const std::string unresolved = Read("long/unresolved.txt");
  EXPECT_EQ(std::count(unresolved.begin(), unresolved.end(), '\n'), 130);
  EXPECT_NE(unresolved.find("Nobody. Nothing like 130\r\n"), std::string::npos) << unresolved;
}

// --max-citing holds for every pearl of a seed list (the question offers "to All" there), and an
// export grows the same lists again.
TEST_F(GrowCommand, TheCitingLimitHoldsForSeedListsAndExports) {
  std::ofstream(Path("limited.txt")) << "30\n20\n";
  ASSERT_EQ(Grow({"--ris", Path("limited.txt"), "--max-citing", "10", "--out", Path("limited")}), 0) << err.str();
  const std::vector<std::string> citing = ListIds(Read("limited/citing.ris"));
  EXPECT_EQ(citing.size(), 14u) << "the 10 most cited of 30's 41, and 20's 4";
  SearchService service(Path("corpus.sqlite"));
  service.Start();
  std::istringstream in;
  err.str("");
  ASSERT_EQ(RunExport({"--service", service.BaseAddress(), "--grow-dir", Path("limited"), "--list", "citing",
                       "--format", "ris", "--max-citing", "10", "--out", Path("limited/citing_export.ris")},
                      in, false, out, err),
            0)
      << err.str();
  EXPECT_EQ(ListIds(Read("limited/citing_export.ris")), citing);
}

TEST_F(GrowCommand, ASecondRunIntoTheFolderIsRefused) {
  ASSERT_EQ(Grow({"--pearl", "20", "--out", Path("busy")}), 0) << err.str();
  const auto before = Snapshot(Path("busy"));
  {
    FolderLock running(Path("busy"));
    EXPECT_EQ(Grow({"--pearl", "21", "--out", Path("busy")}), 1);
    EXPECT_NE(err.str().find("another run is writing into " + Path("busy")), std::string::npos) << err.str();
    EXPECT_EQ(Snapshot(Path("busy")), before);
  }
  EXPECT_EQ(Grow({"--pearl", "21", "--out", Path("busy")}), 0) << "the lock goes with the run";
}

TEST(GrowHostAnswers, LargeCitationsAndRetries) {
  std::ostringstream err;
  GrowProgress progress(err, false);
  std::istringstream noInput;
  const std::string question = "T has a large citation count (900 times). ...";
  auto ask = [&](GrowHost& host, const std::string& title, MessageButtons buttons) {
    return host.MessageBox(title == "XCR" ? question : "No response", title, MessageIcon::None, buttons);
  };
  GrowHost unattended(noInput, err, false, progress, false, 500, std::chrono::hours(1));
  EXPECT_EQ(ask(unattended, "XCR", MessageButtons::YesNo), MessageResult::Yes);
  // While a file loads, the answer holds for every pearl of it.
  EXPECT_EQ(ask(unattended, "XCR", MessageButtons::YesNoToAll), MessageResult::YesToAll);
  EXPECT_EQ(ask(unattended, "HTTP Request Error", MessageButtons::RetryCancel), MessageResult::Retry);
  GrowHost impatient(noInput, err, false, progress, false, 500, std::chrono::milliseconds(0));
  EXPECT_EQ(ask(impatient, "HTTP Request Error", MessageButtons::RetryCancel), MessageResult::Cancel);

  // On a terminal the question is asked, unless --max-citing answered it.
  std::istringstream no("n\n"), unused("n\n");
  GrowHost asking(no, err, true, progress, false, 500);
  EXPECT_EQ(ask(asking, "XCR", MessageButtons::YesNo), MessageResult::No);
  GrowHost limited(unused, err, true, progress, true, 200);
  EXPECT_EQ(ask(limited, "XCR", MessageButtons::YesNo), MessageResult::Yes);
  EXPECT_EQ(ask(limited, "XCR", MessageButtons::YesNoToAll), MessageResult::YesToAll);
  EXPECT_NE(err.str().find("(answered Yes: at most 200 citing articles)"), std::string::npos);
}

}  // namespace
}  // namespace wendrel
