// QImage surface: world-to-pixel mapping and QPainter drawing into the persistent image, with
// batched lines, cached node sprites and cached text layouts.
#include "pointmap/qimage/qimage_surface.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QSvgGenerator>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string_view>

#include "platform/replacing_file.h"

namespace wendrel {

namespace {

QColor ToQColor(Color color) { return QColor(RedOf(color), GreenOf(color), BlueOf(color)); }

bool HaveGuiApplication() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

constexpr int kTextPixelSize = 12;
// Shapes larger than this (half size in pixels) are drawn directly rather than as sprites.
constexpr double kMaxSpriteHalfSize = 40;
// The caches start afresh beyond these sizes, so zooming through many sizes cannot grow them.
constexpr size_t kMaxSprites = 4096;
constexpr size_t kMaxTexts = 65536;

enum ShapeKind { kOutlineRectangle = 0, kFilledRectangle = 1, kCircle = 2 };

}  // namespace

size_t QImageSurface::SpriteKeyHash::operator()(const SpriteKey& key) const {
  size_t hash = std::hash<int>()(key.kind);
  for (size_t part : {size_t(key.halfWidthQuarters), size_t(key.halfHeightQuarters), size_t(key.lineWidth),
                      size_t(key.pen), size_t(key.fill)}) {
    hash = hash * 1000003u ^ part;
  }
  return hash;
}

QImageSurface::QImageSurface(int widthPixels, int heightPixels, std::string name)
    : m_name(std::move(name)), m_image(std::max(widthPixels, 1), std::max(heightPixels, 1), QImage::Format_RGB32) {
  m_placement.width = static_cast<float>(m_image.width());
  m_placement.height = static_cast<float>(m_image.height());
  m_image.fill(ToQColor(m_backColor));
}

QImageSurface::~QImageSurface() { EndPainting(); }

QPainter& QImageSurface::Painter() {
  if (!m_painter) {
    m_painter = std::make_unique<QPainter>(m_vectorCopy ? m_vectorCopy : static_cast<QPaintDevice*>(&m_image));
    m_painter->setRenderHint(QPainter::Antialiasing, true);
    m_painter->setRenderHint(QPainter::TextAntialiasing, true);
    m_painterHasFont = false;
    ApplyPen();
    ApplyBrush();
  }
  return *m_painter;
}

void QImageSurface::EndPainting() {
  FlushLines();
  if (m_painter) {
    m_painter->end();
    m_painter.reset();
  }
}

void QImageSurface::FlushLines() {
  if (m_pendingLines.empty()) return;
  Painter().drawLines(m_pendingLines.data(), static_cast<int>(m_pendingLines.size()));
  m_pendingLines.clear();
}

void QImageSurface::ApplyPen() {
  if (!m_painter) return;
  QPen pen(m_pen);
  pen.setWidth(m_lineWidth);
  pen.setCapStyle(Qt::FlatCap);
  m_painter->setPen(pen);
}

void QImageSurface::ApplyBrush() {
  if (!m_painter) return;
  m_painter->setBrush(m_fillStyle == FillStyle::Solid ? QBrush(m_fill) : QBrush(Qt::NoBrush));
}

void QImageSurface::SetPlacement(const Placement& placement) {
  const int width = static_cast<int>(std::lround(placement.width));
  const int height = static_cast<int>(std::lround(placement.height));
  m_placement = placement;
  if (width > 0 && height > 0 && (width != m_image.width() || height != m_image.height())) {
    EndPainting();
    m_image = QImage(width, height, QImage::Format_RGB32);
    m_image.fill(ToQColor(m_backColor));
  }
}

void QImageSurface::SetMapping(float x1, float y1, float x2, float y2) {
  m_worldX = x1;
  m_worldY = y1;
  m_scaleX = m_image.width() / (static_cast<double>(x2) - x1);
  m_scaleY = m_image.height() / (static_cast<double>(y2) - y1);
}

bool QImageSurface::MappingUsable() const { return std::isfinite(m_scaleX) && std::isfinite(m_scaleY); }

QPointF QImageSurface::ToPixel(float x, float y) const {
  return QPointF((x - m_worldX) * m_scaleX, (y - m_worldY) * m_scaleY);
}

QPointF QImageSurface::PixelToWorld(QPointF pixel) const {
  return QPointF(m_worldX + pixel.x() / m_scaleX, m_worldY + pixel.y() / m_scaleY);
}

void QImageSurface::Clear() {
  m_pendingLines.clear();
  if (m_vectorCopy) {
    // Ending the painter would end the SVG document: the background is painted over instead.
    Painter().fillRect(QRectF(0, 0, m_image.width(), m_image.height()), ToQColor(m_backColor));
    return;
  }
  EndPainting();
  m_image.fill(ToQColor(m_backColor));
}

void QImageSurface::SetPenColor(Color color) {
  QColor pen = ToQColor(color);
  if (pen == m_pen) return;
  FlushLines();
  m_pen = pen;
  ApplyPen();
}

void QImageSurface::SetFillColor(Color color) {
  QColor fill = ToQColor(color);
  if (fill == m_fill) return;
  m_fill = fill;
  if (m_fillStyle == FillStyle::Solid) ApplyBrush();
}

void QImageSurface::SetFillStyle(FillStyle style) {
  if (style == m_fillStyle) return;
  m_fillStyle = style;
  ApplyBrush();
}

void QImageSurface::SetLineWidth(int pixels) {
  FlushLines();
  m_lineWidth = std::max(pixels, 1);
  ApplyPen();
}

void QImageSurface::SetFontName(const std::string& name) {
  m_fontName = name;
  m_fontSet = false;
}

void QImageSurface::Line(float x1, float y1, float x2, float y2) {
  if (!MappingUsable()) return;
  m_pendingLines.emplace_back(ToPixel(x1, y1), ToPixel(x2, y2));
}

void QImageSurface::PaintShape(QPainter& painter, int kind, QPointF centre, double halfWidth, double halfHeight) {
  const QRectF rect(centre.x() - halfWidth, centre.y() - halfHeight, 2 * halfWidth, 2 * halfHeight);
  switch (kind) {
    case kOutlineRectangle:
      painter.drawRect(rect);
      break;
    case kFilledRectangle: {
      QBrush brush = painter.brush();
      painter.fillRect(rect, painter.pen().color());
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(rect);
      painter.setBrush(brush);
      break;
    }
    default:
      painter.drawEllipse(centre, halfWidth, halfWidth);
      break;
  }
}

void QImageSurface::DrawShape(int kind, QPointF centre, double halfWidth, double halfHeight) {
  FlushLines();
  QPainter& painter = Painter();
  // A vector copy gets every shape as itself, never as a copied sprite.
  if (m_vectorCopy || !(halfWidth <= kMaxSpriteHalfSize && halfHeight <= kMaxSpriteHalfSize)) {
    PaintShape(painter, kind, centre, halfWidth, halfHeight);
    return;
  }
  const bool filled = kind != kFilledRectangle && m_fillStyle == FillStyle::Solid;
  SpriteKey key{kind, static_cast<int>(std::lround(halfWidth * 4)), static_cast<int>(std::lround(halfHeight * 4)),
                m_lineWidth, m_pen.rgb(), filled ? m_fill.rgb() : QRgb(0)};
  auto found = m_sprites.find(key);
  if (found == m_sprites.end()) {
    if (m_sprites.size() >= kMaxSprites) m_sprites.clear();
    const double spriteHalfWidth = key.halfWidthQuarters / 4.0;
    const double spriteHalfHeight = key.halfHeightQuarters / 4.0;
    const int margin = m_lineWidth + 1;
    QImage sprite(2 * (static_cast<int>(std::ceil(spriteHalfWidth)) + margin),
                  2 * (static_cast<int>(std::ceil(kind == kCircle ? spriteHalfWidth : spriteHalfHeight)) + margin),
                  QImage::Format_ARGB32_Premultiplied);
    sprite.fill(Qt::transparent);
    QPainter spritePainter(&sprite);
    spritePainter.setRenderHint(QPainter::Antialiasing, true);
    spritePainter.setPen(painter.pen());
    spritePainter.setBrush(painter.brush());
    PaintShape(spritePainter, kind, QPointF(sprite.width() / 2.0, sprite.height() / 2.0), spriteHalfWidth,
               spriteHalfHeight);
    spritePainter.end();
    found = m_sprites.emplace(key, std::move(sprite)).first;
  }
  const QImage& sprite = found->second;
  painter.drawImage(QPoint(static_cast<int>(std::lround(centre.x() - sprite.width() / 2.0)),
                           static_cast<int>(std::lround(centre.y() - sprite.height() / 2.0))),
                    sprite);
}

void QImageSurface::Rectangle(float x1, float y1, float x2, float y2, RectangleStyle style) {
  if (!MappingUsable()) return;
  const QRectF rect = QRectF(ToPixel(x1, y1), ToPixel(x2, y2)).normalized();
  DrawShape(style == RectangleStyle::FilledWithPen ? kFilledRectangle : kOutlineRectangle, rect.center(),
            rect.width() / 2, rect.height() / 2);
}

void QImageSurface::Circle(float x, float y, float radius) {
  if (!MappingUsable()) return;
  const double pixels = std::fabs(radius * m_scaleX);
  DrawShape(kCircle, ToPixel(x, y), pixels, pixels);
}

const QStaticText* QImageSurface::Layout(const std::string& text) {
  if (!HaveGuiApplication()) return nullptr;
  if (!m_fontSet) {
    m_font = QFont(QString::fromStdString(m_fontName));
    m_font.setStyleHint(QFont::TypeWriter);
    m_font.setPixelSize(kTextPixelSize);
    m_fontSet = true;
    m_painterHasFont = false;
    m_texts.clear();
  }
  auto found = m_texts.find(text);
  if (found == m_texts.end()) {
    if (m_texts.size() >= kMaxTexts) m_texts.clear();
    QStaticText layout(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
    layout.setTextFormat(Qt::PlainText);
    layout.prepare(QTransform(), m_font);
    found = m_texts.emplace(text, std::move(layout)).first;
  }
  return &found->second;
}

void QImageSurface::Text(float x, float y, const std::string& text) {
  if (!MappingUsable() || text.empty()) return;
  const QStaticText* layout = Layout(text);
  if (!layout) return;
  FlushLines();
  QPainter& painter = Painter();
  if (!m_painterHasFont) {
    painter.setFont(m_font);
    m_painterHasFont = true;
  }
  painter.drawStaticText(ToPixel(x, y), *layout);
}

std::pair<float, float> QImageSurface::TextPixelSize(const std::string& text) {
  if (text.empty()) return {0, 0};
  const QStaticText* layout = Layout(text);
  if (!layout) return {0, 0};
  const QSizeF size = layout->size();
  return {static_cast<float>(size.width()), static_cast<float>(size.height())};
}

const QImage& QImageSurface::Image() {
  EndPainting();
  return m_image;
}

bool QImageSurface::SavePng(const std::string& path, std::string* why) {
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !Image().save(&buffer, "PNG")) {
    if (why) *why = "the picture cannot be encoded as PNG";
    return false;
  }
  try {
    ReplaceFile(path, std::string_view(png.constData(), static_cast<size_t>(png.size())));
    return true;
  } catch (const ReplaceError& e) {
    if (why) *why = e.Reason();
    return false;
  }
}

bool QImageSurface::SaveSvg(const std::string& path, const std::function<void()>& draw) {
  QByteArray svg;
  QBuffer buffer(&svg);
  if (!buffer.open(QIODevice::WriteOnly)) return false;
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(m_image.size());
  generator.setViewBox(QRect(QPoint(0, 0), m_image.size()));
  generator.setTitle("Wendrel Search map");
  EndPainting();
  m_vectorCopy = &generator;
  m_painterHasFont = false;
  draw();
  EndPainting();
  m_vectorCopy = nullptr;
  m_painterHasFont = false;
  buffer.close();
  if (svg.isEmpty()) return false;
  try {
    ReplaceFile(path, std::string_view(svg.constData(), static_cast<size_t>(svg.size())));
    return true;
  } catch (const ReplaceError&) {
    return false;
  }
}

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "wendrel";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends; Qt expects its application object to outlast every painter.
  static QGuiApplication* application = new QGuiApplication(argc, argv);
  (void)application;
}

}  // namespace wendrel
