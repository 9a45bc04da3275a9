// Mouse, keyboard and timer on the map: hover, clicks, drag zoom, double click, panning,
// right-button zoom-out and the pulse.
#include <gtest/gtest.h>

#include <cmath>

#include "map_fixtures.h"

namespace wendrel {
namespace {

using test::MakeLayout;
using test::MapOnWindow;

// Records the events the map raises, in order.
struct EventLog {
  explicit EventLog(PointMap2D& map) {
    map.Events().OnNewNodeOver = [this](int32_t node) { entries.push_back("over " + std::to_string(node)); };
    map.Events().OnNodeClick = [this](int32_t node) { entries.push_back("click " + std::to_string(node)); };
    map.Events().SelectionStarted = [this] { entries.push_back("started"); };
    map.Events().SelectionEnded = [this] { entries.push_back("ended"); };
    map.Events().ViewChanged = [this] { entries.push_back("view"); };
  }
  std::vector<std::string> entries;
};

// Nodes at x = 0, 6, 12 (size 2) on y = 0, and one at (18, 60); view -1.8 .. 19.8, -6 .. 66.
struct InteractiveMap : MapOnWindow {
  InteractiveMap() : log(map) {
    map.SetCoordinates(MakeLayout({{0, 0}, {6, 0}, {12, 0}, {18, 60}}, {{0, 1}, {1, 2}, {2, 3}}));
    map.SetSelectedNode(-1);
    map.SetHoverNode(-1);
  }
  struct View {
    float xMin, xMax, yMin, yMax;
    bool operator==(const View&) const = default;
  };
  View CurrentView() const { return {map.ViewXMin(), map.ViewXMax(), map.ViewYMin(), map.ViewYMax()}; }
  EventLog log;
};

TEST(MapHover, LightestOverlappingNodeWinsAndLeavingIsToldOnce) {
  MapOnWindow m;
  EventLog log(m.map);
  m.map.SetCoordinates(MakeLayout({{0, 0}, {1, 0}, {1.5, 0}, {20, 0}}, {{0, 3}}));  // size 20/3
  m.map.SetNodeWeights({3, 1, 1, 1});  // sizes 3^0.75 * 20/3 and 20/3
  m.map.SetHoverNode(-1);
  m.map.MouseMove(0, 0, 0.5, 0.5);
  EXPECT_EQ(m.map.HoverNode(), 1);  // weight 1 beats 3; equal weights: the lower index
  m.map.MouseMove(0, 0, 0.6, 0.5);
  m.map.MouseMove(0, 0, 40, 40);
  m.map.MouseMove(0, 0, 41, 40);
  EXPECT_EQ(m.map.HoverNode(), -1);
  EXPECT_EQ(log.entries, (std::vector<std::string>{"over 1", "over -1"}));

  // The hit box is a square of half-width NodeSize, strict at its border.
  m.map.SetNodeWeights({1, 1, 1, 1});
  m.map.SetBaseNodeSize(4);
  m.map.MouseMove(0, 0, 23.9f, -3.9f);
  EXPECT_EQ(m.map.HoverNode(), 3);
  m.map.MouseMove(0, 0, 24, 0);
  EXPECT_EQ(m.map.HoverNode(), -1);
}

TEST(MapClicks, ClickSelectsTheHoveredNodeAndPlainClickChangesNoView) {
  InteractiveMap m;
  const auto fullView = m.CurrentView();
  m.map.MouseMove(0, 0, 6.5, 0.5);
  m.map.MouseDown(kLeftButton, 0, 6.5, 0.5);
  m.map.MouseUp(kLeftButton, 0, 7.5, 1.5);  // moved less than the mean node size
  m.map.Click();
  EXPECT_EQ(m.CurrentView(), fullView);
  EXPECT_EQ(m.map.SelectedNode(), 1);
  EXPECT_EQ(m.log.entries, (std::vector<std::string>{"over 1", "started", "click 1"}));

  m.map.MouseMove(0, 0, 3, 30);  // empty space
  m.log.entries.clear();
  m.map.MouseDown(kLeftButton, 0, 3, 30);
  m.map.MouseUp(kLeftButton, 0, 3, 30);
  m.map.Click();
  EXPECT_EQ(m.map.SelectedNode(), 1);
  EXPECT_EQ(m.log.entries, (std::vector<std::string>{"started"}));
}

TEST(MapClicks, DragZoomsToTheSquareWithCornersAsTheyAre) {
  InteractiveMap m;
  m.map.MouseDown(kLeftButton, 0, 2, 3);
  m.map.MouseMove(kLeftButton, 0, 10, 50);
  EXPECT_GT(m.window.DoEventsCount(), 0);
  m.map.MouseUp(kLeftButton, 0, 10, 50);
  EXPECT_EQ(m.CurrentView(), (InteractiveMap::View{2, 10, 3, 11}));
  EXPECT_EQ(m.log.entries, (std::vector<std::string>{"started", "ended", "view"}));

  // From right to left: the second corner lies above and left of the first.
  m.map.Click();  // collapses the square onto its moving corner (10, 11)
  m.map.MouseDown(kLeftButton, 0, 9, 9);
  m.map.MouseMove(kLeftButton, 0, 4, 2);
  m.map.MouseUp(kLeftButton, 0, 4, 2);
  EXPECT_EQ(m.CurrentView(), (InteractiveMap::View{9, 4, 9, 4}));
}

TEST(MapClicks, DoubleClickRestoresTheDataExtentAndTheNextMouseUpDoesNotZoom) {
  InteractiveMap m;
  const auto fullView = m.CurrentView();
  m.map.ZoomTo(1, 400);
  m.map.MouseDown(kLeftButton, 0, 5, 5);
  m.map.MouseMove(kLeftButton, 0, 15, 5);
  m.log.entries.clear();
  m.map.DoubleClick();
  EXPECT_EQ(m.CurrentView(), fullView);
  m.map.MouseUp(kLeftButton, 0, 15, 15);
  EXPECT_EQ(m.CurrentView(), fullView);
  EXPECT_EQ(m.log.entries, (std::vector<std::string>{"view"}));

  // The flag lasts only until that mouse up.
  m.map.MouseDown(kLeftButton, 0, 5, 5);
  m.map.MouseMove(kLeftButton, 0, 15, 5);
  m.map.MouseUp(kLeftButton, 0, 15, 15);
  EXPECT_EQ(m.CurrentView(), (InteractiveMap::View{5, 15, 5, 15}));
}

TEST(MapKeys, DigitsPanLikeAKeypad) {
  struct Case {
    char key;
    float dx;
    float dy;
  };
  // Step 3 x BaseNodeSize = 6; world Y grows downwards, so "down" adds.
  const Case cases[] = {{'1', -6, 6}, {'2', 0, 6},  {'3', 6, 6},  {'4', -6, 0}, {'5', 0, 0},
                        {'6', 6, 0},  {'7', -6, -6}, {'8', 0, -6}, {'9', 6, -6}, {'a', 0, 0}};
  for (const auto& c : cases) {
    InteractiveMap m;
    const auto before = m.CurrentView();
    m.surface->ForgetCalls();
    m.map.KeyPress(c.key);
    const auto after = m.CurrentView();
    EXPECT_FLOAT_EQ(after.xMin - before.xMin, c.dx) << c.key;
    EXPECT_FLOAT_EQ(after.xMax - before.xMax, c.dx) << c.key;
    EXPECT_FLOAT_EQ(after.yMin - before.yMin, c.dy) << c.key;
    EXPECT_FLOAT_EQ(after.yMax - before.yMax, c.dy) << c.key;
    EXPECT_EQ(m.log.entries, (std::vector<std::string>{"view"})) << c.key;
    EXPECT_EQ(m.surface->Calls().at(1).op, SurfaceOp::Clear) << c.key;
    EXPECT_EQ(m.window.DoEventsCount(), 1) << c.key;
  }
  InteractiveMap m;
  for (int code : {56, 52, 50, 54, 55, 65}) m.map.KeyUp(code, 0);
  EXPECT_EQ(m.log.entries.size(), 4u);
}

TEST(MapTimer, RightButtonZoomsOutByGrowingStepsClampedToTheDataExtent) {
  InteractiveMap m;
  const auto fullView = m.CurrentView();
  m.map.SetBaseNodeSize(0.1f);
  m.map.ZoomTo(1, 1000);  // 3.6 wide around node 1
  const auto zoomed = m.CurrentView();
  m.map.MouseDown(kRightButton, 0, 6, 0);
  ASSERT_TRUE(m.window.Tick());
  // The first step is the mean node size; it grows by 5% a tick up to a hundredth of the width.
  EXPECT_NEAR(m.CurrentView().xMin, zoomed.xMin - 0.1, 1e-5);
  EXPECT_NEAR(m.CurrentView().yMax, zoomed.yMax + 0.1, 1e-5);
  ASSERT_TRUE(m.window.Tick());
  EXPECT_NEAR(m.CurrentView().xMin, zoomed.xMin - 0.1 - 0.105, 1e-5);
  for (int i = 0; i < 18; ++i) m.window.Tick();
  const float before = m.CurrentView().xMin;
  m.window.Tick();
  EXPECT_NEAR(before - m.CurrentView().xMin, 0.1 * std::pow(1.05, 13), 1e-4);  // grown past 0.18, then kept
  for (int i = 0; i < 1000; ++i) m.window.Tick();
  EXPECT_EQ(m.CurrentView(), fullView);
  m.log.entries.clear();
  m.map.MouseUp(kRightButton, 0, 6, 0);
  EXPECT_EQ(m.log.entries, (std::vector<std::string>{"view"}));

  // Released: ticks change nothing and draw nothing.
  m.surface->ForgetCalls();
  m.map.ZoomTo(1, 1000);
  const auto after = m.CurrentView();
  m.surface->ForgetCalls();
  m.window.Tick();
  EXPECT_EQ(m.CurrentView(), after);
  EXPECT_TRUE(m.surface->Calls().empty());
}

TEST(MapTimer, PulseWithFactorThreeEndsAfter22Ticks) {
  InteractiveMap m;
  m.map.PulseNode(2, 3);
  EXPECT_TRUE(m.map.NodeIsPulsing());
  EXPECT_FLOAT_EQ(m.map.NodeSize(2), 6);
  EXPECT_EQ(m.window.Pointers(), (std::vector<MousePointer>{MousePointer::ArrowQuestion}));
  int ticks = 0;
  while (m.map.NodeIsPulsing() && ticks < 100) {
    m.window.Tick();
    ++ticks;
  }
  EXPECT_EQ(ticks, 22);
  EXPECT_EQ(m.map.NodeSize(2), 2);
  EXPECT_EQ(m.window.Pointers().back(), MousePointer::Default);
}

}  // namespace
}  // namespace wendrel
