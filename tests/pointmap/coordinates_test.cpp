// Loading positions into the map, fitting the view and node sizes to them, node weights, and
// cluster colour ranges.
#include <gtest/gtest.h>

#include <cmath>

#include "map_fixtures.h"

namespace wendrel {
namespace {

using test::MakeLayout;
using test::MapOnWindow;

TEST(SetCoordinates, FitsTheViewWithATenthMarginAndSizesNodesFromEdgeLengths) {
  struct Case {
    const char* name;
    std::vector<std::pair<double, double>> positions;
    std::vector<std::pair<int, int>> edges;
    test::Extent extent;
    float baseSize;
  };
  const Case cases[] = {
      // Mean horizontal edge length (6 + 4) / 2 = 5, a third of it.
      {"spread", {{0, 0}, {10, 20}, {6, 5}}, {{0, 2}, {1, 2}}, {-1, 11, -2, 22}, 5.0f / 3},
      {"one point gets extent 0.1", {{3, 4}, {3, 4}}, {{0, 1}}, {2.99f, 3.01f, 3.99f, 4.01f}, 0},
      {"beyond 999 fits its nodes", {{1000, -2000}, {2000, -1500}}, {{0, 1}}, {900, 2100, -2050, -1450}, 1000 / 3.0f},
      {"no edges: a fiftieth of the larger extent", {{0, 0}, {10, 25}}, {}, {-1, 11, -2.5f, 27.5f}, 0.5f},
      {"no nodes keep the starting extent", {}, {}, {799.2f, -799.2f, 799.2f, -799.2f}, 1998.0f / 50},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MapOnWindow m;
    m.map.SetCoordinates(MakeLayout(c.positions, c.edges));
    ASSERT_EQ(m.map.NodeCount(), static_cast<int32_t>(c.positions.size()));
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(test::DataOf(m.map)[i], c.extent[i]) << i;
    EXPECT_EQ(test::ViewOf(m.map), test::DataOf(m.map));
    EXPECT_FLOAT_EQ(m.map.BaseNodeSize(), c.baseSize);
    for (int i = 0; i < m.map.NodeCount(); ++i) {
      EXPECT_EQ(m.map.Weight(i), 1.0f);
      EXPECT_FLOAT_EQ(m.map.NodeSize(i), c.baseSize);
    }
    EXPECT_FLOAT_EQ(m.map.MeanNodeSize(), c.positions.empty() ? 0 : c.baseSize);
  }
}

TEST(MapModel, WeightsSizeNodesByTheirThreeQuarterPower) {
  MapOnWindow m;
  m.map.SetCoordinates(MakeLayout({{0, 0}, {6, 0}, {3, 3}}, {{0, 1}, {1, 1}, {1, 2}}));
  m.map.SetBaseNodeSize(2);
  EXPECT_FALSE(m.map.SetNodeWeights({16, 81, 0}));
  EXPECT_FLOAT_EQ(m.map.NodeSize(0), 16);  // 16^0.75 = 8
  EXPECT_FLOAT_EQ(m.map.NodeSize(1), 54);  // 81^0.75 = 27
  EXPECT_FLOAT_EQ(m.map.MeanNodeSize(), (16.0f + 54 + 0) / 3);
  EXPECT_THROW(m.map.SetNodeWeights({1}), PointMapError);
  m.map.SetNodeWeightAsDegree();
  EXPECT_EQ(m.map.Weight(1), 3);  // the loop counts once
  EXPECT_EQ(m.map.Weight(2), 1);
}

TEST(MapModel, ClusterColourRangesRiseAndFall) {
  PointMap2D map;
  EXPECT_FALSE(map.SetClusterColorRange(10, 11, 1, 2, 3, 4, 5, 6));
  EXPECT_EQ(map.GetClusterColor(10), 0u);
  EXPECT_TRUE(map.SetClusterColorRange(0, 2, 0, 0, 0, 200, 100, 50));
  EXPECT_EQ(map.GetClusterColor(1), Rgb(100, 50, 25));  // rising
  // Falling components interpolate downwards; halves round to even (12.5 -> 12, 37.5 -> 38).
  EXPECT_TRUE(map.SetClusterColorRange(20, 24, 255, 50, 10, 0, 0, 10));
  EXPECT_EQ(map.GetClusterColor(21), Rgb(191, 38, 10));
  EXPECT_EQ(map.GetClusterColor(23), Rgb(64, 12, 10));
  EXPECT_EQ(map.GetClusterColor(24), Rgb(0, 0, 10));
  EXPECT_THROW(map.SetClusterColorRange(5, 3, 0, 0, 0, 0, 0, 0), PointMapError);
}

// A Pajek vertex line: the number right-aligned in columns 8-13, x in 48-53, y in 58-63.
std::string PajekVertex(int number, const std::string& x, const std::string& y) {
  std::string line(70, ' ');
  const std::string n = std::to_string(number);
  line.replace(13 - n.size(), n.size(), n);
  line.replace(47, x.size(), x);
  line.replace(57, y.size(), y);
  return line + "\r\n";
}

TEST(LoadCoordinates, PajekColumnsAndTabSeparatedLinesSizeNodesByDensity) {
  test::TempDir folder;
  test::WriteFile(folder.Path("net.net"), "*Network\r\n*Vertices 3\r\n" + PajekVertex(2, "10.0", "20.0") +
                                              PajekVertex(1, "0.0", "0.0") + PajekVertex(3, "5.0", "40.0") +
                                              PajekVertex(3, "99.0", "99.0") + "*Edges\r\n");
  MapOnWindow m;
  m.map.LoadPajekCoordinates(folder.Path("net.net"), 3);
  ASSERT_EQ(m.map.NodeCount(), 3);
  EXPECT_FLOAT_EQ(m.map.NodeY(1), 20);
  EXPECT_FLOAT_EQ(m.map.NodeX(2), 5);  // the line after vertex 3 is never read
  // Margined extent 12 x 48 over 3 nodes.
  EXPECT_FLOAT_EQ(m.map.BaseNodeSize(), static_cast<float>(4 * std::sqrt(12.0 * 48.0 / 9)));
  EXPECT_FLOAT_EQ(m.map.MeanNodeSize(), m.map.BaseNodeSize());

  test::WriteFile(folder.Path("xy.txt"), "a\t0\t0\r\nb\t10\t5.5\r\nc\t5\t20\r\nd\t99\t99\r\n");
  EXPECT_FALSE(m.map.LoadCoordinatesTest(folder.Path("xy.txt"), 3));
  EXPECT_FLOAT_EQ(m.map.NodeY(1), 5.5f);
  EXPECT_FLOAT_EQ(m.map.BaseNodeSize(), static_cast<float>(std::sqrt(12.0 * 24.0 / 9)));

  // Nodes sharing one X have no width, and the map draws nothing.
  test::WriteFile(folder.Path("line.net"),
                  "*Network\n*Vertices 2\n" + PajekVertex(1, "3.0", "1.0") + PajekVertex(2, "3.0", "9.0"));
  m.map.LoadPajekCoordinates(folder.Path("line.net"), 2);
  EXPECT_EQ(m.map.DataWidth(), 0);
  m.surface->ForgetCalls();
  m.map.RenderView(true, false);
  EXPECT_TRUE(m.surface->Calls().empty());
}

TEST(LoadCoordinates, MissingOrMalformedFilesAreRefusedAndTheMapKept) {
  test::TempDir folder;
  MapOnWindow m;
  m.map.SetCoordinates(MakeLayout({{0, 0}, {6, 0}}, {{0, 1}}));
  test::WriteFile(folder.Path("bad.net"), "*Network\r\n*Vertices 2\r\n" + PajekVertex(5, "1", "1"));
  EXPECT_THROW(m.map.LoadPajekCoordinates(folder.Path("bad.net"), 2), PointMapError);
  EXPECT_THROW(m.map.LoadPajekCoordinates(folder.Path("none.net"), 2), PointMapError);
  for (const char* malformed : {"a\t1\r\n", "a\tx\t1\r\n"}) {
    test::WriteFile(folder.Path("bad.txt"), malformed);
    EXPECT_THROW(m.map.LoadCoordinatesTest(folder.Path("bad.txt"), 1), PointMapError) << malformed;
  }
  // An edge to a node the layout does not have.
  EXPECT_THROW(m.map.SetCoordinates(MakeLayout({{0, 0}, {1, 1}}, {{0, 5}})), PointMapError);
  EXPECT_EQ(m.map.NodeCount(), 2);
  EXPECT_FLOAT_EQ(m.map.NodeX(1), 6);
}

}  // namespace
}  // namespace wendrel
