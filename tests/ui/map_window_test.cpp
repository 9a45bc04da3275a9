// The map as a reader uses it in the window: wheel, keys and Fit, labels that do not overlap, the
// legend, nodes that stay visible, menu ticks that agree with the map drawn, and saving the picture.
#include <QImage>
#include <QMouseEvent>
#include <QStatusBar>
#include <QWheelEvent>
#include <cmath>
#include <filesystem>

#include "pointmap/article_look.h"
#include "test_paths.h"
#include "window_fixture.h"

namespace wendrel {
namespace {

class MapWindowTest : public test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window->MapPane().Settings().StopWordPath = WENDREL_STOP_WORDS;
  }

  // Two pearls grown, the window on screen and the map on, with its first pulse over.
  void ShowMap() {
    GrowTwoPearls();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->mMapEnabled->trigger();
    ASSERT_EQ(window->MapPane().DVis.NodeCount(), window->Chain.Count());
    ASSERT_GT(window->MapPane().DVisContainer->width(), 100);
    Settle();
  }

  void Settle() {
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->MapPane().DVis.NodeIsPulsing(); }, 3000));
  }

  QPointF PixelOf(int32_t node) const {
    const PointMap2D& map = window->MapPane().DVis;
    return {(map.NodeX(node) - map.ViewXMin()) * map.PixelsPerWorldX(),
            (map.NodeY(node) - map.ViewYMin()) * map.PixelsPerWorldY()};
  }

  void Wheel(QPointF at, int notches) {
    QWheelEvent event(at, window->MapPane().DVisContainer->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(window->MapPane().DVisContainer, &event);
  }

  void Mouse(QEvent::Type type, QPointF at, Qt::MouseButton button = Qt::NoButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, at, window->MapPane().DVisContainer->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(window->MapPane().DVisContainer, &event);
  }

  using View = std::array<float, 4>;
  View ViewNow() const {
    const PointMap2D& map = window->MapPane().DVis;
    return {map.ViewXMin(), map.ViewXMax(), map.ViewYMin(), map.ViewYMax()};
  }
  View WholeMap() const {
    const PointMap2D& map = window->MapPane().DVis;
    return {map.DataXMin(), map.DataXMax(), map.DataYMin(), map.DataYMax()};
  }

  int32_t ZebraNode() const { return window->Chain.FindIndex("5", "", "") - 1; }
};

