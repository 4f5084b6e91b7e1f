#include "ui/access.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QListWidget>

#include "ui/drive_list.h"
#include "ui/preview_surface.h"

namespace zwp::ui {

namespace {
constexpr char kNotice[] = "zwpNotice";

// The drive box is named by its label, and its drive is its value, its text
// (Orca 43 reads that of a combo box that cannot be edited) and, where Qt
// can give attributes (6.8 on), its "valuetext" (Orca 48 reads that); Qt's
// own combo box would give the drive as its name and no text at all.
class DriveBoxInterface final : public QAccessibleWidget,
                                public QAccessibleTextInterface
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    ,
                                public QAccessibleAttributesInterface
#endif
{
 public:
  explicit DriveBoxInterface(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (type == QAccessible::AttributesInterface) return static_cast<QAccessibleAttributesInterface*>(this);
#endif
    return QAccessibleWidget::interface_cast(type);
  }
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
  QList<QAccessible::Attribute> attributeKeys() const override { return {QAccessible::Attribute::Custom}; }
  QVariant attributeValue(QAccessible::Attribute key) const override {
    if (key != QAccessible::Attribute::Custom) return {};
    return QVariant::fromValue(QHash<QString, QString>{{QStringLiteral("valuetext"), drive()}});
  }
#endif
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return drive();
    return QAccessibleWidget::text(t);
  }
  // The text: the drive, read only, without a caret or a selection.
  QString text(int start, int end) const override { return drive().mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(drive().size()); }
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return {};
  }

 private:
  QString drive() const { return static_cast<QComboBox*>(widget())->currentText(); }
};

// A container whose children are read as they stand on screen, top to bottom
// and left to right, whatever order they were made and stacked in; children
// marked decorative are left out, as a screen reader should skip them.
class VisualOrderInterface final : public QAccessibleWidget {
 public:
  explicit VisualOrderInterface(QWidget* w) : QAccessibleWidget(w) {}
  int childCount() const override { return static_cast<int>(children().size()); }
  QAccessibleInterface* child(int index) const override {
    const QList<QWidget*> all = children();
    return index >= 0 && index < all.size() ? QAccessible::queryAccessibleInterface(all[index]) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child ? static_cast<int>(children().indexOf(child->object())) : -1;
  }

 private:
  QList<QWidget*> children() const {
    QList<QWidget*> out;
    for (QObject* o : widget()->children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (w && !w->isWindow() && !w->isHidden() && !w->property(kDecorative).toBool()) out.push_back(w);
    }
    std::stable_sort(out.begin(), out.end(), [](const QWidget* a, const QWidget* b) {
      return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
    });
    return out;
  }
};

QAccessibleInterface* windowInterface(const QString& key, QObject* object) {
  if (!object->isWidgetType()) return nullptr;
  if (object->property(kReadInVisualOrder).toBool()) return new VisualOrderInterface(static_cast<QWidget*>(object));
  if (key == QLatin1String(PreviewSurface::staticMetaObject.className())) {
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
  }
  if (object->objectName() == QLatin1String(kNotice)) {
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Notification);
  }
  if (key == QLatin1String(DriveListBox::staticMetaObject.className())) {
    return new DriveBoxInterface(static_cast<QComboBox*>(object));
  }
  return nullptr;
}
}  // namespace

void announce(QWidget* from, const QString& message) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
  QAccessibleAnnouncementEvent event(from, message);
  QAccessible::updateAccessibility(&event);
#else
  // Before Qt 6.8 the bridge sends name and description changes without the
  // new text, which Orca cannot speak; a notification that appears is
  // spoken. It is a pixel of the window that paints nothing, named by the
  // message and shown anew for each one. It appears once the events already
  // waiting (the focus of a row just chosen) are told, so that the screen
  // reader's reading of the focus does not cut it off.
  QWidget* window = from->window();
  auto* notice = window->findChild<QWidget*>(QLatin1String(kNotice), Qt::FindDirectChildrenOnly);
  if (!notice) {
    notice = new QWidget(window);
    notice->setObjectName(QLatin1String(kNotice));
    notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    notice->setGeometry(0, 0, 1, 1);
  }
  notice->hide();
  QMetaObject::invokeMethod(
      notice,
      [notice, message] {
        notice->setAccessibleName(message);
        notice->show();
      },
      Qt::QueuedConnection);
