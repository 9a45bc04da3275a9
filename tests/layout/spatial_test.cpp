// Spatial: plain output and dot text reading, graph questions, and layouts by the real Graphviz
// programs and by fake ones that fail in the ways a layout can fail.
#include "layout/spatial.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "layout_fixtures.h"
#include "platform/scripted_host.h"

namespace wendrel {
namespace {

using test::DotEdge;
using test::DotText;
using test::PlainText;
using test::TempFolder;

class SpatialTest : public ::testing::Test {
 protected:
  SpatialTest() : m_spatial(m_host, m_runner) { m_spatial.SetWorkFolder(m_folder.Path()); }

  ScriptedHost m_host;
  PosixProcessRunner m_runner;
  TempFolder m_folder;
  Spatial m_spatial;
};

TEST_F(SpatialTest, PlainOutputGivesScaleAndPositionsAndStringsOutMissingNodes) {
  std::string plain = "graph 1 5.5 4\nnode 12 9.5 9.25 0.1 0.1 12 solid plaintext black lightgrey\n";
  for (int k = 1; k <= 10; ++k) {
    if (k == 7) continue;
    plain += "node " + std::to_string(k) + " " + std::to_string(k) + ".5 " + std::to_string(k) +
             ".25 0.1 0.1 x solid plaintext black lightgrey\n";
  }
  plain += "edge 1 12 4 0 0 1 1 2 2 3 3 solid black\nstop\n";
  m_folder.Write("gvout.txt", plain);

  EXPECT_FALSE(m_spatial.LoadGVPlain("ignored.txt", 1, 10));
  EXPECT_EQ(m_spatial.NodeCount(), 10);
  EXPECT_FLOAT_EQ(m_spatial.ScaleX(), 5.5f);
  EXPECT_FLOAT_EQ(m_spatial.ScaleY(), 4.0f);
  // "node 1 " is not found in the line of node 12, which comes first.
  EXPECT_FLOAT_EQ(m_spatial.X(0), 1.5f);
  EXPECT_FLOAT_EQ(m_spatial.Y(0), 1.25f);
  EXPECT_FLOAT_EQ(m_spatial.X(9), 10.5f);
  EXPECT_FLOAT_EQ(m_spatial.X(6), 0.6f * 5.5f);
  EXPECT_FLOAT_EQ(m_spatial.Y(6), 4.0f / 1000);
  EXPECT_EQ(m_host.DoEventsCount(), 10);
  EXPECT_THROW(m_spatial.X(10), LayoutError);
  EXPECT_THROW(m_spatial.Y(-1), LayoutError);
}

TEST_F(SpatialTest, MalformedOrMissingPlainOutputIsReportedToTheCaller) {
  EXPECT_THROW(m_spatial.LoadGVPlain("", 1, 2), LayoutError);  // no file
  m_folder.Write("gvout.txt", "graph 1 2\n");
  EXPECT_THROW(m_spatial.LoadGVPlain("", 1, 2), LayoutError);
  m_folder.Write("gvout.txt", "graph 1 2 3\r\nnode 1 0.5\r\n");
  EXPECT_THROW(m_spatial.LoadGVPlain("", 1, 1), LayoutError);
  m_folder.Write("gvout.txt", "graph 1 2 3\r\nnode 1 abc 1.0 0.1\r\n");
  EXPECT_THROW(m_spatial.LoadGVPlain("", 1, 1), LayoutError);
  m_folder.Write("gvout.txt", "graph 1 2 3\r\nnode 1 0.5 1.5 0.1\r\n");  // CR LF line ends read too
  m_spatial.LoadGVPlain("", 1, 1);
  EXPECT_FLOAT_EQ(m_spatial.Y(0), 1.5f);
}

TEST_F(SpatialTest, DotTextGivesTheEdgeListAndDegrees) {
  m_spatial.SetGraphFromDot(DotText({{1, 2, 0.25}, {2, 3, 0.5}, {3, 3, 0.125}}), 1);
  ASSERT_EQ(m_spatial.EdgeCount(), 3);
  EXPECT_EQ(m_spatial.Edge(0).FromNode, 0);
  EXPECT_EQ(m_spatial.Edge(0).ToNode, 1);
  EXPECT_FLOAT_EQ(m_spatial.Edge(1).Length, 0.5f);
  EXPECT_EQ(m_spatial.Edge(2).FromNode, 2);
  EXPECT_EQ(m_spatial.NodeDegree(1), 2);
  EXPECT_EQ(m_spatial.NodeDegree(2), 2);  // the loop counts once
  EXPECT_EQ(m_spatial.NodeDegree(7), 0);
  EXPECT_THROW(m_spatial.Edge(3), LayoutError);

  m_spatial.SetGraphFromDot(DotText({{0, 4, 1.0}}), 0);
  ASSERT_EQ(m_spatial.EdgeCount(), 1);
  EXPECT_EQ(m_spatial.Edge(0).ToNode, 4);

  m_spatial.SetGraphFromDot(DotText({}), 1);
  EXPECT_EQ(m_spatial.EdgeCount(), 0);
}

TEST_F(SpatialTest, MalformedDotTextIsReportedAndKeepsThePreviousEdges) {
  m_spatial.SetGraphFromDot(DotText({{1, 2, 0.25}}), 1);
  EXPECT_THROW(m_spatial.SetGraphFromDot(DotText({{1, 2, 0.25}}) + "\r\n", 1), LayoutError);
  EXPECT_THROW(m_spatial.SetGraphFromDot("graph G {\n}", 1), LayoutError);
  std::string badNumber = DotText({{1, 2, 0.25}});
  badNumber.replace(badNumber.find("1 --"), 1, "x");
  EXPECT_THROW(m_spatial.SetGraphFromDot(badNumber, 1), LayoutError);
  EXPECT_EQ(m_spatial.EdgeCount(), 1);
}

TEST_F(SpatialTest, ExtentDistancesAndClipboard) {
  EXPECT_EQ(m_spatial.MinX(), 100);
  EXPECT_EQ(m_spatial.MaxX(), -100);
  EXPECT_EQ(m_spatial.MinY(), 100);
  EXPECT_EQ(m_spatial.MaxY(), -100);
  m_spatial.Copy2Clip();
  EXPECT_EQ(m_host.ClipboardText(), "");

  m_folder.Write("gvout.txt", PlainText(300, 300, {{150, 200}, {300, 204}, {153, 120}}));
  m_spatial.LoadGVPlain("", 1, 3);
  EXPECT_EQ(m_spatial.MinX(), 100);
  EXPECT_EQ(m_spatial.MaxX(), 300);
  EXPECT_EQ(m_spatial.MinY(), 100);
  EXPECT_EQ(m_spatial.MaxY(), 204);

  auto distances = m_spatial.GetProximityMatrix();
  ASSERT_EQ(distances.size(), 9u);
  EXPECT_FLOAT_EQ(distances[0 * 3 + 2], 80.05623f);
  EXPECT_FLOAT_EQ(distances[2 * 3 + 0], distances[0 * 3 + 2]);
  EXPECT_FLOAT_EQ(distances[0 * 3 + 1], std::hypot(150.0f, 4.0f));
  EXPECT_EQ(distances[1 * 3 + 1], 0.0f);

  m_folder.Write("gvout.txt", "graph 1 1 1\nnode 1 0.1 -2.5 0\nnode 2 1234567.8 0.333333333 0\n");
  m_spatial.LoadGVPlain("", 1, 2);
  m_spatial.Copy2Clip();
  EXPECT_EQ(m_host.ClipboardText(), "0.1\t-2.5\r\n1234568\t0.3333333\r\n");
}

TEST_F(SpatialTest, GraphFromFileEndsEveryLineWithCrLf) {
  m_folder.Write("g.dot", "graph G {\n\t1 -- 2;\r\n}");
  EXPECT_EQ(Spatial::GraphFromFile(m_folder.File("g.dot")), "graph G {\r\n\t1 -- 2;\r\n}\r\n");
  EXPECT_THROW(Spatial::GraphFromFile(m_folder.File("none.dot")), LayoutError);
}

// A small tree in the exporter's layout: a star around node 1, a path 5-6-7, and node 8 alone
// (known only through the node count).
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
      EXPECT_GE(m_spatial.X(i), 0);
      EXPECT_LE(m_spatial.X(i), m_spatial.ScaleX());
      EXPECT_GE(m_spatial.Y(i), 0);
      EXPECT_LE(m_spatial.Y(i), m_spatial.ScaleY());
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
    EXPECT_GE(m_spatial.MaxX(), m_spatial.X(0));
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("gvin.txt")));
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("gvout.txt")));
  }
  EXPECT_EQ(test::ReadFileText(m_folder.File("gvin.txt")), SmallTree() + "\r\n");
}

