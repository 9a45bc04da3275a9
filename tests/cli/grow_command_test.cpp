// `wendrel grow` against the local service over a small corpus: the lists written, the table of
// candidates, loading the saved Pearl List back, the exit codes and the answers of its host.
#include "cli/grow_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "service/corpus_import.h"
#include "service/search_service.h"
#include "test_paths.h"

namespace wendrel {
namespace {

using nlohmann::json;

json Publication(int64_t id, const std::string& title, std::vector<int64_t> references = {}) {
  return {{"id", id},
          {"title", title},
          {"year", 2001},
          {"authors", {{{"last", "Berg"}, {"first", "Ole"}}}},
          {"references", references}};
}

class GrowCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = std::filesystem::path(::testing::TempDir()) / ("wendrel_grow_" + std::to_string(getpid()));
    std::filesystem::remove_all(s_dir);
    std::filesystem::create_directories(s_dir);
    // Pearls 20 and 21; 21 cites 20 (so a pearl is also in the other's lists), both cite 10.
    const json corpus[] = {
        Publication(10, "Shared reference"),      Publication(11, "Only X cites this"),
        Publication(12, "Only Y cites this"),     Publication(20, "Pearl X", {10, 11}),
        Publication(21, "Pearl Y", {10, 12, 20}), Publication(22, "Cites X and Y", {20, 21}),
        Publication(23, "Cites X", {20}),         Publication(24, "Cites X and the shared", {20, 10})};
    std::string jsonl = (s_dir / "corpus.jsonl").string();
    {
      std::ofstream out(jsonl);
      for (const json& p : corpus) out << p.dump() << "\n";
    }
    ImportCorpus(jsonl, (s_dir / "corpus.sqlite").string(), [](int64_t, const std::string&) {});
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(s_dir); }

  void SetUp() override {
    service = std::make_unique<SearchService>((s_dir / "corpus.sqlite").string());
    service->Start();
  }

  int Grow(std::vector<std::string> args, const std::string& input = "", bool interactive = false) {
    std::vector<std::string> all = {"--service", service->BaseAddress()};
    all.insert(all.end(), args.begin(), args.end());
    std::istringstream in(input);
    out.str("");
    err.str("");
    return RunGrow(all, in, interactive, out, err, false);
  }

  std::string Folder(const std::string& name) const { return (s_dir / name).string(); }

  static inline std::filesystem::path s_dir;
  std::unique_ptr<SearchService> service;
  std::ostringstream out, err;
};

