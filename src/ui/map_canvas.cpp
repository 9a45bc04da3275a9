// The map's drawing surface widget.
#include "ui/map_canvas.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

namespace wendrel {

namespace {

int Buttons(Qt::MouseButtons buttons) {
  return ((buttons & Qt::LeftButton) ? kLeftButton : 0) | ((buttons & Qt::RightButton) ? kRightButton : 0);
}

int Shift(Qt::KeyboardModifiers modifiers) {
  return ((modifiers & Qt::ShiftModifier) ? 1 : 0) | ((modifiers & Qt::ControlModifier) ? 2 : 0) |
         ((modifiers & Qt::AltModifier) ? 4 : 0);
}

}  // namespace

MapCanvas::MapCanvas(QWidget* parent)
    : QWidget(parent), m_picture(std::make_unique<QImageSurface>(1, 1, "DVisContainer")) {
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setMinimumSize(120, 120);
}

Surface& MapCanvas::CreatePicture(const std::string& name) {
  m_extraPictures.push_back(std::make_unique<QImageSurface>(std::max(1, width()), std::max(1, height()), name));
  return *m_extraPictures.back();
}

void MapCanvas::StartTimer(const std::string&, int intervalMs, std::function<void()> tick) {
  auto timer = std::make_unique<QTimer>();
  timer->setInterval(intervalMs);
  QObject::connect(timer.get(), &QTimer::timeout, this, [this, tick = std::move(tick)] {
    tick();
    update();
  });
  timer->start();
  m_timers.push_back(std::move(timer));
}

void MapCanvas::SetMousePointer(MousePointer pointer) {
  setCursor(pointer == MousePointer::ArrowQuestion ? Qt::WhatsThisCursor : Qt::ArrowCursor);
}

void MapCanvas::DoEvents() { QCoreApplication::processEvents(); }

void MapCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), m_picture->Image());
}

void MapCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Placement placement = m_picture->GetPlacement();
  placement.width = static_cast<float>(width());
  placement.height = static_cast<float>(height());
  m_picture->SetPlacement(placement);
  m_picture->Clear();
  if (m_map) m_map->RenderView(true, false);
}

QPointF MapCanvas::World(const QMouseEvent* event) const { return m_picture->PixelToWorld(event->position()); }

void MapCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (!m_map) return;
  const QPointF at = World(event);
  m_map->MouseMove(Buttons(event->buttons()), Shift(event->modifiers()), static_cast<float>(at.x()),
                   static_cast<float>(at.y()));
  update();
}

void MapCanvas::mousePressEvent(QMouseEvent* event) {
  if (!m_map) return;
  const QPointF at = World(event);
  m_map->MouseDown(Buttons(event->button()), Shift(event->modifiers()), static_cast<float>(at.x()),
                   static_cast<float>(at.y()));
  update();
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (!m_map) return;
  const QPointF at = World(event);
  m_map->MouseUp(Buttons(event->button()), Shift(event->modifiers()), static_cast<float>(at.x()),
                 static_cast<float>(at.y()));
  if (event->button() == Qt::LeftButton) m_map->Click();
  update();
}

void MapCanvas::mouseDoubleClickEvent(QMouseEvent*) {
  if (!m_map) return;
  m_map->DoubleClick();
  update();
}

void MapCanvas::keyPressEvent(QKeyEvent* event) {
  if (!m_map) return;
  if (event->key() == Qt::Key_Home) {
    m_map->FitView();
    update();
    return;
  }
  const QString text = event->text();
  if (!text.isEmpty()) m_map->KeyPress(text.at(0).unicode());
  update();
}

void MapCanvas::keyReleaseEvent(QKeyEvent* event) {
  if (!m_map) return;
  m_map->KeyUp(event->key(), Shift(event->modifiers()));
  update();
}

void MapCanvas::wheelEvent(QWheelEvent* event) {
  if (!m_map || event->angleDelta().y() == 0) return;
  constexpr double kNotch = 120;
  constexpr double kZoomPerNotch = 1.25;
  const QPointF at = m_picture->PixelToWorld(event->position());
  m_map->WheelZoom(static_cast<float>(at.x()), static_cast<float>(at.y()),
                   static_cast<float>(std::pow(kZoomPerNotch, event->angleDelta().y() / kNotch)));
  event->accept();
  update();
}

}  // namespace wendrel
