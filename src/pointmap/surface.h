// The map's drawing seam: the 2-D drawing surface (world-to-pixel mapping, colours, lines,
// rectangles, circles, text) and the host window that supplies pictures, the timer and the
// mouse pointer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace wendrel {

// 24-bit RGB packed with red in the low byte: red + 256 * green + 65536 * blue.
using Color = uint32_t;

constexpr Color Rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<Color>(red) | (static_cast<Color>(green) << 8) | (static_cast<Color>(blue) << 16);
}
constexpr uint8_t RedOf(Color color) { return color & 0xFF; }
constexpr uint8_t GreenOf(Color color) { return (color >> 8) & 0xFF; }
constexpr uint8_t BlueOf(Color color) { return (color >> 16) & 0xFF; }

enum class FillStyle { Solid, Transparent };

// How a rectangle is drawn: outlined in the pen colour (the interior per the fill style), or
// filled solid with the pen colour.
enum class RectangleStyle { Outline, FilledWithPen };

// Position and size of a surface on its host window, in the host's units.
struct Placement {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
};

// A drawing surface in world coordinates. SetMapping makes world point (x1, y1) the top-left and
// (x2, y2) the bottom-right corner. What is drawn persists (the window repaints from it). A new
// surface draws with a transparent fill style.
class Surface {
 public:
  virtual ~Surface() = default;

  virtual std::string Name() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual void SetPersistent(bool persistent) = 0;
  virtual Placement GetPlacement() const = 0;
  virtual void SetPlacement(const Placement& placement) = 0;

  virtual void SetMapping(float x1, float y1, float x2, float y2) = 0;
  virtual void Clear() = 0;
  virtual void SetBackColor(Color color) = 0;
  virtual void SetPenColor(Color color) = 0;
  virtual void SetFillColor(Color color) = 0;
  virtual void SetFillStyle(FillStyle style) = 0;
  virtual void SetLineWidth(int pixels) = 0;
  virtual void SetFontName(const std::string& name) = 0;

  virtual void Line(float x1, float y1, float x2, float y2) = 0;
  virtual void Rectangle(float x1, float y1, float x2, float y2, RectangleStyle style) = 0;
  // The radius is in horizontal world units, so the circle stays round whatever the mapping.
  virtual void Circle(float x, float y, float radius) = 0;
  // Writes text in the pen colour with its top-left corner at the world point.
  virtual void Text(float x, float y, const std::string& text) = 0;
  // Width and height in pixels that Text takes for text ({0, 0} when the surface writes no text).
  virtual std::pair<float, float> TextPixelSize(const std::string& text) = 0;
};

enum class MousePointer { Default, ArrowQuestion };

// The window that owns the map.
class MapWindow {
 public:
  virtual ~MapWindow() = default;
  // A new picture control on the window; the window keeps it.
  virtual Surface& CreatePicture(const std::string& name) = 0;
  // A timer control that calls tick every intervalMs while the window lives.
  virtual void StartTimer(const std::string& name, int intervalMs, std::function<void()> tick) = 0;
  virtual void SetMousePointer(MousePointer pointer) = 0;
  // Gives the event loop a turn.
  virtual void DoEvents() = 0;
};

}  // namespace wendrel