TEST_F(SpatialTest, NeatoHonoursEdgeLengths) {
  const std::string folder = DefaultGraphvizFolder();
  if (folder.empty()) GTEST_SKIP() << "Graphviz is not installed";
  ASSERT_TRUE(m_spatial.GraphVisLayout_CLI(folder, "neato", DotText({{1, 2, 1.0}, {2, 3, 3.0}}), 3, 1));
  auto distances = m_spatial.GetProximityMatrix();
  EXPECT_NEAR(distances[0 * 3 + 1], 1.0, 0.2);
  EXPECT_NEAR(distances[1 * 3 + 2], 3.0, 0.6);
}

TEST_F(SpatialTest, MissingProgramFailsSilently) {
  TempFolder empty;
  EXPECT_FALSE(m_spatial.GraphVisLayout_CLI(empty.Path(), "sfdp", SmallTree(), 8, 1));
  EXPECT_TRUE(m_host.Messages().empty());
  EXPECT_EQ(m_spatial.NodeCount(), 8);
  EXPECT_EQ(m_spatial.X(3), 0);
}

TEST_F(SpatialTest, MalformedPlainOutputShowsTheCommand) {
  TempFolder programs;
  // Writes its "plain output" to the file named after -o.
  programs.WriteProgram("sfdp", "echo 'graph 1 2 2' > \"${3#-o}\"; echo 'node 1 0.5' >> \"${3#-o}\"");
  EXPECT_FALSE(m_spatial.GraphVisLayout_CLI(programs.Path(), "unknown", SmallTree(), 8, 1));
  ASSERT_EQ(m_host.Messages().size(), 1u);
  const auto& message = m_host.Messages()[0];
  EXPECT_EQ(message.title, "Graph layout failed");
  EXPECT_EQ(message.icon, MessageIcon::Critical);
  EXPECT_EQ(message.text, "Command:\"" + programs.Path() + "/sfdp\" \"" + m_folder.File("gvin.txt") +
                              "\" -Tplain -o\"" + m_folder.File("gvout.txt") + "\"");
}

