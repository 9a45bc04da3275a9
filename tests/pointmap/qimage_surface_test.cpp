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



bool Near(QColor actual, QColor expected, int tolerance = 12) {
  return std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance &&
         std::abs(actual.blue() - expected.blue()) <= tolerance;
}

TEST(QImageSurface, DrawsNodesAndEdgesIntoThePicture) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  EnsureGuiApplication();

  HeadlessMapWindow window;
  QImageSurface surface(200, 200);
  PointMap2D map;
  map.InitializePM2DCtl(window, &surface);
  // View -1 .. 11 both ways: 200/12 pixels a unit. Base size (10 + 5) / 2 / 3 = 2.5, 41.7 px.
  map.SetCoordinates(test::MakeLayout({{0, 0}, {10, 0}, {5, 10}}, {{0, 1}, {1, 2}}));
  map.SetNodeShape(3);
  for (int i = 0; i < 3; ++i) map.SetNodeCluster(i, 12);  // red
  map.SetShowEdges(true);
  map.SetSelectedNode(-1);
  map.SetHoverNode(-1);
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
}

}  // namespace
}  // namespace wendrel
