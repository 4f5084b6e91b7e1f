// Qt's file dialog reads folders by their names as text and leaves out a
// folder whose name is not UTF-8, so it could not open one the lists show
// (a Latin-1 "Ordner_M\xfcll" from an old Windows disk). Such a folder is
// reached through a link with a readable name in a private temporary folder,
// and the path chosen there is turned back into the folder's own bytes.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace zwp::ui {

class ReachableFolder {
 public:
  // The folder as the window holds it (see file_names.h).
  explicit ReachableFolder(const QString& folder);
  // Where the dialog opens: the folder itself, or the link to it.
  const QString& shown() const { return shown_; }
  // A path chosen in the dialog, in the folder's own bytes.
  QString real(const QString& chosen) const;

 private:
  QString folder_;
  QString shown_;
  std::unique_ptr<QTemporaryDir> links_;
};

}  // namespace zwp::ui
