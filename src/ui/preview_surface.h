// The preview picbmp: a borderless widget that owns its pixels (an RGB32
// image) and paints them one device pixel per image pixel. Pixels stay while
// it is hidden or covered. Pixel access speaks colour values 0x00BBGGRR.
#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>

#include "core/picture.h"

namespace zwp::ui {

class PreviewSurface : public QWidget {
  Q_OBJECT

 public:
  explicit PreviewSurface(QWidget* parent = nullptr);

  // The colour of a pixel, or -1 for a point outside the surface.
  int32_t pixel(int x, int y) const;
  void setPixel(int x, int y, int32_t colour);

  // Shows a picture: the surface takes its size and its pixels (and the
  // picture's storage, when it is handed over).
  void setPicture(Picture picture);
  // The surface's pixels as a picture of the surface's size.
  Picture picture() const;

  void setSurfaceWidth(int width);
  void setSurfaceHeight(int height);
  void setLeft(int left);
  // Only the part inside this rectangle of the parent is ever shown, however
  // large the picture; its pixels are all kept.
  void setClip(const QRect& inParent);

  // Paints rows [firstRow, lastRow] on the screen now, inside a running handler.
  void repaintRows(int firstRow, int lastRow);

  // The logical extents of the drawing area; they change no pixel and no size.
  void setScaleWidth(float width) { scaleWidth_ = width; }
  void setScaleHeight(float height) { scaleHeight_ = height; }
  float scaleWidth() const { return scaleWidth_; }
  float scaleHeight() const { return scaleHeight_; }

  static constexpr QRgb kBackground = 0xFFF0F0F0;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void resizeSurface(int width, int height);
  void updateMask();

  QImage image_;  // null while a side is zero
  QSize size_;
  float scaleWidth_ = 0;
  float scaleHeight_ = 0;
  QRect clip_;
};

// Paints the picture into the area (the surface, from its top left corner) at
// the device pixel ratio: every picture pixel becomes the same whole number of
// device pixels, at 1.25, 1.5 or 1.75 one (so that pixels are never 1 and 2
// wide by turns), at 2 two. Where that leaves part of the area free, it is
// painted in the ground colour, the panel's.
void paintPicture(QPainter& painter, const QImage& image, const QRect& area, qreal ratio, const QColor& ground);

}  // namespace zwp::ui