bool Intersect(const LabelBox& a, const LabelBox& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST_F(MapWindowTest, WheelKeysAndFitMoveTheViewAndHoverKeepsWorking) {
  ShowMap();
  EXPECT_TRUE(window->MapPane().MapHint->isVisible());
  EXPECT_TRUE(window->MapPane().MapHint->text().contains("Wheel"));
  EXPECT_TRUE(window->MapPane().MapHint->text().contains("Home"));
  const View whole = WholeMap();
  ASSERT_EQ(ViewNow(), whole);

  // The wheel zooms about the pointer: the node under it stays under it.
  const int32_t zebra = ZebraNode();
  const QPointF at = PixelOf(zebra);
  const float width = whole[1] - whole[0];
  Wheel(at, 2);
  EXPECT_NEAR(ViewNow()[1] - ViewNow()[0], width / 1.5625f, width * 1e-4f);
  EXPECT_NEAR(PixelOf(zebra).x(), at.x(), 0.5);
  EXPECT_NEAR(PixelOf(zebra).y(), at.y(), 0.5);

  // Zoomed, the mouse still finds the node and a click selects its article.
  Mouse(QEvent::MouseMove, PixelOf(zebra));
  EXPECT_EQ(window->MapPane().DVis.HoverNode(), zebra);
  EXPECT_EQ(window->MapPane().DVisContainer->toolTip(), "Zebra studies");
  Mouse(QEvent::MouseButtonPress, PixelOf(zebra), Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, PixelOf(zebra), Qt::LeftButton);
  EXPECT_EQ(window->CurrentIndex, zebra + 1);
  Settle();

  // The digit keys pan as they always did; Home shows the whole map again.
  const View zoomed = ViewNow();
  QTest::keyClick(window->MapPane().DVisContainer, Qt::Key_6);
  const float step = 3 * window->MapPane().DVis.BaseNodeSize();
  EXPECT_NEAR(ViewNow()[0], zoomed[0] + step, std::fabs(step) * 1e-3f);
  QTest::keyClick(window->MapPane().DVisContainer, Qt::Key_Home);
  EXPECT_EQ(ViewNow(), whole);

  // Zooming out stops at the whole map; Fit returns there from any zoom, and hovering goes on.
  Wheel(at, -10);
  EXPECT_EQ(ViewNow(), whole);
  Wheel(PixelOf(1), 6);
  ASSERT_NE(ViewNow(), whole);
  window->mFitMap->trigger();
  EXPECT_EQ(ViewNow(), whole);
  Mouse(QEvent::MouseMove, QPointF(1, 1));
  Mouse(QEvent::MouseMove, PixelOf(1));
  EXPECT_EQ(window->MapPane().DVis.HoverNode(), 1);
}

TEST_F(MapWindowTest, LabelsNeverOverlapNorCoverAPearlAndTheLegendIsDrawn) {
  window->MapPane().LabelDegree->setValue(window->MapPane().LabelDegree->maximum());
  ShowMap();
  // The build fits the slider to the tree's largest degree, which moves its value down.
  ASSERT_LT(window->MapPane().LabelDegree->maximum(), 10);
  EXPECT_EQ(window->MapPane().LabelDegree->maximum(), LargestDegree(window->MapPane().Map()));
  EXPECT_EQ(window->MapPane().LabelDegreeValue->text(), QString::number(window->MapPane().LabelDegree->value()));
  window->MapPane().LabelDegree->setValue(window->MapPane().LabelDegree->minimum());
  EXPECT_EQ(window->MapPane().LabelDegreeValue->text(), QString::number(window->MapPane().LabelDegree->minimum()));
  const PointMap2D& map = window->MapPane().DVis;
  size_t labelled = 0;
  for (int32_t n = 0; n < map.NodeCount(); ++n) labelled += !map.NodeLabel(n).empty();
  ASSERT_GT(labelled, 0u);

  const std::vector<LabelBox> boxes = map.DrawnLabels();
  ASSERT_FALSE(boxes.empty());
  const float scale = std::fabs(map.PixelsPerWorldX());
  const QSize view = window->MapPane().DVisContainer->size();
  // The legend sits where it hides no article; every label is inside the view.
  for (int32_t n = 0; n < map.NodeCount(); ++n) {
    const QPointF c = PixelOf(n);
    const float r = kArticleNodePixels;
    EXPECT_FALSE(Intersect(map.DrawnLegend(), LabelBox{n, static_cast<float>(c.x()) - r, static_cast<float>(c.y()) - r,
                                                       static_cast<float>(c.x()) + r, static_cast<float>(c.y()) + r}))
        << "the legend covers node " << n;
  }
  for (const LabelBox& box : boxes) {
    EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= view.width() && box.bottom <= view.height())
        << "label of " << box.node << " runs off the view";
  }
  for (size_t a = 0; a < boxes.size(); ++a) {
    for (size_t b = a + 1; b < boxes.size(); ++b) {
      EXPECT_FALSE(Intersect(boxes[a], boxes[b])) << boxes[a].node << " and " << boxes[b].node;
    }
    EXPECT_FALSE(Intersect(boxes[a], map.DrawnLegend()));
    for (int32_t n = 0; n < map.NodeCount(); ++n) {
      if (!window->Chain.GetRecord(n + 1).IsPearl) continue;
      // Pearls are drawn larger than other articles.
      const float r = kPearlEnlarge * std::clamp(map.NodeSize(n) * scale, kArticleNodePixels, kArticleNodeMaxPixels);
      const QPointF c = PixelOf(n);
      const LabelBox pearl{n, static_cast<float>(c.x()) - r, static_cast<float>(c.y()) - r,
                           static_cast<float>(c.x()) + r, static_cast<float>(c.y()) + r};
      EXPECT_FALSE(Intersect(boxes[a], pearl)) << "label of " << boxes[a].node << " over pearl " << n;
    }
  }

  // The legend's first disc, in the picture, is the pearls' red.
  const LabelBox& legend = map.DrawnLegend();
  ASSERT_GT(legend.right, legend.left);
  const float rowHeight = (legend.bottom - legend.top - 12) / 4;
  const QColor disc = window->MapPane().DVisContainer->Picture().Image().pixelColor(
      static_cast<int>(legend.left + 6 + 5), static_cast<int>(legend.top + 6 + rowHeight / 2));
  EXPECT_EQ(disc, QColor(255, 0, 0));

  window->MapPane().LabelDegree->setValue(window->MapPane().LabelDegree->maximum());
  EXPECT_EQ(window->MapPane().LabelDegreeValue->text(), QString::number(window->MapPane().LabelDegree->maximum()));
}

