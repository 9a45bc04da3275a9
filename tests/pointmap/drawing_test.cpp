// Drawing the map on a recording surface: shapes, colours, edges, labels, drag square.
#include <gtest/gtest.h>

#include <algorithm>

#include "map_fixtures.h"

namespace wendrel {
namespace {

constexpr Color kRed = Rgb(255, 0, 0), kGreen = Rgb(0, 255, 0), kBlue = Rgb(0, 0, 255), kBlack = 0;
using Colours = std::vector<std::pair<Color, Color>>;

// Three nodes 6 apart on a line (base size 2) and one far below, joined in a path; clusters red,
// blue, green and black.
struct DrawnMap : test::MapOnWindow {
  DrawnMap() {
    map.SetCoordinates(test::MakeLayout({{0, 0}, {6, 0}, {12, 0}, {18, 60}}, {{0, 1}, {1, 2}, {2, 3}}));
    map.SetNodeCluster(0, 12);
    map.SetNodeCluster(1, 9);
    map.SetNodeCluster(2, 10);
    map.SetSelectedNode(-1);
    map.SetHoverNode(-1);
  }
  // The calls of one drawing: mapping, clear, then what was drawn.
  std::vector<SurfaceCall> Draw() {
    surface->ForgetCalls();
    map.RenderView(true, false);
    return surface->Calls();
  }
  // Pen and fill of every node drawn (as squares).
  Colours NodeColours() {
    Draw();
    Colours colours;
    for (const auto& call : surface->CallsOf(SurfaceOp::Rectangle)) colours.emplace_back(call.pen, call.fill);
    return colours;
  }
};

TEST(MapDrawing, ShapesFollowNodeShape) {
  DrawnMap m;
  m.map.ZoomTo(0, 400);  // only node 0 is visible: view -2.25 .. 2.25 in X
  struct Case {
    int shape;
    SurfaceOp op;
    FillStyle fillStyle;
  };
  // The disc comes first: the shapes after it find the fill style set back.
  const Case cases[] = {{3, SurfaceOp::Circle, FillStyle::Solid},
                        {0, SurfaceOp::Rectangle, FillStyle::Transparent},
                        {1, SurfaceOp::FilledRectangle, FillStyle::Transparent},
                        {2, SurfaceOp::Circle, FillStyle::Transparent}};
  for (const auto& c : cases) {
    m.map.SetNodeShape(c.shape);
    auto calls = m.Draw();
    ASSERT_EQ(calls.size(), 3u) << c.shape;
    const SurfaceCall& node = calls[2];
    EXPECT_EQ(node.op, c.op) << c.shape;
    EXPECT_EQ(node.fillStyle, c.fillStyle) << c.shape;
    EXPECT_EQ(node.pen, kRed);
    EXPECT_EQ(node.fill, kRed);
    EXPECT_EQ(c.op == SurfaceOp::Circle ? node.x2 : node.y2, 2) << c.shape;  // radius or half side = node size
  }
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
  const Color sel = Rgb(1, 2, 3), hover = Rgb(4, 5, 6);
  EXPECT_EQ(m.NodeColours(), (Colours{{sel, kRed}, {hover, kBlue}, {kGreen, kGreen}, {kBlack, kBlack}}));
  m.map.SetHoverNode(0);  // both selected and hovered: drawn as selected
  EXPECT_EQ(m.NodeColours()[0].first, sel);

  // With the mask, ordinary nodes keep the pen of whatever was drawn before them.
  m.map.SetTemporalMask(true);
  m.map.SetHoverNode(-1);
  EXPECT_EQ(m.NodeColours(), (Colours{{sel, kRed}, {sel, kBlue}, {sel, kGreen}, {sel, kBlack}}));

  // A cluster outside the table leaves the colours of the node before.
  m.map.SetTemporalMask(false);
  m.map.SetSelectedNode(-1);
  m.map.SetNodeCluster(2, 300);
  EXPECT_EQ(m.NodeColours(), (Colours{{kRed, kRed}, {kBlue, kBlue}, {kBlue, kBlue}, {kBlack, kBlack}}));
}

TEST(MapDrawing, EdgesNeedOneVisibleEnd) {
  DrawnMap m;
  m.map.SetShowEdges(true);
  EXPECT_EQ(m.Draw().size(), 2u + 3u + 4u);
  m.map.ZoomTo(0, 400);  // node 0 only
  m.Draw();
  auto lines = m.surface->CallsOf(SurfaceOp::Line);
  ASSERT_EQ(lines.size(), 1u);  // 0-1 drawn in full; 1-2 and 2-3 have no visible end
  EXPECT_EQ(lines[0].pen, Rgb(100, 100, 100));
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

TEST(MapDrawing, DragSquareFollowsTheHorizontalMove) {
  DrawnMap m;
  m.map.MouseDown(kLeftButton, 0, 1, 2);
  m.map.MouseMove(kLeftButton, 0, 5, 100);
  auto calls = m.surface->Calls();
  auto box = std::find_if(calls.rbegin(), calls.rend(), [](const SurfaceCall& call) {
    return call.op == SurfaceOp::Rectangle && call.pen == kRed && call.x1 == 1;
  });
  ASSERT_NE(box, calls.rend());
  EXPECT_EQ(box->y1, 2);
  EXPECT_EQ(box->x2, 5);
  EXPECT_EQ(box->y2, 6);
}

}  // namespace
}  // namespace wendrel
