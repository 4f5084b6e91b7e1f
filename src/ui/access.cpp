#include "ui/access.h"

#include <algorithm>
#include <cmath>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>

#include "ui/drive_list.h"
#include "ui/preview_surface.h"

namespace zwp::ui {

namespace {
// The drive box is named by its label, and its drive is its value; Qt's own
// combo box would give the drive as its name.
class DriveBoxInterface final : public QAccessibleWidget {
 public:
  explicit DriveBoxInterface(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return static_cast<QComboBox*>(widget())->currentText();
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* windowInterface(const QString& key, QObject* object) {
  if (!object->isWidgetType()) return nullptr;
  if (key == QLatin1String(PreviewSurface::staticMetaObject.className())) {
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
  }
  if (key == QLatin1String(DriveListBox::staticMetaObject.className())) {
    return new DriveBoxInterface(static_cast<QComboBox*>(object));
  }
  return nullptr;
}
}  // namespace

void installAccessibility() {
  static const bool installed = (QAccessible::installFactory(windowInterface), true);
  (void)installed;
}

double contrastOf(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& c) {
    const auto linear = [](int v) {
      const double s = v / 255.0;
      return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
  };
  const double x = luminance(a);
  const double y = luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

void keepApartFrom(QWidget* control, const QColor& panel) {
  QPalette pal = control->palette();
  if (contrastOf(pal.color(QPalette::Base), panel) >= 3 && contrastOf(pal.color(QPalette::Button), panel) >= 3) return;
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Text, Qt::black);
  pal.setColor(QPalette::Button, QColor(239, 239, 239));
  pal.setColor(QPalette::ButtonText, Qt::black);
  control->setPalette(pal);
}

FocusRing::FocusRing(QWidget* window) : QFocusFrame(window), window_(window) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { follow(now); });
}

void FocusRing::follow(QWidget* now) {
  if (!now || now == window_ || now->window() != window_) {
    setWidget(nullptr);
    return;
  }
  QPalette ring = palette();
  ring.setColor(QPalette::WindowText, now->property("zwpFocusOnLight").toBool() ? Qt::black : Qt::white);
  setPalette(ring);
  setWidget(now);
}

}  // namespace zwp::ui
