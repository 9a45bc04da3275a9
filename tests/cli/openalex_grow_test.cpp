// `wendrel grow` through the OpenAlex gateway against a fake OpenAlex: two pearls grown live, then
// regrown from the saved Pearl List with the gateway offline; and the commands' OpenAlex options.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/export_command.h"
#include "cli/grow_command.h"
#include "cli/service_commands.h"
#include "fake_openalex.h"
#include "openalex/openalex_gateway.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace wendrel {
namespace {

size_t Records(const std::string& ris) {
  size_t n = 0;
  for (size_t at = ris.find("ER  - \r\n"); at != std::string::npos; at = ris.find("ER  - \r\n", at + 1)) ++n;
  return n;
}

class OpenAlexGrow : public ::testing::Test {
 protected:
  int Grow(bool offline, std::vector<std::string> args) {
    OpenAlexGatewayOptions options;
    options.api.baseAddress = fake.BaseAddress();
    options.api.apiKey = "test-key-42";
    options.api.requestsPerSecond = 0;
    options.cachePath = dir.Path("cache.sqlite");
    options.offline = offline;
    OpenAlexGateway gateway(options);
    gateway.Start();
    args.insert(args.begin(), {"--service", gateway.BaseAddress()});
    std::istringstream in;
    out.str("");
    err.str("");
    return RunGrow(args, in, false, out, err, false);
  }
  std::string Read(const std::string& name) const { return test::ReadFile(dir.Path(name)); }

