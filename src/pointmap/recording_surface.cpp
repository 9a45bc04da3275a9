// Recording surface and headless map window.
#include "pointmap/recording_surface.h"

namespace wendrel {

void RecordingSurface::Record(SurfaceOp op, float x1, float y1, float x2, float y2, std::string text) {
  m_calls.push_back({op, x1, y1, x2, y2, m_pen, m_fill, m_fillStyle, std::move(text)});
}

void RecordingSurface::SetMapping(float x1, float y1, float x2, float y2) { Record(SurfaceOp::Mapping, x1, y1, x2, y2); }

void RecordingSurface::Clear() { Record(SurfaceOp::Clear, 0, 0, 0, 0); }

void RecordingSurface::Line(float x1, float y1, float x2, float y2) { Record(SurfaceOp::Line, x1, y1, x2, y2); }

void RecordingSurface::Rectangle(float x1, float y1, float x2, float y2, RectangleStyle style) {
  Record(style == RectangleStyle::Outline ? SurfaceOp::Rectangle : SurfaceOp::FilledRectangle, x1, y1, x2, y2);
}

void RecordingSurface::Circle(float x, float y, float radius) { Record(SurfaceOp::Circle, x, y, radius, 0); }

void RecordingSurface::Text(float x, float y, const std::string& text) { Record(SurfaceOp::Text, x, y, 0, 0, text); }

std::pair<float, float> RecordingSurface::TextPixelSize(const std::string& text) {
  size_t codePoints = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++codePoints;
  }
  return {static_cast<float>(codePoints) * kCharPixels, kLinePixels};
}

std::vector<SurfaceCall> RecordingSurface::CallsOf(SurfaceOp op) const {
  std::vector<SurfaceCall> calls;
  for (const auto& call : m_calls) {
    if (call.op == op) calls.push_back(call);
  }
  return calls;
}

Surface& HeadlessMapWindow::CreatePicture(const std::string& name) {
  m_pictures.push_back(std::make_unique<RecordingSurface>(name));
  return *m_pictures.back();
}

void HeadlessMapWindow::StartTimer(const std::string& name, int intervalMs, std::function<void()> tick) {
  m_timerName = name;
  m_timerIntervalMs = intervalMs;
  m_tick = std::move(tick);
}

void HeadlessMapWindow::DoEvents() {
  ++m_doEventsCount;
  if (m_onDoEvents) m_onDoEvents();
}

bool HeadlessMapWindow::Tick() {
  if (!m_tick) return false;
  m_tick();
  return true;
}

}  // namespace wendrel