#endif
}

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

void keepSelectionLegible(QWidget* list) {
  QPalette pal = list->palette();
  for (const auto group : {QPalette::Active, QPalette::Inactive}) {
    QColor ground = pal.color(group, QPalette::Highlight);
    const bool white = contrastOf(ground, Qt::white) >= contrastOf(ground, Qt::black);
    const QColor text = white ? Qt::white : Qt::black;
    for (int step = 0; step < 40 && contrastOf(ground, text) < 4.5; ++step) {
      ground = white ? ground.darker(110) : ground.lighter(110);
    }
    pal.setColor(group, QPalette::Highlight, ground);
    pal.setColor(group, QPalette::HighlightedText, text);
  }
  list->setPalette(pal);
}

namespace {
class CurrentRowFollowsFocus final : public QObject {
 public:
  explicit CurrentRowFollowsFocus(QListWidget* list) : QObject(list) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* list = static_cast<QListWidget*>(watched);
    QItemSelectionModel* rows = list->selectionModel();
    if (event->type() == QEvent::FocusOut) rows->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    if (event->type() == QEvent::FocusIn) {
      if (!rows->currentIndex().isValid() && rows->hasSelection()) {
        rows->setCurrentIndex(rows->selectedIndexes().first(), QItemSelectionModel::NoUpdate);
      }
      // Qt tells of the list's own focus after its focus-in handling, which
      // would leave screen readers on the list ("list with 8 items") rather
      // than on the row that was just chosen or loaded; the row is told once
      // more after it.
      QMetaObject::invokeMethod(list, [list] { tellCurrentRow(list); }, Qt::QueuedConnection);
    }
    return false;
  }

 private:
  static void tellCurrentRow(QListWidget* list) {
    if (!list->hasFocus() || list->currentRow() < 0) return;
    QAccessibleEvent focus(list, QAccessible::Focus);
    focus.setChild(list->currentRow());
    QAccessible::updateAccessibility(&focus);
  }
};
}  // namespace

void currentRowOnlyWithFocus(QListWidget* list) { list->installEventFilter(new CurrentRowFollowsFocus(list)); }

void chooseRow(QListWidget* list, int row) {
  if (list->hasFocus()) return list->setCurrentRow(row);
  list->clearSelection();
  if (QListWidgetItem* item = list->item(row)) item->setSelected(true);
}

QColor ringColourFor(const QColor& around, const QColor& control) {
  // Ranked by 3:1 from the surroundings first (enough is enough), then by
  // standing out from the control's own edge, then by the surroundings again.
  const auto rank = [&](const QColor& c) {
    const double outside = contrastOf(c, around);
    return std::tuple(std::min(outside, 3.0), std::min(contrastOf(c, control), 3.0), outside);
  };
  QColor best = Qt::white;
  for (const QColor c : {QColor(Qt::black), QColor(0, 100, 220)}) {
    if (rank(c) > rank(best)) best = c;
  }
  return best;
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
  // The banner around the direction button is light blue there; the panels are dark grey.
  const QColor around = now->property("zwpFocusOnLight").toBool() ? QColor(150, 200, 242) : QColor(64, 64, 64);
  const bool list = qobject_cast<QAbstractItemView*>(now) != nullptr;
  QPalette ring = palette();
  ring.setColor(QPalette::WindowText, ringColourFor(around, now->palette().color(list ? QPalette::Base : QPalette::Button)));
  setPalette(ring);
  setWidget(now);
}

}  // namespace zwp::ui