  test::TempDir dir;
  test::FakeOpenAlex fake;
  std::ostringstream out, err;
};

TEST_F(OpenAlexGrow, TwoPearlsGrowLiveAndRegrowOffline) {
  ASSERT_EQ(Grow(false, {"--pearl", "w100", "w200", "--out", dir.Path("live")}), 0) << err.str();
  const std::string pearls = Read("live/pearls.ris");
  EXPECT_EQ(Records(pearls), 2u);
  EXPECT_NE(pearls.find("AN  - MAS:w100\r\n"), std::string::npos);
  EXPECT_EQ(Records(Read("live/cited.ris")), 4u) << "W10, W11, W12 and the pearl W100";
  EXPECT_EQ(Records(Read("live/citing.ris")), 4u) << "W200, W300, W301, W302";
  // Related to the most pearls first, then the most cited; the pearls themselves left out.
  EXPECT_EQ(out.str(),
            "Index\tPK\tCitedByPearls\tCitesPearls\tCitationCount\tYear\tFirstAuthor\tTitle\n"
            "2\tw10\t2\t0\t3\tn/a\t\tShared reference\n"
            "5\tw300\t0\t2\t0\t2020\tByron, Ada\tCites both pearls\n"
            "3\tw11\t1\t0\t1\t1975\tBerg, Ole\tOnly W100 cites this\n"
            "8\tw12\t1\t0\t1\t2010\tBerg, Ole\tOnly W200 cites this\n"
            "6\tw301\t0\t1\t0\t2021\tByron, Ada\tCites the gift exchange\n"
            "7\tw302\t0\t1\t0\t2022\t\tCites the gift exchange and the shared reference\n");
  // Retrieve, references and citing of w100, then references and citing of w200, already held.
  EXPECT_EQ(fake.Requests().size(), 5u);

  // The saved Pearl List regrows from the cache, online and offline alike, asking OpenAlex nothing.
  const std::string table = out.str();
  fake.ClearRequests();
  for (bool offline : {false, true}) {
    const std::string folder = dir.Path(offline ? "offline" : "again");
    ASSERT_EQ(Grow(offline, {"--ris", dir.Path("live/pearls.ris"), "--out", folder}), 0) << err.str();
    EXPECT_EQ(out.str(), table) << offline;
    EXPECT_EQ(test::ReadFile(folder + "/pearls.ris"), pearls);
    EXPECT_EQ(test::ReadFile(folder + "/citing.ris"), Read("live/citing.ris"));
  }
  EXPECT_TRUE(fake.Requests().empty());

  // Offline, a pearl the cache never saw is reported, not fetched.
  EXPECT_EQ(Grow(true, {"--pearl", "w999", "--out", dir.Path("unknown")}), 1);
  EXPECT_NE(err.str().find("the service gave no publication for pearl w999"), std::string::npos) << err.str();
  // A work the cache holds without its lists is not grown into one that cites nothing: it fails,
  // says why, and nothing is written.
  EXPECT_EQ(Grow(true, {"--pearl", "w301", "--out", dir.Path("listless")}), 1);
  EXPECT_NE(err.str().find("not in the cache, and the gateway is offline"), std::string::npos) << err.str();
  EXPECT_FALSE(std::filesystem::exists(dir.Path("listless/cited.ris")));
  EXPECT_TRUE(fake.Requests().empty());
}

TEST_F(OpenAlexGrow, RetractedWorksAndPreprintsAreMarkedInTheExports) {
  fake.AddWork({{"id", "https://openalex.org/W303"}, {"title", "Withdrawn later"}, {"is_retracted", true},
                {"type", "article"}, {"referenced_works", {"https://openalex.org/W100"}}});
  fake.AddWork({{"id", "https://openalex.org/W304"}, {"title", "Not yet reviewed"}, {"is_retracted", false},
                {"type", "preprint"}, {"referenced_works", {"https://openalex.org/W100"}}});
  ASSERT_EQ(Grow(false, {"--pearl", "w100", "--out", dir.Path("grown")}), 0) << err.str();

  OpenAlexGatewayOptions options;
  options.cachePath = dir.Path("cache.sqlite");
  options.offline = true;
  OpenAlexGateway gateway(options);
  gateway.Start();
  auto exported = [&](const char* format) {
    std::ostringstream o, e;
    const std::string file = dir.Path(std::string("citing.") + format);
    EXPECT_EQ(RunExport({"--grow-dir", dir.Path("grown"), "--list", "citing", "--format", format, "--out", file,
                         "--service", gateway.BaseAddress()},
                        o, e),
              0)
        << e.str();
    return Read(std::string("citing.") + format);
  };
  const std::string csv = exported("csv");
  EXPECT_NE(csv.find(",Withdrawn later,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",retracted,,,,,,0\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",preprint,,,,,,0\r\n"), std::string::npos) << csv;
  EXPECT_NE(exported("ris").find("N1  - Marked retracted. Cited by pearls:"), std::string::npos);
  const std::string csl = exported("csl-json");
  EXPECT_NE(csl.find("Marked preprint. Cited by pearls:"), std::string::npos) << csl;
  EXPECT_EQ(csl.find("Marked retracted, preprint"), std::string::npos) << csl;
}

TEST_F(OpenAlexGrow, ServeAndImportOptions) {
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* message;
  } cases[] = {
      {{"--offline"}, 2, "--corpus is required (or --openalex)"},
      {{"--openalex", "--corpus", "x.sqlite"}, 2, "not both"},
      {{"--corpus", "x.sqlite", "--api-key", "k"}, 2, "--api-key goes with --openalex"},
      {{"--openalex", "--offline", "--cache", dir.Path("none.sqlite")}, 1, "there is no cache at"},
  };
  for (const Case& c : cases) {
    std::ostringstream o, e;
    EXPECT_EQ(RunServe(c.args, o, e), c.code) << c.message;
    EXPECT_NE(e.str().find(c.message), std::string::npos) << e.str();
  }

  std::ostringstream o, e;
  const std::string works = test::DataPath("openalex_works.jsonl");
  ASSERT_EQ(RunCorpus({"import-openalex", works, "--out", dir.Path("w.sqlite")}, o, e), 0) << e.str();
  EXPECT_EQ(o.str().rfind("Imported 8 publications into ", 0), 0u) << o.str();
}

}  // namespace
}  // namespace wendrel
