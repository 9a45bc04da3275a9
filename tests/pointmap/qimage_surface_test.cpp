// The QImage surface: a small map drawn into an image, checked pixel by pixel.
#include "pointmap/qimage/qimage_surface.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "map_fixtures.h"

// The system's font configuration library keeps a cache that it never frees; that is not ours
// to fix, so the leak checker is told to ignore it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace wendrel {
namespace {

using test::MakeLayout;
using test::TempFolder;

bool Near(QColor actual, QColor expected, int tolerance = 12) {
  return std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance &&
         std::abs(actual.blue() - expected.blue()) <= tolerance;
}

TEST(QImageSurface, DrawsNodesEdgesAndLabelsIntoThePicture) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  EnsureGuiApplication();

  HeadlessMapWindow window;
  QImageSurface surface(200, 200);
  PointMap2D map;
  map.InitializePM2DCtl(window, &surface);
  // View -1 .. 11 both ways: 200/12 pixels a unit. Base size (10 + 5) / 2 / 3 = 2.5, 41.7 px.
  map.SetCoordinates(MakeLayout({{0, 0}, {10, 0}, {5, 10}}, {{0, 1}, {1, 2}}));
  map.SetNodeShape(3);
  map.ResetNodeClusters();
  map.SetNodeCluster(0, 12);
  map.SetNodeCluster(1, 12);
  map.SetNodeCluster(2, 12);
  map.SetShowEdges(true);
  map.SetSelectedNode(-1);
  map.SetHoverNode(-1);
  map.SetNodeLabel(2, "WW");
  map.SetLabelColor(Rgb(0, 0, 255));
  map.SetShowNodeLabels(true);
  map.RenderView(true, false);

  const QImage& image = surface.Image();
  ASSERT_EQ(image.width(), 200);
  const double unit = 200.0 / 12;
  auto pixel = [&](double x, double y) { return image.pixelColor(static_cast<int>(x * unit + unit), static_cast<int>(y * unit + unit)); };
  EXPECT_TRUE(Near(pixel(0, 0), Qt::red)) << pixel(0, 0).name().toStdString();
  EXPECT_TRUE(Near(pixel(10.5, 0.5), Qt::red));          // inside the disc of node 1
  EXPECT_TRUE(Near(pixel(5, 0), QColor(100, 100, 100), 30)) << pixel(5, 0).name().toStdString();  // edge 0-1
  EXPECT_TRUE(Near(pixel(2, 8), Qt::white));            // empty space
  EXPECT_TRUE(Near(pixel(0, 4), Qt::white));            // just outside node 0's disc

  // The label's text lies right of and below node 2's centre.
  int blue = 0;
  for (int x = 0; x < 20; ++x) {
    for (int y = 0; y < 14; ++y) {
      QColor c = image.pixelColor(static_cast<int>(6 * unit) + x, static_cast<int>(11 * unit) + y);
      if (c.blue() > 150 && c.red() < 120) ++blue;
    }
  }
  EXPECT_GT(blue, 5);

  QPointF world = surface.PixelToWorld(QPointF(unit * 6, unit * 3));
  EXPECT_NEAR(world.x(), 5, 1e-4);
  EXPECT_NEAR(world.y(), 2, 1e-4);

  TempFolder folder;
  ASSERT_TRUE(surface.SavePng(folder.File("map.png")));
  QImage loaded(QString::fromStdString(folder.File("map.png")));
  EXPECT_EQ(loaded.size(), image.size());
  EXPECT_EQ(loaded.pixelColor(static_cast<int>(unit), static_cast<int>(unit)), image.pixelColor(static_cast<int>(unit), static_cast<int>(unit)));
}

TEST(QImageSurface, FilledSquareUsesThePenAndResizingClears) {
  QImageSurface surface(100, 50);
  surface.SetMapping(0, 0, 100, 50);
  surface.SetLineWidth(2);
  surface.SetPenColor(Rgb(0, 128, 0));
  surface.Rectangle(10, 10, 30, 30, RectangleStyle::FilledWithPen);
  surface.Rectangle(60, 10, 80, 30, RectangleStyle::Outline);
  const QImage& image = surface.Image();
  EXPECT_EQ(image.pixelColor(20, 20), QColor(0, 128, 0));
  EXPECT_EQ(image.pixelColor(70, 20), QColor(Qt::white));  // outline only
  EXPECT_TRUE(Near(image.pixelColor(60, 20), QColor(0, 128, 0), 60));

  surface.SetPlacement({0, 0, 40, 30});
  EXPECT_EQ(surface.Image().width(), 40);
  EXPECT_EQ(surface.Image().pixelColor(20, 20), QColor(Qt::white));
}

}  // namespace
}  // namespace wendrel
