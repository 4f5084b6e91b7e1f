// What the window offers people who do not use it with mouse and eyes alone:
// names, roles and descriptions for screen readers, and a focus ring that
// can be seen on every control.
#pragma once

#include <QColor>
#include <QFocusFrame>

class QListWidget;
class QWidget;

namespace zwp::ui {

// The preview is announced as an image, the drive box by its label with the
// drive as its value; a widget with the property kReadInVisualOrder set
// presents its children in the order they stand on screen, without those
// with kDecorative set. Installed once, before the window is built.
void installAccessibility();
inline constexpr char kReadInVisualOrder[] = "zwpReadInVisualOrder";
inline constexpr char kDecorative[] = "zwpDecorative";

// Says a message to screen readers when something a sighted user sees
// changes without the focus moving (a loaded picture's size, the new
// direction): as an announcement where Qt has them (6.8 on), else as a
// notification that appears.
void announce(QWidget* from, const QString& message);

// WCAG's contrast ratio of two colours, 1 to 21.
double contrastOf(const QColor& a, const QColor& b);

// Gives a control on a panel of this colour a light ground with dark text
// where the palette (a dark theme) would leave it less than 3:1 apart from
// the panel, so that its edges do not vanish.
void keepApartFrom(QWidget* control, const QColor& panel);

// Gives a list's selected row at least 4.5:1 between its text and its ground,
// active or not: the text black or white, whichever stands out more, and the
// ground darkened or lightened until it is legible (Fusion's blue behind
// white text reaches only 3.6:1).
void keepSelectionLegible(QWidget* list);

// Qt tells screen readers that a list's current row has the focus whether the
// list has it or not, so that a row in every list seemed focused at once.
// Here a list without the focus keeps its selected row but has no current
// one, and its selected row becomes current again when the focus returns.
void currentRowOnlyWithFocus(QListWidget* list);
// Marks a row as the list's chosen one: selected, and current while the list
// has the focus.
void chooseRow(QListWidget* list, int row);

// The focus ring's colour around a control of this colour: of white, black
// and a middle blue the one at least 3:1 from the surroundings that stands
// out most from the control's own edge (a black button in a high-contrast
// palette gets the blue, not a black ring that merges with it).
QColor ringColourFor(const QColor& around, const QColor& control);

// A 2-pixel ring around the control that has the keyboard focus, drawn
// outside it: white over the dark panels, black where the control lies on
// something light (property "zwpFocusOnLight" set on the control), unless
// the control's own colour asks for another (see ringColourFor).
class FocusRing : public QFocusFrame {
  Q_OBJECT

 public:
  explicit FocusRing(QWidget* window);

 private:
  void follow(QWidget* now);
  QWidget* window_;
};

}  // namespace zwp::ui
