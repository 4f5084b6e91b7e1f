#include "ui/reachable_folder.h"

#include <unistd.h>

#include <QFileInfo>

#include "ui/file_names.h"

namespace zwp::ui {

ReachableFolder::ReachableFolder(const QString& folder) : folder_(folder), shown_(folder) {
  if (shownName(folder) == folder) return;  // every byte is UTF-8
  links_ = std::make_unique<QTemporaryDir>();
  if (!links_->isValid()) return;
  const QString link = links_->path() + '/' + shownName(QFileInfo(folder).fileName());
  if (::symlink(encodeName(folder).constData(), encodeName(link).constData()) == 0) shown_ = link;
}

QString ReachableFolder::real(const QString& chosen) const {
  if (shown_ == folder_ || !chosen.startsWith(shown_ + '/')) return chosen;
  return folder_ + chosen.mid(shown_.size());
}

}  // namespace zwp::ui
