// The map panel in the window: off it does nothing; on, it maps every article of the session and
// its hover and clicks agree with the lists.
#include "window_fixture.h"

namespace wendrel {
namespace {

class MapPanelTest : public test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window->MapPane().Settings().StopWordPath = WENDREL_STOP_WORDS;
  }

  // Moves the mouse onto a node, as the map sees it, once a pulse (which grows a node over its
  // neighbours) has ended.
  void Hover(int32_t node) {
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->MapPane().DVis.NodeIsPulsing(); }, 3000));
    window->MapPane().DVis.MouseMove(0, 0, window->MapPane().DVis.NodeX(node), window->MapPane().DVis.NodeY(node));
  }
};

TEST_F(MapPanelTest, OffEveryMapCommandDoesNothing) {
  GrowTwoPearls();
  ASSERT_FALSE(window->mMapEnabled->isChecked());
  window->mTestVis[0]->trigger();
  window->mNodeSz[2]->trigger();
  EXPECT_EQ(window->MapPane().DVis.NodeCount(), 0);
  EXPECT_TRUE(window->mNodeSz[0]->isChecked());
  EXPECT_FALSE(window->mNodeSz[2]->isChecked());
  EXPECT_FALSE(window->MapPane().DVisContainer->isEnabled());
  window->DVis_OnNewNodeOver(0);
  EXPECT_TRUE(window->MapPane().DVisContainer->toolTip().isEmpty());
}

TEST_F(MapPanelTest, OnItMapsTheSessionAndAgreesWithTheLists) {
  GrowTwoPearls();
  window->mMapEnabled->trigger();
  ASSERT_EQ(window->MapPane().DVis.NodeCount(), window->Chain.Count());
  EXPECT_TRUE(window->MapPane().DVisContainer->isEnabled());
  // The build shows record 1, a pearl, with the rows it relates to in bold and its nodes coloured.
  EXPECT_EQ(window->CurrentIndex, 1);
  EXPECT_TRUE(window->MetaData->toPlainText().contains("TITLE: Mining citation networks"));
  EXPECT_EQ(BoldRows(*window->CitedList), (std::vector<std::string>{"2", "3"}));
  EXPECT_EQ(window->MapPane().DVis.NodeCluster(0), 1);
  EXPECT_EQ(window->MapPane().DVis.NodeCluster(1), 2) << "record 2 is cited by the pearl";
  EXPECT_EQ(window->MapPane().DVis.NodeCluster(3), 3) << "record 4 cites it";

  // Hovering a node shows its title; clicking it selects its row.
  const int32_t node = window->Chain.FindIndex("5", "", "") - 1;
  Hover(node);
  EXPECT_EQ(window->MapPane().DVisContainer->toolTip(), "Zebra studies");
  window->MapPane().DVis.Click();
  EXPECT_EQ(window->CurrentIndex, node + 1);
  ASSERT_NE(window->CitingList->currentItem(), nullptr);
  EXPECT_EQ(window->CitingList->currentItem()->text(7).toInt(), node + 1);
  EXPECT_EQ(BoldRows(*window->PearlList), (std::vector<std::string>{"1"}));

  // Node sizes: an article cited by no pearl weighs nothing by "Cited Count".
  window->mNodeSz[2]->trigger();
  EXPECT_TRUE(window->mNodeSz[2]->isChecked());
  EXPECT_FALSE(window->mNodeSz[0]->isChecked());
  EXPECT_EQ(window->MapPane().DVis.Weight(node), 0.0f);
  EXPECT_GT(window->MapPane().DVis.Weight(1), 0.0f);

  // A label threshold above every degree leaves no label.
  window->MapPane().LabelDegree->setValue(window->MapPane().LabelDegree->maximum());
  window->LabelDegree_Change();
  const int top = window->MapPane().LabelDegree->maximum();
  for (int32_t n = 0; n < window->MapPane().DVis.NodeCount(); ++n) {
    if (window->MapPane().DVis.NodeLabel(n).empty()) continue;
    EXPECT_GE(TreeDegrees(window->MapPane().Map())[static_cast<size_t>(n)], top);
  }

  // A new session takes its map with it.
  host.QueueAnswer(MessageResult::Yes);
  window->mNew->trigger();
  EXPECT_EQ(window->MapPane().DVis.NodeCount(), 0);
}

}  // namespace
}  // namespace wendrel
