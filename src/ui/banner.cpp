#include "ui/banner.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace zwp::ui {

namespace {

// A heraldic shield split into the three 5-6-5 colour fields, 57 x 80 at (330, 12).
void drawShield(QPainter& p) {
  QPainterPath shield;
  shield.moveTo(330, 12);
  shield.lineTo(386, 12);
  shield.lineTo(386, 50);
  shield.quadTo(386, 78, 358, 92);
  shield.quadTo(330, 78, 330, 50);
  shield.closeSubpath();
  p.save();
  p.setClipPath(shield);
  p.fillRect(330, 12, 19, 80, QColor(200, 40, 40));
  p.fillRect(349, 12, 19, 80, QColor(40, 160, 60));
  p.fillRect(368, 12, 19, 80, QColor(40, 70, 190));
  p.restore();
  p.setPen(QPen(QColor(40, 40, 60), 2.5));
  p.drawPath(shield);
}

}  // namespace

QImage shieldImage() {
  QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(32, 32);
  p.scale(0.72, 0.72);
  p.translate(-358.5, -52);
  drawShield(p);
  return image;
}

QImage bannerImage(qreal zoom) {
  QImage image(qRound(400 * zoom), qRound(100 * zoom), QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(zoom, zoom);

  QLinearGradient ground(0, 0, 0, 100);
  ground.setColorAt(0, QColor(186, 222, 250));
  ground.setColorAt(1, QColor(120, 180, 235));
  p.fillRect(QRect(0, 0, 400, 100), ground);
  drawShield(p);

  // Sizes in pixels of the 400 x 100 picture, whatever the desktop's font size or dpi.
  QFont title(QStringLiteral("Sans Serif"));
  title.setPixelSize(32);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(20, 50, 110));
  p.drawText(QRect(8, 6, 316, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ZWP-Konverter"));
  QFont sub(QStringLiteral("Sans Serif"));
  sub.setPixelSize(13);
  p.setFont(sub);
  p.setPen(QColor(30, 60, 100));
  p.drawText(QRect(110, 52, 214, 40), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
             QStringLiteral("Bitmaps und Zorbel-Wappen\nin beide Richtungen"));
  return image;
}

}  // namespace zwp::ui
