// wendrel screen and wendrel known on a grown session: decisions by ID and from a file, a library
// with its possible matches, and the refusals.
#include "cli/review_commands.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/grow_command.h"
#include "cli/session_chain.h"
#include "corpus/search_service.h"
#include "service_fixtures.h"
#include "temp_dir.h"

namespace wendrel {
namespace {

nlohmann::json Publication(int64_t id, const std::string& title, int year, const std::string& last,
                           std::vector<int64_t> references = {}, const std::string& doi = "") {
  nlohmann::json p = {{"id", id},
                      {"title", title},
                      {"year", year},
                      {"authors", {{{"last", last}, {"first", "A."}}}},
                      {"references", references}};
  if (!doi.empty()) p["doi"] = doi;
  return p;
}

class ReviewCommands : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new test::TempDir();
    // Pearl 20 cites 10 and 11 and is cited by 22; 30 stands alone until it is grown.
    std::string lines;
    for (const nlohmann::json& p :
         {Publication(10, "Shared reference", 2001, "Berg", {}, "10.1000/ten"), Publication(11, "Editorial", 2001, "Ng"),
          Publication(20, "Pearl X", 2002, "Berg", {10, 11}), Publication(22, "Cites X", 2003, "Lind", {20}),
          Publication(30, "Grown later", 2004, "Kim", {}, "10.1000/thirty")})
      lines += p.dump() + "\n";
    test::BuildCorpus(*s_dir, "corpus", lines);
  }
  static void TearDownTestSuite() { delete s_dir; }

  void SetUp() override { ASSERT_EQ(Grow({"--pearl", "20"}), 0) << err.str(); }

  int Grow(std::vector<std::string> args) {
    SearchService service(s_dir->Path("corpus.sqlite"));
    service.Start();
    args.insert(args.begin(), {"--session", session, "--service", service.BaseAddress()});
    std::istringstream in;
    Clear();
    return RunGrow(args, in, false, out, err, false);
  }
  int Run(int (*command)(const std::vector<std::string>&, std::ostream&, std::ostream&),
          std::vector<std::string> args) {
    args.insert(args.begin(), {"--session", session});
    Clear();
    return command(args, out, err);
  }
  void Clear() {
    out.str("");
    err.str("");
  }
  std::string Write(const std::string& name, const std::string& text) {
    test::WriteText(dir.Path(name), text);
    return dir.Path(name);
  }

  static inline test::TempDir* s_dir = nullptr;
  test::TempDir dir;
  const std::string session = dir.Path("review.wendrel");
  std::ostringstream out, err;
};

TEST_F(ReviewCommands, ScreenByIdNamesUnknownIdsAndRefusesWhatCannotBeApplied) {
  EXPECT_EQ(Run(RunScreen, {"--exclude", "10", "11", "404", "--reason", "wrong outcome", "--label", "a", "--label",
                            "b", "--note", "checked"}),
            3);
  EXPECT_EQ(out.str(), "2 articles excluded (wrong outcome)\n");
  EXPECT_EQ(err.str(), "wendrel screen: the session holds no article with ID 404\n");
  EXPECT_EQ(Run(RunScreen, {"--include", "404"}), 1);
  EXPECT_EQ(Run(RunScreen, {"--maybe", "22"}), 0) << err.str();
  EXPECT_EQ(out.str(), "1 article maybe\n");

  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"--include", "--exclude", "10"}, {"--include"}, {"--include", "10", "--reason", "x"},
        {"--import", "f.csv", "10"}, {"10"}, {"--maybe", "10", "--label"}}) {
    EXPECT_EQ(Run(RunScreen, wrong), 2) << wrong.front();
    EXPECT_NE(err.str().find("(see --help)"), std::string::npos) << err.str();
  }
  // A session another opener holds is not written.
  SessionChain holder(session);
  EXPECT_EQ(Run(RunScreen, {"--include", "10"}), 1);
  EXPECT_NE(err.str().find("wendrel screen: "), std::string::npos);
}

TEST_F(ReviewCommands, ScreenImportTellsWhatMatchedAndListsWhatDidNot) {
  const std::string file = Write("asreview.csv",
                                 "title,authors,doi,year,included\n"
                                 "Anything,,https://doi.org/10.1000/TEN,,1\n"
                                 "EDITORIAL,\"Ng, A.\",,2002,0\n"
                                 "Pearl X,\"Berg, A.\",,2002,\n"
                                 "Not in the session,\"Roe, R.\",,1990,1\n");
  EXPECT_EQ(Run(RunScreen, {"--import", file}), 3) << err.str();
  EXPECT_EQ(out.str(), "3 of 4 references matched, 2 with a decision; not matched:\n  Roe, R. (1990). Not in the session\n");
  EXPECT_EQ(Run(RunScreen, {"--import", Write("none.txt", "nothing to see\n")}), 1);
  EXPECT_EQ(err.str(), "wendrel screen: " + dir.Path("none.txt") +
                           " holds no screening decisions: it is neither RIS nor CSV with a Decision or an included "
                           "column\n");
  EXPECT_EQ(Run(RunScreen, {"--import", dir.Path("missing.csv")}), 1);
}

TEST_F(ReviewCommands, KnownCountsTheLibraryAndListsItsPossibleMatches) {
  const std::string library = Write("library.bib",
                                    "@article{a, title = {Shared Reference}, doi = {10.1000/TEN}, year = 1980}\n"
                                    "@article{b, title = {Editorial}, author = {Ng, Al}, year = 2011}\n"
                                    "@article{c, title = {Grown later}, author = {Kim, A.}, year = 2004}\n");
  ASSERT_EQ(Run(RunKnown, {"--import", library}), 0) << err.str();
  EXPECT_EQ(out.str(),
            "3 entries read (BibTeX): 1 matched, 1 possible, 1 unmatched; 1 article of the session known\n"
            "Possible matches, not marked (check them by hand):\n"
            "  Ng, Al (2011). Editorial\n"
            "    may be 11: Ng, A. (2001) Editorial\n");
  EXPECT_EQ(Run(RunKnown, {"--import", Write("empty.json", "[]")}), 1);
  EXPECT_EQ(err.str(), "wendrel known: " + dir.Path("empty.json") +
                           " cannot be read as a library: it holds no entry (read as CSL-JSON)\n");
  EXPECT_EQ(Run(RunKnown, {"--import", library, "--extra"}), 2);
}

}  // namespace
}  // namespace wendrel
