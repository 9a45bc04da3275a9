// Headless implementations of the drawing seam: a surface that records what is drawn (with the
// colours in force) and a map window whose timer ticks only when told to.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pointmap/surface.h"

namespace wendrel {

enum class SurfaceOp { Mapping, Clear, Line, Rectangle, FilledRectangle, Circle, Text };

// One recorded call. Mapping, Line and the rectangles use both corners; Circle has its centre in
// (x1, y1) and its radius in x2; Text its point in (x1, y1). Colours and fill style are those in
// force when the call was made.
struct SurfaceCall {
  SurfaceOp op;
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  Color pen = 0;
  Color fill = 0;
  FillStyle fillStyle = FillStyle::Transparent;
  std::string text;
};

class RecordingSurface : public Surface {
 public:
  explicit RecordingSurface(std::string name = "PM2DMap") : m_name(std::move(name)) {}

  std::string Name() const override { return m_name; }
  void SetVisible(bool visible) override { m_visible = visible; }
  void SetEnabled(bool enabled) override { m_enabled = enabled; }
  void SetPersistent(bool persistent) override { m_persistent = persistent; }
  Placement GetPlacement() const override { return m_placement; }
  void SetPlacement(const Placement& placement) override { m_placement = placement; }

  void SetMapping(float x1, float y1, float x2, float y2) override;
  void Clear() override;
  void SetBackColor(Color color) override { m_backColor = color; }
  void SetPenColor(Color color) override { m_pen = color; }
  void SetFillColor(Color color) override { m_fill = color; }
  void SetFillStyle(FillStyle style) override { m_fillStyle = style; }
  void SetLineWidth(int pixels) override { m_lineWidth = pixels; }
  void SetFontName(const std::string& name) override { m_fontName = name; }

  void Line(float x1, float y1, float x2, float y2) override;
  void Rectangle(float x1, float y1, float x2, float y2, RectangleStyle style) override;
  void Circle(float x, float y, float radius) override;
  void Text(float x, float y, const std::string& text) override;
  // A fixed-pitch font: kCharPixels wide per character (code point), kLinePixels high.
  std::pair<float, float> TextPixelSize(const std::string& text) override;
  static constexpr float kCharPixels = 7;
  static constexpr float kLinePixels = 12;

  const std::vector<SurfaceCall>& Calls() const { return m_calls; }
  // The calls of one kind, in order.
  std::vector<SurfaceCall> CallsOf(SurfaceOp op) const;
  void ForgetCalls() { m_calls.clear(); }

  bool Visible() const { return m_visible; }
  bool Enabled() const { return m_enabled; }
  bool Persistent() const { return m_persistent; }
  Color BackColor() const { return m_backColor; }
  int LineWidth() const { return m_lineWidth; }
  const std::string& FontName() const { return m_fontName; }

 private:
  void Record(SurfaceOp op, float x1, float y1, float x2, float y2, std::string text = "");

  std::string m_name;
  bool m_visible = false;
  bool m_enabled = false;
  bool m_persistent = false;
  Placement m_placement;
  Color m_backColor = 0;
  Color m_pen = 0;
  Color m_fill = 0;
  FillStyle m_fillStyle = FillStyle::Transparent;
  int m_lineWidth = 1;
  std::string m_fontName;
  std::vector<SurfaceCall> m_calls;
};

// A window without an event loop: pictures it creates are recording surfaces, its timer ticks
// when Tick is called, and it remembers the pointer shapes it was given.
class HeadlessMapWindow : public MapWindow {
 public:
  Surface& CreatePicture(const std::string& name) override;
  void StartTimer(const std::string& name, int intervalMs, std::function<void()> tick) override;
  void SetMousePointer(MousePointer pointer) override { m_pointers.push_back(pointer); }
  void DoEvents() override;

  // Runs the timer's handler once; false when no timer was started.
  bool Tick();
  // Called on every DoEvents, so a test can act while a handler gives the event loop a turn.
  void OnDoEvents(std::function<void()> callback) { m_onDoEvents = std::move(callback); }

  const std::string& TimerName() const { return m_timerName; }
  int TimerIntervalMs() const { return m_timerIntervalMs; }
  const std::vector<MousePointer>& Pointers() const { return m_pointers; }
  int DoEventsCount() const { return m_doEventsCount; }
  // The pictures created on the window, in order.
  const std::deque<std::unique_ptr<RecordingSurface>>& Pictures() const { return m_pictures; }

 private:
  std::deque<std::unique_ptr<RecordingSurface>> m_pictures;
  std::string m_timerName;
  int m_timerIntervalMs = 0;
  std::function<void()> m_tick;
  std::function<void()> m_onDoEvents;
  std::vector<MousePointer> m_pointers;
  int m_doEventsCount = 0;
};

}  // namespace wendrel
