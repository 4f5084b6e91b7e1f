// File names as the file system stores them: bytes, nearly always UTF-8, but
// old Windows disks bring Latin-1 names such as "K\xf6nig.bmp". The window
// keeps every name as a QString that holds all of its bytes: valid UTF-8
// decodes as usual, and each byte outside valid UTF-8 becomes one of the code
// units U+DC80..U+DCFF, which encode back to that very byte. Such units are
// never shown; shownName puts the replacement character in their place.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string>

namespace zwp::ui {

QString decodeName(const QByteArray& bytes);
QByteArray encodeName(const QString& name);
// The name as the user sees it: U+FFFD for each byte that is not UTF-8.
QString shownName(const QString& name);

// A path as the file system takes it.
inline std::string filePath(const QString& path) { return encodeName(path).toStdString(); }

// The path made absolute against base (the working directory when empty) and
// cleaned of "." and "..", from the text alone, so that every byte survives.
QString absoluteName(const QString& path, const QString& base = {});

enum class EntryKind { Missing, File, Folder, Other };
// What a path names, following symbolic links.
EntryKind kindOf(const QString& path);
// The regular files or the folders of a directory (following symbolic links),
// hidden ones left out, unsorted; empty when the directory cannot be read.
QStringList listFolder(const QString& path, EntryKind kind);
// Sorts names as the user reads them: by their shown text, ignoring case.
void sortAsShown(QStringList& names);

}  // namespace zwp::ui
