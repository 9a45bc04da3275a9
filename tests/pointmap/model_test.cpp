// The map's model: labels, clusters and their colours, weights and node sizes, visibility.
#include <gtest/gtest.h>

#include "map_fixtures.h"

namespace wendrel {
namespace {

using test::MakeLayout;
using test::MapOnWindow;

TEST(MapModel, LabelsReadAndWriteWithinTheList) {
  MapOnWindow m;
  m.map.SetCoordinates(MakeLayout({{0, 0}, {1, 1}, {2, 0}}, {{0, 1}}));
  m.map.SetLabelsAsIndex();
  EXPECT_EQ(m.map.NodeLabel(0), "1");
  EXPECT_EQ(m.map.NodeLabel(2), "3");
  EXPECT_EQ(m.map.NodeLabel(-1), "");
  m.map.SetNodeLabel(3, "past the end");
  EXPECT_THROW(m.map.NodeLabel(3), PointMapError);
  m.map.SetNodeLabel(1, "two");
  EXPECT_EQ(m.map.NodeLabel(1), "two");
  m.map.ResetNodeLabels("x");
  EXPECT_EQ(m.map.NodeLabel(1), "x");
  m.map.SetNodeCluster(2, 7);
  EXPECT_EQ(m.map.NodeCluster(2), 7);
  m.map.ResetNodeClusters();
  EXPECT_EQ(m.map.NodeCluster(2), 0);
  EXPECT_THROW(m.map.SetNodeCluster(3, 1), PointMapError);
  EXPECT_THROW(m.map.NodeX(-1), PointMapError);
}

TEST(MapModel, ClusterColourRanges) {
  PointMap2D map;
  EXPECT_FALSE(map.SetClusterColorRange(10, 11, 1, 2, 3, 4, 5, 6));
  EXPECT_EQ(map.GetClusterColor(10), 0u);
  EXPECT_TRUE(map.SetClusterColorRange(0, 2, 0, 0, 0, 200, 100, 50));
  EXPECT_EQ(map.GetClusterColor(0), Rgb(0, 0, 0));
  EXPECT_EQ(map.GetClusterColor(1), Rgb(100, 50, 25));
  EXPECT_EQ(map.GetClusterColor(2), Rgb(200, 100, 50));
  // Falling components interpolate downwards; halves round to even (12.5 -> 12, 37.5 -> 38).
  EXPECT_TRUE(map.SetClusterColorRange(20, 24, 255, 50, 10, 0, 0, 10));
  EXPECT_EQ(map.GetClusterColor(20), Rgb(255, 50, 10));
  EXPECT_EQ(map.GetClusterColor(21), Rgb(191, 38, 10));
  EXPECT_EQ(map.GetClusterColor(23), Rgb(64, 12, 10));
  EXPECT_EQ(map.GetClusterColor(24), Rgb(0, 0, 10));
  EXPECT_THROW(map.SetClusterColorRange(5, 3, 0, 0, 0, 0, 0, 0), PointMapError);
  map.SetClusterColor(255, 1, 2, 3);
  EXPECT_EQ(map.GetClusterColor(255), 1u + 2u * 256 + 3u * 65536);
}

TEST(MapModel, WeightsAndNodeSizes) {
  MapOnWindow m;
  m.map.SetCoordinates(MakeLayout({{0, 0}, {6, 0}, {3, 3}}, {{0, 1}, {1, 1}, {1, 2}}));
  m.map.SetBaseNodeSize(2);
  m.map.SetWeight(0, 16);
  EXPECT_FLOAT_EQ(m.map.NodeSize(0), 32);  // linear at once
  m.map.SetWeight(3, 5);                    // past the last node: ignored
  m.map.SetBaseNodeSize(2);                 // the size update uses the 0.75 power
  EXPECT_FLOAT_EQ(m.map.NodeSize(0), 16);
  EXPECT_FLOAT_EQ(m.map.MeanNodeSize(), (16.0f + 2 + 2) / 3);

  m.map.ResetNodeWeights();
  for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(m.map.NodeSize(i), 2);
  EXPECT_FLOAT_EQ(m.map.MeanNodeSize(), 2);

  EXPECT_FALSE(m.map.SetNodeWeights({1, 81, 0}));
  EXPECT_FLOAT_EQ(m.map.NodeSize(1), 54);  // 81^0.75 = 27
  EXPECT_FLOAT_EQ(m.map.NodeSize(2), 0);
  EXPECT_THROW(m.map.SetNodeWeights({1}), PointMapError);

  EXPECT_FALSE(m.map.SetNodeWeightAsDegree());
  EXPECT_EQ(m.map.Weight(0), 1);
  EXPECT_EQ(m.map.Weight(1), 3);  // the loop counts once
  EXPECT_EQ(m.map.Weight(2), 1);
}

TEST(MapModel, VisibilityIsStrictAndShapeIsAByte) {
  MapOnWindow m;
  m.map.SetCoordinates(MakeLayout({{0, 0}, {10, 10}, {5, 5}}, {{0, 1}}));
  EXPECT_TRUE(m.map.NodeVisible(0));
  m.map.ZoomTo(2, 200);  // view 2.5 .. 7.5
  EXPECT_TRUE(m.map.NodeVisible(2));
  EXPECT_FALSE(m.map.NodeVisible(0));
  m.map.ZoomTo(2, 100);  // view exactly 0 .. 10: the corner nodes lie on its edge
  EXPECT_FLOAT_EQ(m.map.ViewXMin(), 0);
  EXPECT_FALSE(m.map.NodeVisible(0));
  EXPECT_FALSE(m.map.NodeVisible(1));
  EXPECT_TRUE(m.map.NodeVisible(-1));
  EXPECT_TRUE(m.map.NodeVisible(3));

  m.map.SetNodeShape(255);
  EXPECT_EQ(m.map.NodeShape(), 255);
  EXPECT_THROW(m.map.SetNodeShape(256), PointMapError);
  EXPECT_THROW(m.map.SetNodeShape(-1), PointMapError);
  EXPECT_EQ(m.map.NodeShape(), 255);
}

TEST(MapModel, PlacementOnTheHost) {
  MapOnWindow m;
  m.map.TopLeft(10, 20);
  m.map.BottomRight(110, 70);
  Placement placement = m.surface->GetPlacement();
  EXPECT_EQ(placement.left, 10);
  EXPECT_EQ(placement.top, 20);
  EXPECT_EQ(placement.width, 100);
  EXPECT_EQ(placement.height, 50);
  EXPECT_EQ(m.map.PM2DCtlObject(), m.surface);
}

}  // namespace
}  // namespace wendrel
