// A map a reader can take in: nodes of any weight stay visible and hoverable, outlines stand out
// from the background, labels never overlap, the legend, and zooming with the wheel or to the whole map.
#include <gtest/gtest.h>

#include <cmath>

#include "map_fixtures.h"
#include "pointmap/article_look.h"

namespace wendrel {
namespace {

constexpr float kPicture = 200;

// A map on a 200 x 200 pixel picture.
struct SizedMap : test::MapOnWindow {
  explicit SizedMap(const std::vector<std::pair<double, double>>& positions,
                    const std::vector<std::pair<int, int>>& edges) {
    surface->SetPlacement({0, 0, kPicture, kPicture});
    map.SetCoordinates(test::MakeLayout(positions, edges));
    map.SetSelectedNode(-1);
    map.SetHoverNode(-1);
  }
  std::vector<SurfaceCall> Draw(SurfaceOp op) {
    surface->ForgetCalls();
    map.RenderView(true, false);
    return surface->CallsOf(op);
  }
  float PixelX(float x) const { return (x - map.ViewXMin()) * map.PixelsPerWorldX(); }
  float PixelY(float y) const { return (y - map.ViewYMin()) * map.PixelsPerWorldY(); }
};

bool Intersect(const LabelBox& a, const LabelBox& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// A 6 x 6 grid of nodes 1 apart, joined in rows, every one labelled with a long text.
std::vector<std::pair<double, double>> Grid() {
  std::vector<std::pair<double, double>> positions;
  for (int row = 0; row < 6; ++row) {
    for (int column = 0; column < 6; ++column) positions.emplace_back(column, row);
  }
  return positions;
}

std::vector<std::pair<int, int>> Rows() {
  std::vector<std::pair<int, int>> edges;
  for (int row = 0; row < 6; ++row) {
    for (int column = 0; column < 5; ++column) edges.emplace_back(row * 6 + column, row * 6 + column + 1);
  }
  return edges;
}

TEST(MapLegibility, ContrastingShadeKeepsTheHueAndReachesThreeToOne) {
  EXPECT_NEAR(ContrastRatio(Rgb(0, 0, 0), Rgb(255, 255, 255)), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(Rgb(80, 80, 80), Rgb(80, 80, 80)), 1.0, 1e-9);
  // Every colour of the article map against its dark background, and white and black ones.
  for (const Color color : {Color{0}, kPearlColor, kCitedColor, kCitingColor}) {
    const Color shade = ContrastingShade(color, kArticleMapBackground);
    EXPECT_GE(ContrastRatio(shade, kArticleMapBackground), 3.0) << std::hex << color;
    // Lightened towards white: no component falls.
    EXPECT_GE(RedOf(shade), RedOf(color));
    EXPECT_GE(GreenOf(shade), GreenOf(color));
    EXPECT_GE(BlueOf(shade), BlueOf(color));
  }
  // A colour that already stands out is kept; on a light background the shade darkens.
  EXPECT_EQ(ContrastingShade(Rgb(255, 255, 0), kArticleMapBackground), Rgb(255, 255, 0));
  const Color onWhite = ContrastingShade(Rgb(130, 200, 0), Rgb(255, 255, 255));
  EXPECT_GE(ContrastRatio(onWhite, Rgb(255, 255, 255)), 3.0);
  EXPECT_LT(GreenOf(onWhite), 200);
}

TEST(MapLegibility, OutlinesStandOutOnlyWhenAsked) {
  SizedMap m({{0, 0}, {6, 0}}, {{0, 1}});
  m.map.SetNodeShape(3);
  m.map.SetNodeCluster(0, 4);  // dark red on dark grey
  auto discs = m.Draw(SurfaceOp::Circle);
  ASSERT_EQ(discs.size(), 2u);
  EXPECT_EQ(discs[0].pen, m.map.GetClusterColor(4));
  m.map.SetOutlineContrast(true, kArticleMapBackground);
  discs = m.Draw(SurfaceOp::Circle);
  EXPECT_EQ(discs[0].fill, m.map.GetClusterColor(4)) << "the fill keeps its hue";
  EXPECT_GE(ContrastRatio(discs[0].pen, kArticleMapBackground), 3.0);
  // The selected node keeps its own outline colour.
  m.map.SetSelectedNode(1);
  discs = m.Draw(SurfaceOp::Circle);
  EXPECT_EQ(discs[1].pen, m.map.ClickedEdgeColor());
  // Placed labels are written in a shade of the label colour that reads on the background.
  m.map.SetLabelColor(Rgb(0, 128, 255));
  m.map.SetShowNodeLabels(true);
  m.map.SetNodeLabel(0, "mining");
  m.map.SetLabelPlacement({true, {}, {}});
  const auto texts = m.Draw(SurfaceOp::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_GE(ContrastRatio(texts[0].pen, kArticleMapBackground), 4.5);
  EXPECT_GT(BlueOf(texts[0].pen), RedOf(texts[0].pen)) << "still blue";
}

TEST(MapLegibility, NoWeightMakesANodeVanishOrUnhoverable) {
  SizedMap m({{0, 0}, {6, 0}, {12, 0}}, {{0, 1}, {1, 2}});
  m.map.SetNodeShape(3);
  m.map.SetNodeWeights({0, 1, 0});
  ASSERT_EQ(m.map.NodeSize(0), 0.0f);
  // As described, a weightless node is drawn as a point and cannot be hovered.
  m.map.MouseMove(0, 0, m.map.NodeX(0), m.map.NodeY(0));
  EXPECT_EQ(m.map.HoverNode(), -1);

  m.map.SetMinimumNodePixels(3);
  for (const float zoom : {100.0f, 1000.0f, 10.0f}) {
    m.map.ZoomTo(1, zoom);
    const auto discs = m.Draw(SurfaceOp::Circle);
    ASSERT_FALSE(discs.empty());
    for (const auto& disc : discs) {
      EXPECT_GE(disc.x2 * m.map.PixelsPerWorldX(), 3.0f - 1e-3f) << "zoom " << zoom;
    }
  }
  m.map.FitView();
  m.map.MouseMove(0, 0, m.map.NodeX(2), m.map.NodeY(2));
  EXPECT_EQ(m.map.HoverNode(), 2);
  // A heavier node keeps its own size.
  const auto discs = m.Draw(SurfaceOp::Circle);
  EXPECT_EQ(discs[1].x2, m.map.NodeSize(1));
}

TEST(MapLegibility, PlacedLabelsNeverOverlapNorCoverAKeptNode) {
  SizedMap m(Grid(), Rows());
  m.map.SetMinimumNodePixels(3);
  m.map.SetShowNodeLabels(true);
  for (int32_t i = 0; i < 36; ++i) m.map.SetNodeLabel(i, "term" + std::to_string(i) + ",other");
  // Without placement every label is written at its node, one over the other.
  EXPECT_EQ(m.Draw(SurfaceOp::Text).size(), 36u);
  EXPECT_TRUE(m.map.DrawnLabels().empty());

  LabelPlacement placement;
  placement.enabled = true;
  placement.priority.assign(36, 0.0f);
  placement.priority[35] = 5;  // the last node's label is the strongest
  placement.keepClear.assign(36, false);
  placement.keepClear[14] = true;
  m.map.SetLabelPlacement(placement);
  m.map.SetLegend({{"pearl", kPearlColor}});
  const auto texts = m.Draw(SurfaceOp::Text);

  const std::vector<LabelBox>& boxes = m.map.DrawnLabels();
  ASSERT_GE(boxes.size(), 3u);
  EXPECT_LT(boxes.size(), 36u) << "a crowded map drops labels";
  EXPECT_EQ(boxes.front().node, 35) << "the strongest label is placed first";
  // The legend's text comes last; every other text is a placed label, written at its box.
  ASSERT_EQ(texts.size(), boxes.size() + 1);
  for (size_t k = 0; k < boxes.size(); ++k) {
    EXPECT_EQ(texts[k].text, m.map.NodeLabel(boxes[k].node));
    EXPECT_NEAR(m.PixelX(texts[k].x1), boxes[k].left, 1e-3);
    EXPECT_NEAR(m.PixelY(texts[k].y1), boxes[k].top, 1e-3);
    const float width = RecordingSurface::kCharPixels * static_cast<float>(m.map.NodeLabel(boxes[k].node).size());
    EXPECT_FLOAT_EQ(boxes[k].right - boxes[k].left, width);
  }
  const LabelBox& legend = m.map.DrawnLegend();
  ASSERT_GT(legend.right, legend.left);
  // The node kept clear, as drawn (radius at least 3 pixels).
  const float r = std::max(3.0f, m.map.NodeSize(14) * m.map.PixelsPerWorldX());
  const LabelBox kept{14, m.PixelX(m.map.NodeX(14)) - r, m.PixelY(m.map.NodeY(14)) - r, m.PixelX(m.map.NodeX(14)) + r,
                      m.PixelY(m.map.NodeY(14)) + r};
  for (size_t a = 0; a < boxes.size(); ++a) {
    EXPECT_GE(boxes[a].left, 0);
    EXPECT_GE(boxes[a].top, 0);
    EXPECT_LE(boxes[a].right, kPicture);
    EXPECT_LE(boxes[a].bottom, kPicture);
    EXPECT_FALSE(Intersect(boxes[a], kept)) << "label of node " << boxes[a].node << " covers node 14";
    EXPECT_FALSE(Intersect(boxes[a], legend)) << "label of node " << boxes[a].node << " under the legend";
    for (size_t b = a + 1; b < boxes.size(); ++b) {
      EXPECT_FALSE(Intersect(boxes[a], boxes[b])) << boxes[a].node << " and " << boxes[b].node;
    }
  }
  // Zoomed in, there is room for more labels, and still no two meet.
  m.map.WheelZoom(m.map.NodeX(0), m.map.NodeY(0), 4);
  m.Draw(SurfaceOp::Text);
  const std::vector<LabelBox>& zoomed = m.map.DrawnLabels();
  for (size_t a = 0; a < zoomed.size(); ++a) {
    for (size_t b = a + 1; b < zoomed.size(); ++b) EXPECT_FALSE(Intersect(zoomed[a], zoomed[b]));
  }
}

TEST(MapLegibility, LabelsBelowTheThresholdOrOutOfViewAreNotPlaced) {
  SizedMap m({{0, 0}, {50, 0}, {100, 0}}, {{0, 1}, {1, 2}});
  m.map.SetShowNodeLabels(true);
  for (int32_t i = 0; i < 3; ++i) m.map.SetNodeLabel(i, "x");
  m.map.SetLabelPlacement({true, {}, {}});
  m.map.SetNodeWeights({1, 1, 0.5f});
  m.map.SetBaseNodeSize(0.5f);
  m.map.SetNodeLabelThreshold(1);
  m.map.ZoomTo(0, 300);  // node 0 only
  m.Draw(SurfaceOp::Text);
  ASSERT_EQ(m.map.DrawnLabels().size(), 1u);
  EXPECT_EQ(m.map.DrawnLabels()[0].node, 0);
}

TEST(MapLegibility, ArticleLabelsPutPearlsFirstAndKeepThemClear) {
  const LabelPlacement placement = ArticleLabelPlacement({7, 1, 3}, {false, true, false});
  EXPECT_TRUE(placement.enabled);
  EXPECT_GT(placement.priority[1], placement.priority[0]) << "a pearl before the biggest hub";
  EXPECT_GT(placement.priority[0], placement.priority[2]);
  EXPECT_EQ(placement.keepClear, (std::vector<bool>{false, true, false}));
}

TEST(MapLegibility, LegendListsEachEntryWithItsColour) {
  SizedMap m({{0, 0}, {6, 0}}, {{0, 1}});
  EXPECT_TRUE(m.Draw(SurfaceOp::Text).empty());
  m.map.SetLegend({{"pearl", kPearlColor}, {"citing pearl", kCitingColor}});
  const auto texts = m.Draw(SurfaceOp::Text);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, "pearl");
  EXPECT_EQ(texts[1].text, "citing pearl");
  const auto discs = m.surface->CallsOf(SurfaceOp::Circle);
  ASSERT_GE(discs.size(), 2u);
  EXPECT_EQ(discs[discs.size() - 2].fill, kPearlColor);
  EXPECT_EQ(discs.back().fill, kCitingColor);
  EXPECT_EQ(discs.back().fillStyle, FillStyle::Solid);
  // The plate lies in the top-left corner, under its texts.
  const LabelBox& legend = m.map.DrawnLegend();
  EXPECT_FLOAT_EQ(legend.left, 8);
  EXPECT_FLOAT_EQ(legend.top, 8);
  for (const auto& text : texts) {
    EXPECT_GT(m.PixelX(text.x1), legend.left);
    EXPECT_LT(m.PixelY(text.y1) + RecordingSurface::kLinePixels, legend.bottom + 1e-3);
  }
}

TEST(MapLegibility, WheelZoomsAboutThePointerAndFitShowsTheWholeMap) {
  SizedMap m({{0, 0}, {10, 0}, {10, 20}}, {{0, 1}, {1, 2}});
  const test::Extent whole = test::DataOf(m.map);
  int viewChanges = 0;
  m.map.Events().ViewChanged = [&] { ++viewChanges; };

  // The world point under the pointer stays under it.
  const float x = 7, y = 4;
  const float pixelX = m.PixelX(x), pixelY = m.PixelY(y);
  const float width = m.map.ViewXMax() - m.map.ViewXMin();
  m.map.WheelZoom(x, y, 2);
  EXPECT_FLOAT_EQ(m.map.ViewXMax() - m.map.ViewXMin(), width / 2);
  EXPECT_NEAR(m.PixelX(x), pixelX, 1e-3);
  EXPECT_NEAR(m.PixelY(y), pixelY, 1e-3);
  EXPECT_EQ(viewChanges, 1);
  m.map.WheelZoom(x, y, 0.8f);
  EXPECT_NEAR(m.PixelX(x), pixelX, 1e-3);

  // The node under the pointer follows the zoom: a large minimum size reaches the pointer only
  // when the map is small on the screen.
  m.map.FitView();
  m.map.SetMinimumNodePixels(50);
  m.map.WheelZoom(10, 2.5f, 4);
  EXPECT_EQ(m.map.HoverNode(), -1);
  m.map.WheelZoom(10, 2.5f, 0.25f);
  EXPECT_EQ(m.map.HoverNode(), 1);
  m.map.SetMinimumNodePixels(0);

  // Zooming out stops at the whole map, and Fit returns there from anywhere.
  m.map.WheelZoom(5, 5, 0.01f);
  EXPECT_EQ(test::ViewOf(m.map), whole);
  m.map.KeyPress('6');
  m.map.WheelZoom(0, 0, 8);
  ASSERT_NE(test::ViewOf(m.map), whole);
  viewChanges = 0;
  m.map.FitView();
  EXPECT_EQ(test::ViewOf(m.map), whole);
  EXPECT_EQ(viewChanges, 1);
  // No zoom on an empty map, and none past single precision.
  PointMap2D empty;
  empty.WheelZoom(0, 0, 2);
  EXPECT_EQ(empty.ViewXMax(), 0.0f);
  for (int k = 0; k < 100; ++k) m.map.WheelZoom(0, 0, 4);
  EXPECT_GT(m.map.ViewXMax() - m.map.ViewXMin(), 0.0f);
}

}  // namespace
}  // namespace wendrel
