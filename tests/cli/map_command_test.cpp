// `wendrel map` end to end: the program maps a saved RIS list into a PNG and a positions table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include "layout/spatial.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace wendrel {
namespace {

TEST(MapCommand, RisListBecomesPictureAndPositions) {
  if (DefaultGraphvizFolder().empty()) GTEST_SKIP() << "sfdp is not on PATH";
  test::TempDir dir;
  // Fontconfig keeps its caches until the process ends.
  std::ofstream(dir.Path("lsan.supp")) << "leak:libfontconfig.so\n";
  const std::string command = "LSAN_OPTIONS=suppressions='" + dir.Path("lsan.supp") + "' '" + WENDREL_EXE +
                              "' map --ris '" + test::DataPath("map_articles.ris") + "' --labels 1 --png '" +
                              dir.Path("map.png") + "' --size 400x300 --positions '" + dir.Path("map.tsv") + "' >'" +
                              dir.Path("out.txt") + "' 2>'" + dir.Path("err.txt") + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << test::ReadFile(dir.Path("err.txt"));
  // Nine articles on three topics that share a word each with the next: one tree, every node labelled.
  EXPECT_EQ(test::ReadFile(dir.Path("out.txt")), "nodes: 9, edges: 8, labelled hubs: 9\n");

  const std::string png = test::ReadFile(dir.Path("map.png"));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x01\x90\0\0\x01\x2c", 8));  // 400 x 300

  std::istringstream table(test::ReadFile(dir.Path("map.tsv")));
  std::string line;
  std::getline(table, line);
  EXPECT_EQ(line, "node\tchain_index\tx\ty\tdegree\tlabel");
  int rows = 0;
  for (; std::getline(table, line); ++rows) {
    EXPECT_EQ(line.rfind(std::to_string(rows) + "\t" + std::to_string(rows + 1) + "\t", 0), 0u) << line;
  }
  EXPECT_EQ(rows, 9);

  // A picture that cannot be written says why.
  const std::string nowhere = dir.Path("no/such/folder/map.png");
  const std::string failing = "LSAN_OPTIONS=suppressions='" + dir.Path("lsan.supp") + "' '" + WENDREL_EXE +
                              "' map --ris '" + test::DataPath("map_articles.ris") + "' --png '" + nowhere +
                              "' 2>'" + dir.Path("err.txt") + "' >/dev/null";
  EXPECT_NE(std::system(failing.c_str()), 0);
  EXPECT_NE(test::ReadFile(dir.Path("err.txt")).find("cannot write " + nowhere + ": No such file or directory"),
            std::string::npos)
      << test::ReadFile(dir.Path("err.txt"));
}

// A grow folder's lists merge by the chain's duplicate rule: namesakes (one title, years and first
// authors apart) stay two nodes, one work listed under two IDs is one.
TEST(MapCommand, GrowFolderKeepsNamesakesApart) {
  if (DefaultGraphvizFolder().empty()) GTEST_SKIP() << "sfdp is not on PATH";
  test::TempDir dir;
  auto record = [](const char* id, const char* author, const char* year, const char* title, const char* abstract) {
    return std::string("TY  - JOUR\r\nAN  - MAS:") + id + "\r\nAU  - " + author + "\r\nPY  - " + year +
           "\r\nTI  - " + title + "\r\nAB  - " + abstract + "\r\nER  - \r\n\r\n";
  };
  std::filesystem::create_directory(dir.Path("run"));
  std::ofstream(dir.Path("run/pearls.ris")) << record("30", "Lee, Li", "1994", "Editorial", "graphene lattice carbon");
  std::ofstream(dir.Path("run/cited.ris")) << record("31", "Kim, Ki", "2008", "Editorial", "graphene membranes")
                                           << record("40", "Ames, Al", "2001", "Graphene conductivity",
                                                     "graphene conductivity lattice");
  std::ofstream(dir.Path("run/citing.ris")) << record("32", "Lee, Li", "1995", "EDITORIAL", "graphene lattice carbon");
  const std::string command = "'" + std::string(WENDREL_EXE) + "' map --grow-dir '" + dir.Path("run") +
                              "' --positions '" + dir.Path("map.tsv") + "' >'" + dir.Path("out.txt") + "' 2>'" +
                              dir.Path("err.txt") + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << test::ReadFile(dir.Path("err.txt"));
  EXPECT_EQ(test::ReadFile(dir.Path("out.txt")).rfind("nodes: 3, ", 0), 0u) << test::ReadFile(dir.Path("out.txt"));
}

TEST(MapCommand, LayoutOptionsAreAttributesOnly) {
  test::TempDir dir;
  // An option that would name the layout's output file, or a quote that would change how the
  // command line splits, is refused before anything is read or laid out.
  for (const std::string options : {"-o/tmp/elsewhere", "-Gquadtree=fast -Tsvg", "-Glabel=\\\"a"}) {
    const std::string command = "'" + std::string(WENDREL_EXE) + "' map --ris '" + test::DataPath("map_articles.ris") +
                                "' --layout-options \"" + options + "\" 2>'" + dir.Path("err.txt") + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << options;
    EXPECT_EQ(WEXITSTATUS(status), 2) << options;
    EXPECT_NE(test::ReadFile(dir.Path("err.txt")).find("--layout-options takes"), std::string::npos) << options;
  }
}

}  // namespace
}  // namespace wendrel
