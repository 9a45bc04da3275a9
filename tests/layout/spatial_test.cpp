// Spatial: plain output and dot text reading, graph questions, and layouts by the real Graphviz
// programs and by fake ones that fail in the ways a layout can fail.
#include "layout/spatial.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

#include "layout_fixtures.h"
#include "platform/scripted_host.h"

namespace wendrel {
namespace {

using test::DotText;
using test::PlainText;

class SpatialTest : public ::testing::Test {
 protected:
  SpatialTest() : m_spatial(m_host, m_runner) { m_spatial.SetWorkFolder(m_folder.Root().string()); }
  void WriteOutput(const std::string& text) { test::WriteFile(m_folder.Path("gvout.txt"), text); }

  ScriptedHost m_host;
  PosixProcessRunner m_runner;
  test::TempDir m_folder;
  test::TempDir m_programs;
  Spatial m_spatial;
};

TEST_F(SpatialTest, PlainOutputGivesScaleAndPositionsAndStringsOutMissingNodes) {
  std::string plain = "graph 1 5.5 4\nnode 12 9.5 9.25 0.1 0.1 12 solid plaintext black lightgrey\n";
  for (int k = 1; k <= 10; ++k) {
    const std::string n = std::to_string(k);
    if (k != 7) plain += "node " + n + " " + n + ".5 " + n + ".25 0.1 x\n";
  }
  WriteOutput(plain + "edge 1 12 4 0 0 1 1 2 2 3 3 solid black\nstop\n");
  EXPECT_FALSE(m_spatial.LoadGVPlain("ignored.txt", 1, 10));
  EXPECT_EQ(m_spatial.NodeCount(), 10);
  EXPECT_FLOAT_EQ(m_spatial.ScaleX(), 5.5f);
  // "node 1 " is not found in the line of node 12, which comes first.
  EXPECT_FLOAT_EQ(m_spatial.X(0), 1.5f);
  EXPECT_FLOAT_EQ(m_spatial.Y(0), 1.25f);
  EXPECT_FLOAT_EQ(m_spatial.X(6), 0.6f * 5.5f);
  EXPECT_FLOAT_EQ(m_spatial.Y(6), 4.0f / 1000);
  EXPECT_EQ(m_host.DoEventsCount(), 10);
  EXPECT_THROW(m_spatial.X(10), LayoutError);
  EXPECT_THROW(m_spatial.Y(-1), LayoutError);
}

TEST_F(SpatialTest, MalformedInputIsReportedToTheCaller) {
  EXPECT_THROW(m_spatial.LoadGVPlain("", 1, 2), LayoutError);  // no file
  for (const char* plain : {"graph 1 2\n", "graph 1 2 3\r\nnode 1 0.5\r\n", "graph 1 2 3\r\nnode 1 abc 1.0 0.1\r\n"}) {
    WriteOutput(plain);
    EXPECT_THROW(m_spatial.LoadGVPlain("", 1, 1), LayoutError) << plain;
  }
  WriteOutput("graph 1 2 3\r\nnode 1 0.5 1.5 0.1\r\n");  // CR LF line ends read too
  m_spatial.LoadGVPlain("", 1, 1);
  EXPECT_FLOAT_EQ(m_spatial.Y(0), 1.5f);

  m_spatial.SetGraphFromDot(DotText({{1, 2, 0.25}}), 1);
  std::string badNumber = DotText({{1, 2, 0.25}});
  badNumber.replace(badNumber.find("1 --"), 1, "x");
  std::string wrapping = DotText({{1, 2, 0.25}});
  wrapping.replace(wrapping.find("1 --"), 1, "-2147483648");
  for (const std::string& dot : {DotText({{1, 2, 0.25}}) + "\r\n", std::string("graph G {\n}"), badNumber, wrapping}) {
    EXPECT_THROW(m_spatial.SetGraphFromDot(dot, 1), LayoutError) << dot;
  }
  EXPECT_EQ(m_spatial.EdgeCount(), 1);  // the previous edges are kept
  EXPECT_THROW(Spatial::GraphFromFile(m_folder.Path("none.dot")), LayoutError);
}

TEST_F(SpatialTest, ExtentDistancesAndClipboard) {
  m_spatial.Copy2Clip();
  EXPECT_EQ(m_host.ClipboardText(), "");

  WriteOutput(PlainText(300, 300, {{150, 200}, {300, 204}, {153, 120}}));
  m_spatial.LoadGVPlain("", 1, 3);
  // The search for the extremes starts from 100 and -100.
  EXPECT_EQ((std::array{m_spatial.MinX(), m_spatial.MaxX(), m_spatial.MinY(), m_spatial.MaxY()}),
            (std::array{100.0f, 300.0f, 100.0f, 204.0f}));
  auto distances = m_spatial.GetProximityMatrix();
  ASSERT_EQ(distances.size(), 9u);
  for (int k = 0; k < 9; ++k) {
    const int i = k / 3, j = k % 3;
    EXPECT_FLOAT_EQ(distances[k], std::hypot(m_spatial.X(i) - m_spatial.X(j), m_spatial.Y(i) - m_spatial.Y(j))) << k;
  }

  WriteOutput("graph 1 1 1\nnode 1 0.1 -2.5 0\nnode 2 1234567.8 0.333333333 0\n");
  m_spatial.LoadGVPlain("", 1, 2);
  m_spatial.Copy2Clip();
  EXPECT_EQ(m_host.ClipboardText(), "0.1\t-2.5\r\n1234568\t0.3333333\r\n");
}

// A star around node 1, a path 5-6-7, and node 8 alone (known only through the node count).
std::string SmallTree() {
  return DotText({{1, 2, 0.2}, {1, 3, 0.3}, {1, 4, 0.4}, {4, 5, 0.5}, {5, 6, 0.25}, {6, 7, 0.35}});
}

TEST_F(SpatialTest, RealProgramsLayOutTheTree) {
  const std::string folder = DefaultGraphvizFolder();
  if (folder.empty()) GTEST_SKIP() << "Graphviz is not installed";
  for (const char* program : {"sfdp", "neato", "fdp"}) {
    SCOPED_TRACE(program);
    ASSERT_TRUE(m_spatial.GraphVisLayout_CLI(folder, program, SmallTree(), 8, 1));
    EXPECT_TRUE(m_host.Messages().empty());
    ASSERT_EQ(m_spatial.NodeCount(), 8);
    EXPECT_GT(m_spatial.ScaleX(), 0);
    EXPECT_GT(m_spatial.ScaleY(), 0);
    std::set<std::pair<float, float>> distinct;
    for (int i = 0; i < 7; ++i) {
      const float x = m_spatial.X(i), y = m_spatial.Y(i);
      EXPECT_TRUE(x >= 0 && x <= m_spatial.ScaleX() && y >= 0 && y <= m_spatial.ScaleY()) << i;
      distinct.insert({m_spatial.X(i), m_spatial.Y(i)});
    }
    EXPECT_EQ(distinct.size(), 7u);
    // Node 8 is in no edge, so the program never saw it.
    EXPECT_FLOAT_EQ(m_spatial.X(7), 7.0f / 8 * m_spatial.ScaleX());
    EXPECT_FLOAT_EQ(m_spatial.Y(7), m_spatial.ScaleY() / 1000);
    EXPECT_EQ(m_spatial.EdgeCount(), 6);
    EXPECT_EQ(m_spatial.NodeDegree(0), 3);
    EXPECT_EQ(m_spatial.NodeDegree(3), 2);
    EXPECT_EQ(m_spatial.NodeDegree(7), 0);
  }
  // neato honours the edge lengths.
  ASSERT_TRUE(m_spatial.GraphVisLayout_CLI(folder, "neato", DotText({{1, 2, 1.0}, {2, 3, 3.0}}), 3, 1));
  auto distances = m_spatial.GetProximityMatrix();
  EXPECT_NEAR(distances[0 * 3 + 1], 1.0, 0.2);
  EXPECT_NEAR(distances[1 * 3 + 2], 3.0, 0.6);
}

TEST_F(SpatialTest, MissingProgramFailsSilently) {
  EXPECT_FALSE(m_spatial.GraphVisLayout_CLI(m_programs.Root().string(), "sfdp", SmallTree(), 8, 1));
  EXPECT_TRUE(m_host.Messages().empty());
  EXPECT_EQ(m_spatial.NodeCount(), 8);
  EXPECT_EQ(m_spatial.X(3), 0);
}

TEST_F(SpatialTest, MalformedPlainOutputShowsTheCommand) {
  // Writes its "plain output" to the file named after -o; an unknown program name runs sfdp.
  test::WriteProgram(m_programs, "sfdp", "echo 'graph 1 2 2' > \"${3#-o}\"; echo 'node 1 0.5' >> \"${3#-o}\"");
  EXPECT_FALSE(m_spatial.GraphVisLayout_CLI(m_programs.Root().string(), "unknown", SmallTree(), 8, 1));
  ASSERT_EQ(m_host.Messages().size(), 1u);
  const auto& message = m_host.Messages()[0];
  EXPECT_EQ(message.title, "Graph layout failed");
  EXPECT_EQ(message.icon, MessageIcon::Critical);
  EXPECT_EQ(message.text, "Command:\"" + m_programs.Path("sfdp") + "\" \"" + m_folder.Path("gvin.txt") +
                              "\" -Tplain -o\"" + m_folder.Path("gvout.txt") + "\"");
}

TEST_F(SpatialTest, LayoutOptionsGoBeforeTheInputFile) {
  const std::string arguments = m_folder.Path("arguments.txt");
  test::WriteProgram(m_programs, "sfdp", "printf '%s\\n' \"$@\" > '" + arguments + "'; exit 1");
  m_spatial.SetLayoutOptions("-Gquadtree=fast -Goverlap=true");
  EXPECT_FALSE(m_spatial.GraphVisLayout_CLI(m_programs.Root().string(), "sfdp", SmallTree(), 8, 1));
  std::ifstream in(arguments);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"-Gquadtree=fast", "-Goverlap=true", m_folder.Path("gvin.txt"), "-Tplain",
                                             "-o" + m_folder.Path("gvout.txt")}));
}

TEST_F(SpatialTest, FailingProgramDoesNotReuseThePreviousOutput) {
  test::WriteProgram(m_programs, "fdp", "exit 1");
  WriteOutput(PlainText(1, 1, {{0.5, 0.5}, {0.25, 0.75}}));
  EXPECT_FALSE(m_spatial.GraphVisLayout_CLI(m_programs.Root().string(), "fdp", DotText({{1, 2, 0.5}}), 2, 1));
  ASSERT_EQ(m_host.Messages().size(), 1u);
  EXPECT_EQ(m_host.Messages()[0].title, "Graph layout failed");
  EXPECT_EQ(m_spatial.X(1), 0);
}

TEST_F(SpatialTest, UnwritableWorkFolderShowsTheGraphvizFolder) {
  m_spatial.SetWorkFolder(m_folder.Path("missing/folder"));
  EXPECT_FALSE(m_spatial.GraphVisLayout_CLI("/usr/bin", "sfdp", SmallTree(), 8, 1));
  ASSERT_EQ(m_host.Messages().size(), 1u);
  EXPECT_EQ(m_host.Messages()[0].text, "Command:/usr/bin");
}

}  // namespace
}  // namespace wendrel
