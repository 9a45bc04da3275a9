// The dot text of a spanning tree, read back by the layout code: the same edges, ascending.
#include <gtest/gtest.h>

#include <random>

#include "layout/spatial.h"
#include "platform/process_runner.h"
#include "platform/scripted_host.h"
#include "proximity/proximity_matrix.h"

namespace wendrel {
namespace {

TEST(Matrix2Dot, ReadBackByTheLayout) {
  ScriptedHost host;
  std::mt19937 random(2);
  ProximityMatrix m(host);
  m.InitMatrix(30, 1);
  for (int32_t i = 0; i < 30; ++i)
    for (int32_t j = i + 1; j < 30; ++j) {
      float v = static_cast<float>(random() % 100) / 100;
      m.SetValue(i, j, v);
      m.SetValue(j, i, v);
    }
  int32_t start = -1;
  ProximityMatrix tree = m.Transform2MST(start);
  uint8_t firstNode = 1;
  const std::string dot = tree.Matrix2Dot(1, firstNode, "", 0, 1);
  PosixProcessRunner runner;
  Spatial spatial(host, runner);
  spatial.SetGraphFromDot(dot, 1);
  ASSERT_EQ(spatial.EdgeCount(), 29);
  float previous = 0;
  for (int32_t e = 0; e < spatial.EdgeCount(); ++e) {
    const SpatialEdge& edge = spatial.Edge(e);
    ASSERT_LT(edge.FromNode, edge.ToNode);
    EXPECT_NEAR(edge.Length, tree.Value(edge.FromNode, edge.ToNode), 5e-6);
    EXPECT_GE(edge.Length, previous);  // ascending distances
    previous = edge.Length;
  }
}

}  // namespace
}  // namespace wendrel