TEST_F(MapWindowTest, NodeSizeAndOrderTicksAgreeWithTheMapDrawn) {
  ShowMap();
  EXPECT_TRUE(window->mTestVis[0]->isChecked());
  EXPECT_FALSE(window->mTestVis[1]->isChecked());

  // "Cited Count" weighs an article no pearl cites at 0, yet it is drawn in its colour.
  const int32_t zebra = ZebraNode();
  window->mNodeSz[2]->trigger();
  Settle();
  ASSERT_EQ(window->MapPane().DVis.Weight(zebra), 0.0f);
  const auto drawnAt = [this](int32_t node) {
    const QPointF c = PixelOf(node);
    const Color color =
        window->MapPane().DVis.GetClusterColor(static_cast<uint8_t>(window->MapPane().DVis.NodeCluster(node)));
    const QColor fill(RedOf(color), GreenOf(color), BlueOf(color));
    const QImage& image = window->MapPane().DVisContainer->Picture().Image();
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (image.pixelColor(static_cast<int>(c.x()) + dx, static_cast<int>(c.y()) + dy) == fill) return true;
      }
    }
    return false;
  };
  window->MapPane().DVis.SetSelectedNode(-1);
  window->MapPane().DVis.RenderView(true, false);
  EXPECT_TRUE(drawnAt(zebra));

  // A second-order map keeps the node size chosen, and both menus say what is drawn.
  window->mTestVis[1]->trigger();
  Settle();
  EXPECT_TRUE(window->mTestVis[1]->isChecked());
  EXPECT_FALSE(window->mTestVis[0]->isChecked());
  EXPECT_TRUE(window->mNodeSz[2]->isChecked());
  EXPECT_EQ(window->MapPane().DVis.Weight(zebra), 0.0f);
  EXPECT_GT(window->MapPane().DVis.Weight(1), 0.0f) << "record 2 is cited by a pearl";
  EXPECT_TRUE(window->statusBar()->currentMessage().contains("second-order"));

  // "Rebuild" builds that map again, with its progress shown like any build.
  bool progressShown = false;
  host.OnDoEvents([&] {
    progressShown = progressShown || (window->Progress->isVisible() && window->Progress->format().startsWith("Map:"));
  });
  window->mRebuild->trigger();
  host.OnDoEvents({});
  Settle();
  EXPECT_TRUE(progressShown);
  EXPECT_TRUE(window->mTestVis[1]->isChecked());
  EXPECT_FALSE(window->mTestVis[0]->isChecked());
  EXPECT_EQ(window->MapPane().DVis.Weight(zebra), 0.0f);

  // Off, choosing an order changes no tick.
  window->mMapEnabled->trigger();
  window->mTestVis[0]->trigger();
  EXPECT_TRUE(window->mTestVis[1]->isChecked());
  EXPECT_FALSE(window->mTestVis[0]->isChecked());
  EXPECT_FALSE(window->mSaveMapImage->isEnabled());
  EXPECT_FALSE(window->mFitMap->isEnabled());
  EXPECT_FALSE(window->MapPane().VisualizationFrame->isVisibleTo(window.get())) << "off, the map gives up its place";
}

// The layout's working files go to the user's cache folder, not beside the program.
TEST_F(MapWindowTest, WorkingFilesGoToTheUsersCacheFolder) {
  const char* was = std::getenv("XDG_CACHE_HOME");
  const std::string saved = was ? was : "";
  setenv("XDG_CACHE_HOME", work.Path("cache").c_str(), 1);
  ShowMap();
  if (was) setenv("XDG_CACHE_HOME", saved.c_str(), 1); else unsetenv("XDG_CACHE_HOME");
  EXPECT_TRUE(std::filesystem::exists(work.Path("cache/wendrel/gvin.txt")));
  EXPECT_TRUE(std::filesystem::exists(work.Path("cache/wendrel/gvout.txt")));
}

