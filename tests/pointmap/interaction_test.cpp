// Mouse, keyboard and timer on the map: hover, clicks, double click, panning, right-button
// zoom-out and the pulse.
#include <gtest/gtest.h>

#include <cmath>

#include "map_fixtures.h"

namespace wendrel {
namespace {

using test::Extent;
using test::ViewOf;
using Log = std::vector<std::string>;

// Nodes at x = 0, 6, 12 (size 2) on y = 0, and one at (18, 60); view -1.8 .. 19.8, -6 .. 66.
// Records the events the map raises, in order.
struct InteractiveMap : test::MapOnWindow {
  explicit InteractiveMap(std::vector<std::pair<double, double>> positions = {{0, 0}, {6, 0}, {12, 0}, {18, 60}},
                          std::vector<std::pair<int, int>> edges = {{0, 1}, {1, 2}, {2, 3}}) {
    map.Events().OnNewNodeOver = [this](int32_t node) { log.push_back("over " + std::to_string(node)); };
    map.Events().OnNodeClick = [this](int32_t node) { log.push_back("click " + std::to_string(node)); };
    map.Events().SelectionStarted = [this] { log.push_back("started"); };
    map.Events().SelectionEnded = [this] { log.push_back("ended"); };
    map.Events().ViewChanged = [this] { log.push_back("view"); };
    map.SetCoordinates(test::MakeLayout(positions, edges));
    map.SetSelectedNode(-1);
    map.SetHoverNode(-1);
  }
  Log log;
};

TEST(MapHover, LightestOverlappingNodeWinsAndLeavingIsToldOnce) {
  InteractiveMap m({{0, 0}, {1, 0}, {1.5, 0}, {20, 0}}, {{0, 3}});  // size 20/3
  m.map.SetNodeWeights({3, 1, 1, 1});
  m.map.MouseMove(0, 0, 0.5, 0.5);
  EXPECT_EQ(m.map.HoverNode(), 1);  // weight 1 beats 3; equal weights: the lower index
  m.map.MouseMove(0, 0, 0.6, 0.5);
  m.map.MouseMove(0, 0, 40, 40);
  m.map.MouseMove(0, 0, 41, 40);
  EXPECT_EQ(m.map.HoverNode(), -1);
  EXPECT_EQ(m.log, (Log{"over 1", "over -1"}));
}

TEST(MapClicks, ClickSelectsTheHoveredNodeAndPlainClickChangesNoView) {
  InteractiveMap m;
  const Extent fullView = ViewOf(m.map);
  m.map.MouseMove(0, 0, 6.5, 0.5);
  m.map.MouseDown(kLeftButton, 0, 6.5, 0.5);
  m.map.MouseUp(kLeftButton, 0, 7.5, 1.5);  // moved less than the mean node size
  m.map.Click();
  EXPECT_EQ(m.map.SelectedNode(), 1);
  m.map.MouseMove(0, 0, 3, 30);  // empty space
  m.map.MouseDown(kLeftButton, 0, 3, 30);
  m.map.MouseUp(kLeftButton, 0, 3, 30);
  m.map.Click();
  EXPECT_EQ(m.map.SelectedNode(), 1);
  EXPECT_EQ(ViewOf(m.map), fullView);
  EXPECT_EQ(m.log, (Log{"over 1", "started", "click 1", "over -1", "started"}));
}

TEST(MapClicks, DoubleClickRestoresTheDataExtentAndTheNextMouseUpDoesNotZoom) {
  InteractiveMap m;
  const Extent fullView = ViewOf(m.map);
  m.map.ZoomTo(1, 400);
  m.map.MouseDown(kLeftButton, 0, 5, 5);
  m.map.MouseMove(kLeftButton, 0, 15, 5);
  m.log.clear();
  m.map.DoubleClick();
  EXPECT_EQ(ViewOf(m.map), fullView);
  m.map.MouseUp(kLeftButton, 0, 15, 15);
  EXPECT_EQ(ViewOf(m.map), fullView);
  EXPECT_EQ(m.log, (Log{"view"}));

  // The flag lasts only until that mouse up: a drag zooms to its square again.
  m.map.MouseDown(kLeftButton, 0, 5, 5);
  m.map.MouseMove(kLeftButton, 0, 15, 5);
  m.map.MouseUp(kLeftButton, 0, 15, 15);
  EXPECT_EQ(ViewOf(m.map), (Extent{5, 15, 5, 15}));
  EXPECT_EQ(m.log, (Log{"view", "started", "ended", "view"}));
}

TEST(MapKeys, DigitsPanLikeAKeypad) {
  struct Case {
    char key;
    float dx, dy;
  };
  // Step 3 x BaseNodeSize = 6; world Y grows downwards, so "down" adds.
  const Case cases[] = {{'1', -6, 6}, {'2', 0, 6},  {'3', 6, 6},  {'4', -6, 0}, {'5', 0, 0},
                        {'6', 6, 0},  {'7', -6, -6}, {'8', 0, -6}, {'9', 6, -6}, {'a', 0, 0}};
  for (const auto& c : cases) {
    InteractiveMap m;
    const Extent before = ViewOf(m.map);
    m.map.KeyPress(c.key);
    const Extent after = ViewOf(m.map);
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(after[i] - before[i], i < 2 ? c.dx : c.dy) << c.key << i;
    EXPECT_EQ(m.log, (Log{"view"})) << c.key;
  }
  InteractiveMap m;  // releasing a keypad arrow tells of the view once more
  for (int code : {56, 52, 50, 54, 55, 65}) m.map.KeyUp(code, 0);
  EXPECT_EQ(m.log, (Log{"view", "view", "view", "view"}));
}

TEST(MapTimer, RightButtonZoomsOutByGrowingStepsClampedToTheDataExtent) {
  InteractiveMap m;
  const Extent fullView = ViewOf(m.map);
  m.map.SetBaseNodeSize(0.1f);
  m.map.ZoomTo(1, 1000);  // 3.6 wide around node 1
  const Extent zoomed = ViewOf(m.map);
  m.map.MouseDown(kRightButton, 0, 6, 0);
  ASSERT_TRUE(m.window.Tick());
  // The first step is the mean node size; it grows by 5% a tick up to a hundredth of the width.
  EXPECT_NEAR(ViewOf(m.map)[0], zoomed[0] - 0.1, 1e-5);
  EXPECT_NEAR(ViewOf(m.map)[3], zoomed[3] + 0.1, 1e-5);
  for (int i = 0; i < 19; ++i) m.window.Tick();
  const float before = ViewOf(m.map)[0];
  m.window.Tick();
  EXPECT_NEAR(before - ViewOf(m.map)[0], 0.1 * std::pow(1.05, 13), 1e-4);  // grown past 0.18, then kept
  for (int i = 0; i < 1000; ++i) m.window.Tick();
  EXPECT_EQ(ViewOf(m.map), fullView);
  m.map.MouseUp(kRightButton, 0, 6, 0);
  EXPECT_EQ(m.log.back(), "view");

  // Released: ticks change nothing and draw nothing.
  m.map.ZoomTo(1, 1000);
  m.surface->ForgetCalls();
  m.window.Tick();
  EXPECT_EQ(ViewOf(m.map), zoomed);
  EXPECT_TRUE(m.surface->Calls().empty());
}

TEST(MapTimer, PulseWithFactorThreeEndsAfter22Ticks) {
  InteractiveMap m;
  m.map.PulseNode(2, 3);
  EXPECT_FLOAT_EQ(m.map.NodeSize(2), 6);
  EXPECT_EQ(m.window.Pointers(), (std::vector<MousePointer>{MousePointer::ArrowQuestion}));
  int ticks = 0;
  for (; m.map.NodeIsPulsing() && ticks < 100; ++ticks) m.window.Tick();
  EXPECT_EQ(ticks, 22);
  EXPECT_EQ(m.map.NodeSize(2), 2);
  EXPECT_EQ(m.window.Pointers().back(), MousePointer::Default);
}

}  // namespace
}  // namespace wendrel
