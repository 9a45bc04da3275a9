// Drawing the map on a recording surface: set-up, shapes, colours, edges, labels, drag square.
#include <gtest/gtest.h>

#include <algorithm>

#include "map_fixtures.h"

namespace wendrel {
namespace {

using test::MakeLayout;
using test::MapOnWindow;

constexpr Color kYellow = Rgb(255, 255, 0);
constexpr Color kWhite = Rgb(255, 255, 255);
constexpr Color kGrey = Rgb(100, 100, 100);

// Three nodes 6 apart on a line (base size 2) and one far below, joined in a path.
struct DrawnMap : MapOnWindow {
  DrawnMap() {
    map.SetCoordinates(MakeLayout({{0, 0}, {6, 0}, {12, 0}, {18, 60}}, {{0, 1}, {1, 2}, {2, 3}}));
    map.ResetNodeClusters();
    map.SetNodeCluster(0, 12);  // red
    map.SetNodeCluster(1, 9);   // blue
    map.SetNodeCluster(2, 10);  // green
    map.SetSelectedNode(-1);
    map.SetHoverNode(-1);
  }
  std::vector<SurfaceCall> Draw(bool clear = true, bool zoomBox = false) {
    surface->ForgetCalls();
    map.RenderView(clear, zoomBox);
    return surface->Calls();
  }
};

TEST(MapDrawing, InitialisationSetsUpSurfaceTimerAndPalette) {
  HeadlessMapWindow window;
  PointMap2D map;
  EXPECT_FALSE(map.InitializePM2DCtl(window, nullptr));
  ASSERT_EQ(window.Pictures().size(), 1u);
  const RecordingSurface& surface = *window.Pictures()[0];
  EXPECT_EQ(surface.Name(), "PM2DMap");
  EXPECT_TRUE(surface.Visible() && surface.Enabled() && surface.Persistent());
  EXPECT_EQ(surface.LineWidth(), 2);
  EXPECT_EQ(surface.BackColor(), kWhite);
  EXPECT_EQ(surface.FontName(), "Courier");
  EXPECT_EQ(window.TimerName(), "PM2DMap_ticker");
  EXPECT_EQ(window.TimerIntervalMs(), 16);
  EXPECT_EQ(map.GetClusterColor(1), Rgb(0, 0, 128));
  EXPECT_EQ(map.GetClusterColor(7), Rgb(192, 192, 192));
  EXPECT_EQ(map.GetClusterColor(14), kYellow);
  EXPECT_EQ(map.GetClusterColor(16), 0u);
  EXPECT_EQ(map.LabelColor(), kYellow);

  // A surface of the owner's is used as it is; nothing is drawn before positions are set.
  RecordingSurface own("Own");
  PointMap2D other;
  other.InitializePM2DCtl(window, &own);
  EXPECT_EQ(window.Pictures().size(), 1u);
  EXPECT_EQ(window.TimerName(), "Own_ticker");
  own.ForgetCalls();
  other.RenderView(true, true);
  EXPECT_TRUE(own.Calls().empty());
}

TEST(MapDrawing, ShapesFollowNodeShape) {
  DrawnMap m;
  m.map.ZoomTo(0, 400);  // only node 0 is visible: view -2.25 .. 2.25 in X
  struct Case {
    int shape;
    SurfaceOp op;
    FillStyle fillStyle;
  };
  const Case cases[] = {{0, SurfaceOp::Rectangle, FillStyle::Transparent},
                        {1, SurfaceOp::FilledRectangle, FillStyle::Transparent},
                        {2, SurfaceOp::Circle, FillStyle::Transparent},
                        {3, SurfaceOp::Circle, FillStyle::Solid}};
  for (const auto& c : cases) {
    m.map.SetNodeShape(c.shape);
    auto calls = m.Draw();
    ASSERT_EQ(calls.size(), 3u) << c.shape;  // mapping, clear, the node
    EXPECT_EQ(calls[0].op, SurfaceOp::Mapping);
    EXPECT_EQ(calls[1].op, SurfaceOp::Clear);
    const SurfaceCall& node = calls[2];
    EXPECT_EQ(node.op, c.op) << c.shape;
    EXPECT_EQ(node.fillStyle, c.fillStyle) << c.shape;
    EXPECT_EQ(node.pen, Rgb(255, 0, 0));
    EXPECT_EQ(node.fill, Rgb(255, 0, 0));
    if (c.op == SurfaceOp::Circle) {
      EXPECT_EQ(node.x2, 2);  // radius = node size
    } else {
      EXPECT_EQ(node.x1, -2);
      EXPECT_EQ(node.y2, 2);
    }
  }
  m.map.SetNodeShape(3);
  m.Draw();
  m.map.SetNodeShape(0);
  EXPECT_EQ(m.Draw()[2].fillStyle, FillStyle::Transparent);  // set back after the disc

  m.map.SetNodeShape(7);
  m.map.SetShowNodeLabels(true);
  m.map.SetLabelsAsIndex();
  auto calls = m.Draw();
  ASSERT_EQ(calls.size(), 2u + 4u);  // no node, but every label
  EXPECT_EQ(calls[2].op, SurfaceOp::Text);
}

TEST(MapDrawing, SelectedHoveredAndOrdinaryColours) {
  DrawnMap m;
  m.map.SetClickedEdgeColor(1, 2, 3);
  m.map.SetPointEdgeColor(4, 5, 6);
  m.map.SetSelectedNode(0);
  m.map.SetHoverNode(1);
  auto nodes = m.Draw();
  nodes.erase(nodes.begin(), nodes.begin() + 2);
  ASSERT_EQ(nodes.size(), 4u);
  EXPECT_EQ(nodes[0].pen, Rgb(1, 2, 3));
  EXPECT_EQ(nodes[0].fill, Rgb(255, 0, 0));
  EXPECT_EQ(nodes[1].pen, Rgb(4, 5, 6));
  EXPECT_EQ(nodes[1].fill, Rgb(0, 0, 255));
  EXPECT_EQ(nodes[2].pen, Rgb(0, 255, 0));
  EXPECT_EQ(nodes[3].pen, Rgb(0, 0, 0));  // cluster 0

  // A node both selected and hovered is drawn as selected.
  m.map.SetHoverNode(0);
  EXPECT_EQ(m.Draw()[2].pen, Rgb(1, 2, 3));

  // With the mask, ordinary nodes keep the pen of whatever was drawn before them.
  m.map.SetTemporalMask(true);
  m.map.SetHoverNode(-1);
  auto masked = m.Draw();
  EXPECT_EQ(masked[3].pen, Rgb(1, 2, 3));
  EXPECT_EQ(masked[3].fill, Rgb(0, 0, 255));
  EXPECT_EQ(masked[4].pen, Rgb(1, 2, 3));

  // A cluster outside the table leaves the colours of the node before.
  m.map.SetTemporalMask(false);
  m.map.SetSelectedNode(-1);
  m.map.SetNodeCluster(2, 300);
  auto outside = m.Draw();
  EXPECT_EQ(outside[4].pen, Rgb(0, 0, 255));
  EXPECT_EQ(outside[4].fill, Rgb(0, 0, 255));
}

TEST(MapDrawing, EdgesNeedOneVisibleEnd) {
  DrawnMap m;
  m.map.SetShowEdges(true);
  EXPECT_EQ(m.Draw().size(), 2u + 3u + 4u);
  m.map.ZoomTo(0, 400);  // node 0 only
  m.Draw();
  auto lines = m.surface->CallsOf(SurfaceOp::Line);
  ASSERT_EQ(lines.size(), 1u);  // 0-1 drawn in full; 1-2 and 2-3 have no visible end
  EXPECT_EQ(lines[0].pen, kGrey);
  EXPECT_EQ(lines[0].x1, 0);
  EXPECT_EQ(lines[0].x2, 6);
}

TEST(MapDrawing, LabelsByThresholdEvenOutsideTheView) {
  DrawnMap m;
  m.map.SetLabelsAsIndex();
  m.map.SetShowNodeLabels(true);
  m.map.SetLabelColor(Rgb(9, 9, 9));
  m.map.SetNodeWeights({1, 3, 2, 5});
  m.map.ZoomTo(0, 400);
  m.map.SetNodeLabelThreshold(2);
  m.Draw();
  auto texts = m.surface->CallsOf(SurfaceOp::Text);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].text, "2");
  EXPECT_EQ(texts[0].x1, 6);
  EXPECT_EQ(texts[0].pen, Rgb(9, 9, 9));
  EXPECT_EQ(texts[2].text, "4");
  m.map.SetNodeLabelThreshold(0);
  m.Draw();
  EXPECT_EQ(m.surface->CallsOf(SurfaceOp::Text).size(), 4u);
  EXPECT_EQ(m.surface->Calls().back().op, SurfaceOp::Text);  // labels come last
}

TEST(MapDrawing, DragSquareAndRedrawWithoutClearing) {
  DrawnMap m;
  m.map.MouseDown(kLeftButton, 0, 1, 2);
  m.map.MouseMove(kLeftButton, 0, 5, 100);
  auto calls = m.surface->Calls();
  auto box = std::find_if(calls.rbegin(), calls.rend(), [](const SurfaceCall& call) {
    return call.op == SurfaceOp::Rectangle && call.pen == Rgb(255, 0, 0) && call.x1 == 1;
  });
  ASSERT_NE(box, calls.rend());
  EXPECT_EQ(box->y1, 2);
  EXPECT_EQ(box->x2, 5);
  EXPECT_EQ(box->y2, 6);  // square: height follows the horizontal move

  auto plain = m.Draw(false, false);
  EXPECT_EQ(plain[0].op, SurfaceOp::Mapping);
  EXPECT_NE(plain[1].op, SurfaceOp::Clear);
  EXPECT_EQ(plain[0].x1, m.map.ViewXMin());
  EXPECT_EQ(plain[0].y2, m.map.ViewYMax());
}

}  // namespace
}  // namespace wendrel