TEST_F(MapWindowTest, SaveMapImageWritesTheViewAsPng) {
  ShowMap();
  const size_t messages = host.Messages().size();
  const QString filter = window->CommonDialog1.Filter;
  const std::string path = work.Path("session map.png");
  chosenFiles.push_back(QString::fromStdString(path));
  window->mSaveMapImage->trigger();
  ASSERT_FALSE(dialogs.empty());
  EXPECT_EQ(dialogs.back().kind, FileDialog::Kind::Save);
  EXPECT_EQ(dialogs.back().title, "Save Map Image");
  EXPECT_EQ(dialogs.back().fileName, "map.png");
  // Offered: twice the view, at least 1600 x 1200, in the view's proportions.
  const QSize view = window->MapPane().DVisContainer->size();
  ASSERT_EQ(imageSizes.size(), 1u);
  EXPECT_EQ(imageSizes[0], DefaultMapImageSize(view));
  EXPECT_GE(imageSizes[0].width(), std::max(2 * view.width(), 1600));
  EXPECT_NEAR(imageSizes[0].width() * view.height(), imageSizes[0].height() * view.width(), imageSizes[0].width());
  QImage saved;
  ASSERT_TRUE(saved.load(QString::fromStdString(path), "PNG"));
  EXPECT_EQ(saved.size(), imageSizes[0]);
  // The window's picture is the view's size again, as drawn before.
  EXPECT_EQ(window->MapPane().DVisContainer->Picture().Image().size(), view);
  EXPECT_EQ(host.Messages().size(), messages);
  // The size the user chooses is the image's; the view at the view's size is what is shown.
  imageSize = view;
  chosenFiles.push_back(QString::fromStdString(path));
  window->mSaveMapImage->trigger();
  ASSERT_TRUE(saved.load(QString::fromStdString(path), "PNG"));
  EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), window->MapPane().DVisContainer->Picture().Image());
  // The Pearl List's dialogs keep their own kind of file.
  EXPECT_EQ(window->CommonDialog1.Filter, filter);

  // Cancelled, nothing is written; an unwritable place is said, not passed over.
  window->mSaveMapImage->trigger();
  EXPECT_EQ(host.Messages().size(), messages);
  const std::string nowhere = work.Path("no such folder/map.png");
  chosenFiles.push_back(QString::fromStdString(nowhere));
  window->mSaveMapImage->trigger();
  ASSERT_EQ(host.Messages().size(), messages + 1);
  EXPECT_EQ(host.Messages().back().icon, MessageIcon::Critical);
  EXPECT_NE(host.Messages().back().text.find(nowhere), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(nowhere));
}

// A name ending in .svg gets the view as vectors at the size chosen: a node for every article and
// the labels drawn as text, while the window's picture stays as it was.
TEST_F(MapWindowTest, SaveMapImageWritesSvgForAnSvgName) {
  ShowMap();
  const QImage before = window->MapPane().DVisContainer->Picture().Image().copy();
  const std::string path = work.Path("session map.SVG");
  chosenFiles.push_back(QString::fromStdString(path));
  window->mSaveMapImage->trigger();
  const std::string svg = test::ReadFile(path);
  ASSERT_EQ(svg.rfind("<?xml", 0), 0u) << svg.substr(0, 80);
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  ASSERT_FALSE(imageSizes.empty());
  const QSize size = imageSizes.back();
  EXPECT_NE(svg.find("viewBox=\"0 0 " + std::to_string(size.width()) + " " + std::to_string(size.height()) + "\""),
            std::string::npos);
  size_t circles = 0;
  for (size_t at = svg.find("<circle"); at != std::string::npos; at = svg.find("<circle", at + 1)) ++circles;
  EXPECT_GE(circles, static_cast<size_t>(window->Chain.Count()));
  ASSERT_FALSE(window->MapPane().DVis.DrawnLabels().empty());
  EXPECT_NE(svg.find("<text"), std::string::npos);
  EXPECT_EQ(window->MapPane().DVisContainer->Picture().Image(), before);
  EXPECT_EQ(window->statusBar()->currentMessage(),
            QString("Map image saved (%1 \u00d7 %2): %3").arg(size.width()).arg(size.height()).arg(QString::fromStdString(path)));
}

}  // namespace
}  // namespace wendrel
