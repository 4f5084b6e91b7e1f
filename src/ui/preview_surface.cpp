#include "ui/preview_surface.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPaintEvent>

namespace zwp::ui {

namespace {
QRgb toRgb(int32_t colour) { return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }
int32_t toColour(QRgb rgb) { return qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16); }
}  // namespace

PreviewSurface::PreviewSurface(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

int32_t PreviewSurface::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return -1;
  return toColour(reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x]);
}

void PreviewSurface::setPixel(int x, int y, int32_t colour) {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
  reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = toRgb(colour);
}

void PreviewSurface::setPicture(Picture picture) {
  const int width = picture.width();
  const int height = picture.height();
  if (picture.pixels().empty()) {
    resizeSurface(width, height);
  } else {
    // The picture's own storage becomes the image: each colour value is
    // turned into the image's form in place, and nothing is copied.
    auto* storage = new std::vector<int32_t>(picture.release());
    for (int32_t& colour : *storage) colour = static_cast<int32_t>(toRgb(colour));
    image_ = QImage(
        reinterpret_cast<uchar*>(storage->data()), width, height, static_cast<qsizetype>(width) * 4,
        QImage::Format_RGB32, [](void* owned) { delete static_cast<std::vector<int32_t>*>(owned); }, storage);
    size_ = QSize(width, height);
    resize(size_);
  }
  update();
}

Picture PreviewSurface::picture() const {
  Picture p(image_.width(), image_.height());
  for (int y = 0; y < p.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image_.constScanLine(y));
    for (int x = 0; x < p.width(); ++x) p.set(x, y, toColour(line[x]));
  }
  return p;
}

void PreviewSurface::resizeSurface(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  size_ = QSize(width, height);
  if (width != image_.width() || height != image_.height()) {
    QImage next(width, height, QImage::Format_RGB32);
    if (!next.isNull()) {
      next.fill(kBackground);
      QPainter(&next).drawImage(0, 0, image_);
    }
    image_ = next;
  }
  resize(width, height);
}

void PreviewSurface::setSurfaceWidth(int width) { resizeSurface(width, size_.height()); }
void PreviewSurface::setSurfaceHeight(int height) { resizeSurface(size_.width(), height); }
void PreviewSurface::setLeft(int left) { move(left, y()); }

void PreviewSurface::repaintRows(int firstRow, int lastRow) {
  repaint(0, firstRow, image_.width(), lastRow - firstRow + 1);
}

void PreviewSurface::setClip(const QRect& inParent) {
  clip_ = inParent;
  updateMask();
}

void PreviewSurface::updateMask() {
  if (clip_.isNull()) return;
  const QRect visible = clip_.translated(-pos()).intersected(rect());
  // An empty mask would show everything: a mask outside the widget shows nothing.
  setMask(visible.isEmpty() ? QRegion(-1, -1, 1, 1) : QRegion(visible));
}

void PreviewSurface::moveEvent(QMoveEvent*) { updateMask(); }
void PreviewSurface::resizeEvent(QResizeEvent*) { updateMask(); }

void paintPicture(QPainter& painter, const QImage& image, const QRect& area, qreal ratio, const QColor& ground) {
  const qreal whole = std::max(1.0, std::floor(ratio + 1e-6));
  if (whole == ratio) {
    painter.drawImage(area.topLeft(), image, area);
    return;
  }
  // The surface is opaque: all of it is painted, or what was there before shows.
  painter.fillRect(area, ground);
  painter.save();
  painter.scale(whole / ratio, whole / ratio);
  painter.drawImage(QPoint(0, 0), image);
  painter.restore();
}

void PreviewSurface::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QWidget* panel = parentWidget() ? parentWidget() : this;
  paintPicture(painter, image_, rect(), devicePixelRatioF(), panel->palette().color(panel->backgroundRole()));
}

}  // namespace zwp::ui
