// A drawing surface that paints into a QImage (antialiased, lines in pixels): the picture the
// desktop window shows and the one the command line writes as PNG.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QStaticText>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "pointmap/surface.h"

namespace wendrel {

// The image is the persistent picture: drawing goes into it and Image() hands it to whoever
// repaints. Text needs a QGuiApplication (for fonts); without one, texts are skipped.
// For speed, runs of lines are drawn in one batch, small node shapes are drawn once into a
// cached sprite and then copied (placed to the nearest pixel), and texts keep their layout.
class QImageSurface : public Surface {
 public:
  QImageSurface(int widthPixels, int heightPixels, std::string name = "PM2DMap");
  ~QImageSurface() override;

  std::string Name() const override { return m_name; }
  void SetVisible(bool visible) override { m_visible = visible; }
  void SetEnabled(bool enabled) override { m_enabled = enabled; }
  // The image always keeps what was drawn.
  void SetPersistent(bool) override {}
  Placement GetPlacement() const override { return m_placement; }
  // A new width or height (in pixels) resizes the image; its content is then cleared.
  void SetPlacement(const Placement& placement) override;

  void SetMapping(float x1, float y1, float x2, float y2) override;
  void Clear() override;
  void SetBackColor(Color color) override { m_backColor = color; }
  void SetPenColor(Color color) override;
  void SetFillColor(Color color) override;
  void SetFillStyle(FillStyle style) override;
  void SetLineWidth(int pixels) override;
  void SetFontName(const std::string& name) override;

  void Line(float x1, float y1, float x2, float y2) override;
  void Rectangle(float x1, float y1, float x2, float y2, RectangleStyle style) override;
  void Circle(float x, float y, float radius) override;
  void Text(float x, float y, const std::string& text) override;
  std::pair<float, float> TextPixelSize(const std::string& text) override;

  bool Visible() const { return m_visible; }
  bool Enabled() const { return m_enabled; }
  // The picture so far (painting is finished first).
  const QImage& Image();
  // Replaces the file in one step (see ReplacingFile); false when it cannot be written, with the
  // system's reason in `why` when given ("No space left on device").
  bool SavePng(const std::string& path, std::string* why = nullptr);
  // Writes what `draw` draws on this surface as an SVG picture of the image's size instead of
  // into the image (which stays as it was): lines, shapes and texts as vectors. Replaces the
  // file in one step; false when it cannot be written.
  bool SaveSvg(const std::string& path, const std::function<void()>& draw);
  // The world point under a pixel, through the last mapping (for mouse events).
  QPointF PixelToWorld(QPointF pixel) const;

 private:
  // What a sprite shows: the shape, its size in quarter pixels and its colours.
  struct SpriteKey {
    int kind;
    int halfWidthQuarters;
    int halfHeightQuarters;
    int lineWidth;
    QRgb pen;
    QRgb fill;  // transparent when the shape is not filled
    bool operator==(const SpriteKey&) const = default;
  };
  struct SpriteKeyHash {
    size_t operator()(const SpriteKey& key) const;
  };

  QPainter& Painter();
  // The laid-out text in the surface's font (made on first use); null without a QGuiApplication.
  const QStaticText* Layout(const std::string& text);
  void EndPainting();
  void FlushLines();
  // Draws a rectangle (kind 0 outline, 1 filled with the pen) or a circle (2) of the given half
  // size in pixels around a pixel centre, through the sprite cache when it is small.
  void DrawShape(int kind, QPointF centre, double halfWidth, double halfHeight);
  void PaintShape(QPainter& painter, int kind, QPointF centre, double halfWidth, double halfHeight);
  QPointF ToPixel(float x, float y) const;
  bool MappingUsable() const;
  void ApplyPen();
  void ApplyBrush();

  std::string m_name;
  bool m_visible = false;
  bool m_enabled = false;
  Placement m_placement;
  QImage m_image;
  std::unique_ptr<QPainter> m_painter;
  // While SaveSvg draws: where drawing goes instead of the image.
  QPaintDevice* m_vectorCopy = nullptr;
  double m_worldX = 0, m_worldY = 0;    // world point at the top-left corner
  double m_scaleX = 1, m_scaleY = 1;    // pixels per world unit
  Color m_backColor = 0xFFFFFF;
  QColor m_pen = Qt::black;
  QColor m_fill = Qt::black;
  FillStyle m_fillStyle = FillStyle::Transparent;
  int m_lineWidth = 1;
  QFont m_font;
  bool m_fontSet = false;
  bool m_painterHasFont = false;
  std::string m_fontName = "Courier";
  std::vector<QLineF> m_pendingLines;
  std::unordered_map<SpriteKey, QImage, SpriteKeyHash> m_sprites;
  std::unordered_map<std::string, QStaticText> m_texts;
};

// Creates the process's QGuiApplication when there is none, on the platform named by
// QT_QPA_PLATFORM ("offscreen" when unset), so headless programs can draw text.
void EnsureGuiApplication();

}  // namespace wendrel
