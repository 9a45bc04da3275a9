// `wendrel report` on a session grown from the small corpus: each format written, the edge list
// beside it, and nothing written for a session it cannot read or a target that would lose a file.
#include "cli/report_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/grow_command.h"
#include "corpus/search_service.h"
#include "service_fixtures.h"
#include "test_paths.h"

namespace wendrel {
namespace {

class ReportCommand : public ::testing::Test {
 protected:
  // Pearls 1 (no references, cited by 2, 3, 4 and 5) and 3 (cites 1 and 2, cited by 4 and 6).
  void SetUp() override {
    SearchService service(test::BuildCorpus(dir, "small", test::kSmallCorpus));
    service.Start();
    std::istringstream in;
    ASSERT_EQ(RunGrow({"--service", service.BaseAddress(), "--session", session, "--pearl", "1", "3"}, in, false, out,
                      err, false),
              0)
        << err.str();
  }

  int Run(const std::vector<std::string>& args) {
    out.str("");
    err.str("");
    return RunReport(args, out, err);
  }

  test::TempDir dir;
  const std::string session = dir.Path("small.wendrel");
  std::ostringstream out, err;
};

TEST_F(ReportCommand, WritesEachFormatAndTheEdgeList) {
  ASSERT_EQ(
      Run({"--session", session, "--format", "json", "--out", dir.Path("r.json"), "--edges", dir.Path("edges.csv")}), 0)
      << err.str();
  EXPECT_EQ(out.str(), "Wrote 8 relations to " + dir.Path("edges.csv") + "\nWrote the report of 4 searches to " +
                           dir.Path("r.json") + "\n");
  const nlohmann::json json = nlohmann::json::parse(test::ReadFile(dir.Path("r.json")));
  ASSERT_EQ(json["searches"].size(), 4u);
  const int expected[] = {0, 4, 2, 2};
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(json["searches"][k]["retrieved"], expected[k]) << k;
    EXPECT_EQ(json["searches"][k]["complete"], true) << k;
  }
  // 3 is a pearl reached from 1, and 4 cites both pearls.
  EXPECT_EQ(json["totals"]["identified"], 8);
  EXPECT_EQ(json["totals"]["duplicates_removed"], 2);
  EXPECT_EQ(json["totals"]["unique"], 6);
  EXPECT_EQ(json["totals"]["undecided"], 6);
  const std::string edges = test::ReadFile(dir.Path("edges.csv"));
  EXPECT_EQ(edges.rfind("Pearl,Direction,Article,Generation,Date (UTC)\r\n1,forward,", 0), 0u) << edges;
  EXPECT_EQ(std::count(edges.begin(), edges.end(), '\n'), 9) << "one row per relation";

  ASSERT_EQ(Run({"--session", session}), 0) << err.str();
  EXPECT_EQ(out.str().rfind("# Citation searching report\n", 0), 0u) << out.str();
  EXPECT_NE(out.str().find("| 1 | Text mining: a survey | forward | 0 |"), std::string::npos) << out.str();
  ASSERT_EQ(Run({"--session", session, "--format", "csv"}), 0) << err.str();
  const std::string table = out.str();
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 5);
  ASSERT_EQ(Run({"--session", session, "--format", "html", "--out", dir.Path("r.html")}), 0) << err.str();
  EXPECT_NE(test::ReadFile(dir.Path("r.html")).find("<title>Citation searching report: small.wendrel</title>"),
            std::string::npos);
}

TEST_F(ReportCommand, RefusesWhatWouldLoseAFileAndWritesNothingForABadSession) {
  EXPECT_EQ(Run({"--session", session, "--out", session}), 2);
  EXPECT_NE(err.str().find("would replace the session file"), std::string::npos) << err.str();
  EXPECT_EQ(Run({"--session", session, "--out", dir.Path("a.csv"), "--edges", dir.Path("a.csv")}), 2);
  EXPECT_EQ(Run({"--session", session, "--format", "pdf"}), 2);
  EXPECT_EQ(Run({"--format", "md"}), 2);

  test::WriteText(dir.Path("notes.wendrel"), "not a session");
  EXPECT_EQ(Run({"--session", dir.Path("notes.wendrel"), "--out", dir.Path("out.md"), "--edges", dir.Path("e.csv")}),
            1);
  EXPECT_NE(err.str().find("is not a session file"), std::string::npos) << err.str();
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out.md")));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("e.csv")));
  EXPECT_EQ(test::ReadFile(dir.Path("notes.wendrel")), "not a session");
}

}  // namespace
}  // namespace wendrel
