// Small pieces the window's handlers share.
#pragma once

#include <QString>
#include <QWidget>

#include "core/error.h"
#include "ui/file_names.h"

namespace zwp::ui {

// The hourglass while a handler works; the default pointer on every way out.
class BusyPointer {
 public:
  explicit BusyPointer(QWidget* window) : window_(window) { window_->setCursor(Qt::WaitCursor); }
  ~BusyPointer() { window_->setCursor(Qt::ArrowCursor); }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  QWidget* window_;
};

// The refusals a click in the file list passes over without a word: a file
// that is no usable bitmap, or an emblem whose header gives no usable size.
inline bool refusedSilently(const Error& e) {
  switch (e.reason()) {
    case Refusal::NotBitmap:
    case Refusal::UnsupportedDepth:
    case Refusal::TooLarge:
    case Refusal::UnusableEmblem: return true;
    default: return false;
  }
}

}  // namespace zwp::ui