TEST_F(GrowCommand, WritesTheListsAndTheCandidates) {
  ASSERT_EQ(Grow({"--pearl", "20", "--pearl", "21", "--out", Folder("run")}), 0) << err.str();
  // Related to the most pearls first, then the most cited, then in table order; pearls left out.
  EXPECT_EQ(out.str(),
            "Index\tPK\tCitedByPearls\tCitesPearls\tCitationCount\tYear\tFirstAuthor\tTitle\n"
            "2\t10\t2\t0\t3\t2001\tBerg, Ole\tShared reference\n"
            "5\t22\t0\t2\t0\t2001\tBerg, Ole\tCites X and Y\n"
            "3\t11\t1\t0\t1\t2001\tBerg, Ole\tOnly X cites this\n"
            "8\t12\t1\t0\t1\t2001\tBerg, Ole\tOnly Y cites this\n"
            "6\t23\t0\t1\t0\t2001\tBerg, Ole\tCites X\n"
            "7\t24\t0\t1\t0\t2001\tBerg, Ole\tCites X and the shared\n");
  const std::string pearls = test::ReadFile(Folder("run/pearls.ris"));
  EXPECT_NE(pearls.find("AN - MAS:20\r\n"), std::string::npos);
  EXPECT_NE(pearls.find("AN - MAS:21\r\n"), std::string::npos);
  auto records = [](const std::string& text) {
    size_t n = 0;
    for (size_t at = text.find("ER - \r\n"); at != std::string::npos; at = text.find("ER - \r\n", at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(records(pearls), 2u);
  EXPECT_EQ(records(test::ReadFile(Folder("run/cited.ris"))), 4u) << "10, 11, 12 and the pearl 20";
  EXPECT_EQ(records(test::ReadFile(Folder("run/citing.ris"))), 4u) << "21 to 24";
  EXPECT_EQ(test::ReadFile(Folder("run/wos.txt")).rfind("FN Thomson Reuters Web of Knowledge\r\n", 0), 0u);
  EXPECT_EQ(test::ReadFile(Folder("run/events.txt")),
            "<EVENT type=\"ADD\" ut=\"20\" recid=\"\" author=\"Berg, Ole\" year=\"2001\"/>\r\n"
            "<EVENT type=\"ADD\" ut=\"21\" recid=\"\" author=\"Berg, Ole\" year=\"2001\"/>\r\n");
  EXPECT_NE(err.str().find("pearl 2 of 2, citing page 1 of 1\n"), std::string::npos) << err.str();

  // The saved Pearl List grows the same chain again.
  const std::string table = out.str();
  ASSERT_EQ(Grow({"--ris", Folder("run/pearls.ris"), "--out", Folder("again")}), 0) << err.str();
  EXPECT_EQ(out.str(), table);
  EXPECT_EQ(test::ReadFile(Folder("again/pearls.ris")), pearls);
  EXPECT_EQ(test::ReadFile(Folder("again/events.txt")), test::ReadFile(Folder("run/events.txt")));
}

TEST_F(GrowCommand, ExitCodes) {
  EXPECT_EQ(Grow({"--pearl", "20", "999999", "--out", Folder("unknown")}), 1);
  EXPECT_NE(err.str().find("the service gave no publication for pearl 999999"), std::string::npos) << err.str();
  EXPECT_TRUE(std::filesystem::exists(Folder("unknown/pearls.ris")));

  EXPECT_EQ(Grow({"--pearl", "20", "20", "--out", Folder("twice")}), 0) << err.str();
  EXPECT_NE(err.str().find("pearl 20 was given twice"), std::string::npos);

  EXPECT_EQ(Grow({"--ris", Folder("absent.ris"), "--out", Folder("none")}), 1);
  EXPECT_NE(err.str().find("absent.ris"), std::string::npos);
  EXPECT_EQ(Grow({"--out", Folder("none")}), 2);
  EXPECT_EQ(Grow({"--pearl", "20", "--ris", Folder("x.ris"), "--out", Folder("none")}), 2);
  EXPECT_EQ(Grow({"--pearl", "--out", Folder("none")}), 2);
}

TEST(GrowHostAnswers, LargeCitationsAndRetries) {
  std::ostringstream err;
  GrowProgress progress(err, false);
  std::istringstream noInput;
  const std::string question = "T has a large citation count (900 times). ...";

  GrowHost unattended(noInput, err, false, progress, false, 500, std::chrono::hours(1));
  EXPECT_EQ(unattended.MessageBox(question, "XCR", MessageIcon::None, MessageButtons::YesNo), MessageResult::Yes);
  EXPECT_EQ(unattended.MessageBox("No response from server: Code ", "HTTP Request Error", MessageIcon::None,
                                  MessageButtons::RetryCancel),
            MessageResult::Retry);
  GrowHost impatient(noInput, err, false, progress, false, 500, std::chrono::milliseconds(0));
  EXPECT_EQ(impatient.MessageBox("No response", "HTTP Request Error", MessageIcon::None, MessageButtons::RetryCancel),
            MessageResult::Cancel);

  // On a terminal the question is asked, unless --max-citing answered it.
  std::istringstream no("n\n");
  GrowHost asking(no, err, true, progress, false, 500);
  EXPECT_EQ(asking.MessageBox(question, "XCR", MessageIcon::None, MessageButtons::YesNo), MessageResult::No);
  std::istringstream unused("n\n");
  GrowHost limited(unused, err, true, progress, true, 200);
  EXPECT_EQ(limited.MessageBox(question, "XCR", MessageIcon::None, MessageButtons::YesNo), MessageResult::Yes);
  EXPECT_NE(err.str().find("(answered Yes: at most 200 citing articles)"), std::string::npos);
}

}  // namespace
}  // namespace wendrel
