// `wendrel map` end to end: the program maps a saved RIS list into a PNG and a positions table.
#include <gtest/gtest.h>

#include <cstdlib>
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
