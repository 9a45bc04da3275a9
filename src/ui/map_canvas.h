// The map's drawing surface on the main window (DVisContainer): a widget that shows the picture
// the point map draws into, passes it the mouse and keys, and drives its 16 ms timer.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

#include "pointmap/point_map.h"
#include "pointmap/qimage/qimage_surface.h"
#include "pointmap/surface.h"

namespace wendrel {

// The map window seam on Qt. The picture it holds follows the widget's size; on a resize the map
// is drawn anew. Mouse positions reach the map in world coordinates. Beside the map's own gestures,
// the wheel zooms and Home shows the whole map.
class MapCanvas : public QWidget, public MapWindow {
 public:
  explicit MapCanvas(QWidget* parent = nullptr);

  QImageSurface& Picture() { return *m_picture; }
  // The map that draws here and hears the mouse and keys.
  void Attach(PointMap2D& map) { m_map = &map; }

  Surface& CreatePicture(const std::string& name) override;
  void StartTimer(const std::string& name, int intervalMs, std::function<void()> tick) override;
  void SetMousePointer(MousePointer pointer) override;
  void DoEvents() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  // The wheel zooms about the pointer, a notch (120 eighths of a degree) by a quarter.
  void wheelEvent(QWheelEvent* event) override;

 private:
  QPointF World(const QMouseEvent* event) const;

  std::unique_ptr<QImageSurface> m_picture;
  std::vector<std::unique_ptr<QImageSurface>> m_extraPictures;
  std::vector<std::unique_ptr<QTimer>> m_timers;
  PointMap2D* m_map = nullptr;
};

}  // namespace wendrel