TEST_F(SpatialTest, FailingProgramDoesNotReuseThePreviousOutput) {
  TempFolder programs;
  programs.WriteProgram("fdp", "exit 1");
  m_folder.Write("gvout.txt", PlainText(1, 1, {{0.5, 0.5}, {0.25, 0.75}}));
  EXPECT_FALSE(m_spatial.GraphVisLayout_CLI(programs.Path(), "fdp", DotText({{1, 2, 0.5}}), 2, 1));
  ASSERT_EQ(m_host.Messages().size(), 1u);
  EXPECT_EQ(m_host.Messages()[0].title, "Graph layout failed");
  EXPECT_EQ(m_spatial.X(1), 0);
}

TEST_F(SpatialTest, DotTextEndingInALineBreakFailsAfterThePositionsWereRead) {
  TempFolder programs;
  programs.WriteProgram("neato", "printf 'graph 1 2 2\\nnode 1 0.5 1.5 0.1\\nnode 2 1 1 0.1\\nstop\\n' > \"${3#-o}\"");
  EXPECT_TRUE(m_spatial.GraphVisLayout_CLI(programs.Path(), "neato", DotText({{1, 2, 0.5}}) + "\r\n", 2, 1));
  ASSERT_EQ(m_host.Messages().size(), 1u);
  EXPECT_EQ(m_host.Messages()[0].title, "Graph layout failed");
  EXPECT_FLOAT_EQ(m_spatial.Y(0), 1.5f);
}

TEST_F(SpatialTest, UnwritableWorkFolderShowsTheGraphvizFolder) {
  m_spatial.SetWorkFolder(m_folder.File("missing/folder"));
  EXPECT_FALSE(m_spatial.GraphVisLayout_CLI("/usr/bin", "sfdp", SmallTree(), 8, 1));
  ASSERT_EQ(m_host.Messages().size(), 1u);
  EXPECT_EQ(m_host.Messages()[0].text, "Command:/usr/bin");
}

}  // namespace
}  // namespace wendrel
