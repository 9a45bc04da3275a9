// The client against the local service, both for real: a generated corpus is imported, served on
// 127.0.0.1 and searched through the command's code path.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <sstream>

#include "cli/client_commands.h"
#include "platform/scripted_host.h"
#include "corpus/corpus_generator.h"
#include "corpus/corpus_import.h"
#include "corpus/search_service.h"
#include "service_fixtures.h"

namespace wendrel {
namespace {

class SearchEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new test::TempDir;
    std::string jsonl = s_dir->Path("corpus.jsonl");
    {
      std::ofstream out(jsonl);
      GenerateCorpus(400, 11, out);
    }
    std::ifstream in(jsonl);
    for (std::string line; std::getline(in, line);) s_corpus.push_back(nlohmann::json::parse(line));
    ImportCorpus(jsonl, s_dir->Path("corpus.sqlite"), [](int64_t, const std::string&) {});
  }
  static void TearDownTestSuite() { delete s_dir; }

  void SetUp() override {
    service = std::make_unique<SearchService>(s_dir->Path("corpus.sqlite"));
    service->Start();
  }

  // The record lines a search prints, by PK.
  std::map<std::string, std::string> Search(const std::vector<std::string>& criteria) {
    std::vector<std::string> args = {"--service", service->BaseAddress()};
    args.insert(args.end(), criteria.begin(), criteria.end());
    std::ostringstream out, err;
    EXPECT_EQ(RunSearch(args, host, out, err), 0) << err.str();
    std::map<std::string, std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines[line.substr(0, line.find('\t'))] = line;
    return lines;
  }

  static inline test::TempDir* s_dir = nullptr;
  static inline std::vector<nlohmann::json> s_corpus;
  std::unique_ptr<SearchService> service;
  ScriptedHost host;
};

TEST_F(SearchEndToEnd, TitleAndAuthorSearchFindThePublication) {
  // A publication with a title and an author, late enough in the corpus to be cited little.
  const nlohmann::json& p = s_corpus.at(s_corpus.size() / 2);
  std::string id = std::to_string(p["id"].get<int64_t>());
  std::string title = p["title"].get<std::string>();
  ASSERT_FALSE(p["authors"].empty());
  std::string last = p["authors"][0]["last"].get<std::string>();

  auto byTitle = Search({"--title", title});
  ASSERT_TRUE(byTitle.count(id)) << title;
  EXPECT_NE(byTitle[id].find(title), std::string::npos);
  EXPECT_NE(byTitle[id].find(last + ", "), std::string::npos);

  auto byBoth = Search({"--title", title, "--author", last});
  EXPECT_TRUE(byBoth.count(id));
  EXPECT_LE(byBoth.size(), byTitle.size());
}

TEST_F(SearchEndToEnd, YearRangeBoundsEveryHit) {
  auto hits = Search({"--from", "1990", "--to", "2000"});
  int64_t inRange = 0;
  for (const auto& p : s_corpus) inRange += p["year"].is_number() && p["year"] >= 1990 && p["year"] <= 2000;
  EXPECT_EQ(static_cast<int64_t>(hits.size()), std::min<int64_t>(inRange, 100));
  for (const auto& [pk, line] : hits) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
    ASSERT_GE(fields.size(), 6u);
    int year = std::stoi(fields[5]);
    EXPECT_GE(year, 1990) << line;
    EXPECT_LE(year, 2000) << line;
  }
}

TEST_F(SearchEndToEnd, DemoRunsAgainstACorpusFile) {
  std::ostringstream out, err;
  std::string word = s_corpus.at(5)["title"].get<std::string>();
  ASSERT_EQ(RunDemo({"--corpus", s_dir->Path("corpus.sqlite"), "--text", word}, host, out, err), 0)
      << err.str();
  EXPECT_NE(out.str().find("Local academic search service on"), std::string::npos);
  EXPECT_NE(out.str().find("The first hit as a pearl: "), std::string::npos);
  std::ostringstream out2, err2;
  EXPECT_EQ(RunDemo({"--corpus", s_dir->Path("missing.sqlite")}, host, out2, err2), 1);
  EXPECT_FALSE(err2.str().empty());
}

// Abstracts that end in a member's name, served and read back for real: they once came back with
// the ID, year and DOI "Author" (the abstract stands before those members in a reply).
TEST(SearchEndToEndValues, AbstractsEndingInMemberNames) {
  test::TempDir dir;
  const std::string corpus = test::BuildCorpus(dir, "names", R"(
{"id":71,"title":"Cohorts","abstract":"Records keyed by patient ID","year":2001,"authors":[{"last":"Lee","first":"Ann"}],"doi":"10.1000/71"}
{"id":72,"title":"Gaps","abstract":"Mind the gap Year","year":2002,"authors":[{"last":"Lee","first":"Bo"}],"doi":"10.1000/72"}
{"id":73,"title":"Cell Type","abstract":"Resolved by DOI","year":2003,"authors":[{"last":"Lee","first":"Cy"}],"doi":"10.1000/73"}
)");
  SearchService service(corpus);
  service.Start();
  ScriptedHost host;
  std::ostringstream out, err;
  ASSERT_EQ(RunSearch({"--service", service.BaseAddress(), "--author", "Lee"}, host, out, err), 0) << err.str();
  std::map<std::string, std::vector<std::string>> rows;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    rows[fields.at(0)] = fields;
  }
  ASSERT_EQ(rows.size(), 3u) << out.str();
  for (int id : {71, 72, 73}) {
    const std::vector<std::string>& row = rows[std::to_string(id)];
    ASSERT_GE(row.size(), 13u) << id;
    EXPECT_EQ(row[5], std::to_string(1930 + id)) << id;
    EXPECT_EQ(row[12], "10.1000/" + std::to_string(id)) << id;
  }
}

}  // namespace
}  // namespace wendrel
