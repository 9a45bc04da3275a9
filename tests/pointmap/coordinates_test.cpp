// Loading positions into the map and fitting the view and node sizes to them.
#include <gtest/gtest.h>

#include <cmath>

#include "map_fixtures.h"

namespace wendrel {
namespace {

using test::MakeLayout;
using test::MapOnWindow;
using test::TempFolder;

TEST(SetCoordinates, FitsTheViewWithATenthMarginAndSizesNodesFromEdgeLengths) {
  MapOnWindow m;
  m.map.SetCoordinates(MakeLayout({{0, 0}, {10, 20}, {6, 5}}, {{0, 2}, {1, 2}}));
  EXPECT_EQ(m.map.NodeCount(), 3);
  EXPECT_FLOAT_EQ(m.map.DataWidth(), 10);
  EXPECT_FLOAT_EQ(m.map.DataHeight(), 20);
  EXPECT_FLOAT_EQ(m.map.ViewXMin(), -1);
  EXPECT_FLOAT_EQ(m.map.ViewXMax(), 11);
  EXPECT_FLOAT_EQ(m.map.ViewYMin(), -2);
  EXPECT_FLOAT_EQ(m.map.ViewYMax(), 22);
  EXPECT_FLOAT_EQ(m.map.DataXMin(), m.map.ViewXMin());
  EXPECT_FLOAT_EQ(m.map.DataYMax(), m.map.ViewYMax());
  // Mean horizontal edge length (6 + 4) / 2 = 5, a third of it.
  EXPECT_FLOAT_EQ(m.map.BaseNodeSize(), 5.0f / 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(m.map.Weight(i), 1.0f);
    EXPECT_EQ(m.map.NodeCluster(i), 0);
    EXPECT_EQ(m.map.NodeLabel(i), "");
  }
  EXPECT_FALSE(m.map.NodeIsPulsing());
  EXPECT_FALSE(m.surface->CallsOf(SurfaceOp::Rectangle).empty());
}

TEST(SetCoordinates, TwoNodesSixApartGiveSizeTwo) {
  MapOnWindow m;
  m.map.SetCoordinates(MakeLayout({{0, 1}, {6, 3}}, {{0, 1}}));
  EXPECT_FLOAT_EQ(m.map.BaseNodeSize(), 2);
  EXPECT_FLOAT_EQ(m.map.NodeSize(0), 2);
  EXPECT_FLOAT_EQ(m.map.NodeSize(1), 2);
  EXPECT_FLOAT_EQ(m.map.MeanNodeSize(), 2);
}

TEST(SetCoordinates, NodesAtOnePointGetATinyExtent) {
  MapOnWindow m;
  m.map.SetCoordinates(MakeLayout({{3, 4}, {3, 4}}, {{0, 1}}));
  EXPECT_FLOAT_EQ(m.map.DataWidth(), 0.1f);
  EXPECT_FLOAT_EQ(m.map.DataHeight(), 0.1f);
  EXPECT_FLOAT_EQ(m.map.ViewXMin(), 2.99f);
  EXPECT_FLOAT_EQ(m.map.ViewXMax(), 3.01f);
  EXPECT_FLOAT_EQ(m.map.ViewYMin(), 3.99f);
  EXPECT_FLOAT_EQ(m.map.ViewYMax(), 4.01f);
}

TEST(SetCoordinates, LayoutBeyond999IsFittedToItsNodes) {
  MapOnWindow m;
  m.map.SetCoordinates(MakeLayout({{1000, -2000}, {2000, -1500}}, {{0, 1}}));
  EXPECT_FLOAT_EQ(m.map.DataXMin(), 900);
  EXPECT_FLOAT_EQ(m.map.DataXMax(), 2100);
  EXPECT_FLOAT_EQ(m.map.DataYMin(), -2050);
  EXPECT_FLOAT_EQ(m.map.DataYMax(), -1450);
}

TEST(SetCoordinates, WithoutEdgesTheBaseSizeIsAFiftiethOfTheLargerExtent) {
  MapOnWindow m;
  m.map.SetCoordinates(MakeLayout({{0, 0}, {10, 25}}));
  EXPECT_FLOAT_EQ(m.map.BaseNodeSize(), 0.5f);
  EXPECT_TRUE(std::isfinite(m.map.MeanNodeSize()));
}

TEST(SetCoordinates, EdgeToAMissingNodeIsRefusedAndTheMapKept) {
  MapOnWindow m;
  m.map.SetCoordinates(MakeLayout({{0, 0}, {6, 0}}, {{0, 1}}));
  EXPECT_THROW(m.map.SetCoordinates(MakeLayout({{0, 0}, {1, 1}}, {{0, 5}})), PointMapError);
  EXPECT_EQ(m.map.NodeCount(), 2);
  EXPECT_FLOAT_EQ(m.map.NodeX(1), 6);
}

// A Pajek vertex line: the number right-aligned in columns 8-13, x in 48-53, y in 58-63.
std::string PajekVertex(int number, const char* x, const char* y) {
  std::string line(70, ' ');
  std::string n = std::to_string(number);
  line.replace(13 - n.size(), n.size(), n);  // right-aligned in columns 8-13
  line.replace(15, 5, "\"lab\"");
  line.replace(47, std::string(x).size(), x);
  line.replace(57, std::string(y).size(), y);
  return line;
}

TEST(LoadPajekCoordinates, ReadsFixedColumnsUpToTheLastVertex) {
  TempFolder folder;
  folder.Write("net.net", "*Network test\r\n*Vertices 3\r\n" + PajekVertex(2, "10.0", "20.0") + "\r\n" +
                              PajekVertex(1, "0.0", "0.0") + "\r\n" + PajekVertex(3, "5.0", "40.0") + "\r\n" +
                              PajekVertex(3, "99.0", "99.0") + "\r\n*Edges\r\n");
  MapOnWindow m;
  m.map.LoadPajekCoordinates(folder.File("net.net"), 3);
  ASSERT_EQ(m.map.NodeCount(), 3);
  EXPECT_FLOAT_EQ(m.map.NodeX(1), 10);
  EXPECT_FLOAT_EQ(m.map.NodeY(1), 20);
  EXPECT_FLOAT_EQ(m.map.NodeX(2), 5);  // the line after vertex 3 is never read
  EXPECT_EQ(m.map.Weight(0), 0.0f);
  // Margined extent 12 x 48 over 3 nodes.
  EXPECT_FLOAT_EQ(m.map.BaseNodeSize(), static_cast<float>(4 * std::sqrt(12.0 * 48.0 / 9)));
  EXPECT_FLOAT_EQ(m.map.NodeSize(2), m.map.BaseNodeSize());
  EXPECT_FLOAT_EQ(m.map.MeanNodeSize(), m.map.BaseNodeSize());
  EXPECT_FLOAT_EQ(m.map.ViewXMin(), -1);
  EXPECT_FLOAT_EQ(m.map.ViewYMax(), 44);

  folder.Write("bad.net", "*Network\r\n*Vertices 2\r\n" + PajekVertex(5, "1", "1") + "\r\n");
  EXPECT_THROW(m.map.LoadPajekCoordinates(folder.File("bad.net"), 2), PointMapError);
  EXPECT_EQ(m.map.NodeCount(), 3);
  EXPECT_THROW(m.map.LoadPajekCoordinates(folder.File("none.net"), 2), PointMapError);
}

TEST(LoadPajekCoordinates, NodesSharingOneXDrawNothing) {
  TempFolder folder;
  folder.Write("net.net", "*Network\n*Vertices 2\n" + PajekVertex(1, "3.0", "1.0") + "\n" +
                              PajekVertex(2, "3.0", "9.0") + "\n");
  MapOnWindow m;
  m.map.LoadPajekCoordinates(folder.File("net.net"), 2);
  EXPECT_EQ(m.map.DataWidth(), 0);
  m.surface->ForgetCalls();
  m.map.RenderView(true, false);
  EXPECT_TRUE(m.surface->Calls().empty());
}

TEST(LoadCoordinatesTest, ReadsTabSeparatedLinesAndSizesByDensity) {
  TempFolder folder;
  folder.Write("xy.txt", "a\t0\t0\r\nb\t10\t5.5\r\nc\t5\t20\r\nd\t99\t99\r\n");
  MapOnWindow m;
  EXPECT_FALSE(m.map.LoadCoordinatesTest(folder.File("xy.txt"), 3));
  ASSERT_EQ(m.map.NodeCount(), 3);
  EXPECT_FLOAT_EQ(m.map.NodeY(1), 5.5f);
  EXPECT_FLOAT_EQ(m.map.DataXMax(), 11);
  EXPECT_FLOAT_EQ(m.map.BaseNodeSize(), static_cast<float>(std::sqrt(12.0 * 24.0 / 9)));

  folder.Write("short.txt", "a\t1\r\n");
  EXPECT_THROW(m.map.LoadCoordinatesTest(folder.File("short.txt"), 1), PointMapError);
  folder.Write("text.txt", "a\tx\t1\r\n");
  EXPECT_THROW(m.map.LoadCoordinatesTest(folder.File("text.txt"), 1), PointMapError);
  EXPECT_EQ(m.map.NodeCount(), 3);
}

}  // namespace
}  // namespace wendrel
