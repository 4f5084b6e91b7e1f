#include "ui/file_names.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCollator>
#include <QDir>
#include <algorithm>
#include <cstdlib>

namespace zwp::ui {

namespace {

constexpr char16_t kFirstEscape = 0xDC80;
constexpr char16_t kLastEscape = 0xDCFF;

// The unit at i stands for a byte that is not UTF-8; a low surrogate right
// after a high one is half of a real character instead.
bool isEscape(QStringView name, qsizetype i) {
  const char16_t u = name[i].unicode();
  return u >= kFirstEscape && u <= kLastEscape && !(i > 0 && name[i - 1].isHighSurrogate());
}

// The length of the valid UTF-8 sequence at p[0..n), or 0; cp receives its code point.
int utf8Sequence(const unsigned char* p, qsizetype n, char32_t& cp) {
  const unsigned char b = p[0];
  const int len = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
  if (len == 0 || len > n) return 0;
  cp = static_cast<char32_t>(len == 1 ? b : b & (0x7F >> len));
  for (int k = 1; k < len; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    cp = cp << 6 | static_cast<char32_t>(p[k] & 0x3F);
  }
  // Overlong forms, encoded surrogates and code points beyond U+10FFFF are not UTF-8.
  const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
  if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
  return len;
}

EntryKind kindOfMode(mode_t mode) {
  return S_ISREG(mode) ? EntryKind::File : S_ISDIR(mode) ? EntryKind::Folder : EntryKind::Other;
}

}  // namespace

QString decodeName(const QByteArray& bytes) {
  QString out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  for (qsizetype i = 0; i < bytes.size();) {
    char32_t cp = 0;
    const int len = utf8Sequence(p + i, bytes.size() - i, cp);
    if (len == 0) {
      out += QChar(static_cast<char16_t>(0xDC00 + p[i]));
      ++i;
    } else if (QChar::requiresSurrogates(cp)) {
      out += QChar(QChar::highSurrogate(cp));
      out += QChar(QChar::lowSurrogate(cp));
      i += len;
    } else {
      out += QChar(static_cast<char16_t>(cp));
      i += len;
    }
  }
  return out;
}

QByteArray encodeName(const QString& name) {
  QByteArray out;
  qsizetype start = 0;
  for (qsizetype i = 0; i < name.size(); ++i) {
    if (!isEscape(name, i)) continue;
    out += QStringView(name).mid(start, i - start).toUtf8();
    out += static_cast<char>(name[i].unicode() - 0xDC00);
    start = i + 1;
  }
  return out + QStringView(name).mid(start).toUtf8();
}

QString shownName(const QString& name) {
  QString out = name;
  for (qsizetype i = 0; i < out.size(); ++i) {
    if (isEscape(name, i)) out[i] = QChar::ReplacementCharacter;
  }
  return out;
}

QString absoluteName(const QString& path, const QString& base) {
  const QString name = QDir::fromNativeSeparators(path);
  if (!QDir::isRelativePath(name)) return QDir::cleanPath(name);
  QString from = base;
  if (from.isEmpty()) {
    char* cwd = ::getcwd(nullptr, 0);
    from = cwd ? decodeName(QByteArray(cwd)) : QDir::currentPath();
    std::free(cwd);
  }
  return QDir::cleanPath(from + QLatin1Char('/') + name);
}

EntryKind kindOf(const QString& path) {
  struct stat st {};
  if (::stat(encodeName(path).constData(), &st) != 0) return EntryKind::Missing;
  return kindOfMode(st.st_mode);
}

QStringList listFolder(const QString& path, EntryKind kind) {
  QStringList names;
  DIR* dir = ::opendir(encodeName(path).constData());
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir)) {
    // Hidden names, and the directory itself and its parent.
    if (entry->d_name[0] == '.') continue;
    EntryKind found = entry->d_type == DT_REG ? EntryKind::File : entry->d_type == DT_DIR ? EntryKind::Folder
                                                                                          : EntryKind::Other;
    // Links, and file systems that do not say what an entry is, are asked.
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) != 0) continue;
      found = kindOfMode(st.st_mode);
    }
    if (found == kind) names << decodeName(QByteArray(entry->d_name));
  }
  ::closedir(dir);
  return names;
}

void sortAsShown(QStringList& names) {
  QCollator order;
  order.setCaseSensitivity(Qt::CaseInsensitive);
  std::sort(names.begin(), names.end(),
            [&](const QString& a, const QString& b) { return order.compare(shownName(a), shownName(b)) < 0; });
}

}  // namespace zwp::ui
