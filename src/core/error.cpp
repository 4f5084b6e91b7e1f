#include "core/error.h"

#include <cerrno>

namespace zwp {

Error::Error(int number, const std::string& description)
    : std::runtime_error(description), number_(number) {}

Error::Error(int number) : Error(number, standardDescription(number)) {}

std::string standardDescription(int number) {
  switch (number) {
    case err::Overflow: return "Überlauf";
    case err::FileNotFound: return "Datei nicht gefunden";
    case err::DiskFull: return "Datenträger voll";
    case err::PathFileAccess: return "Fehler beim Zugriff auf Pfad/Datei";
    case err::PathNotFound: return "Pfad nicht gefunden";
    case err::InvalidPropertyValue: return "Unzulässiger Eigenschaftswert";
    case err::InvalidPicture: return "Ungültiges Bild";
    case err::DialogCancelled: return "Abbrechen gewählt";
    default: return "Anwendungs- oder objektdefinierter Fehler";
  }
}

namespace {

// Why an access failed, in words a player understands.
std::string accessReason(int errnoValue) {
  switch (errnoValue) {
    case EACCES:
    case EPERM: return "keine Berechtigung";
    case EISDIR: return "ist ein Verzeichnis";
    case EROFS: return "Datenträger ist schreibgeschützt";
    case ENOTDIR: return "ein Teil des Pfades ist kein Verzeichnis";
    case ENAMETOOLONG: return "Name ist zu lang";
    case ELOOP: return "zu viele symbolische Verknüpfungen";
    case EIO: return "Ein-/Ausgabefehler";
    case ENODEV: return "keine gewöhnliche Datei";
    case EBUSY: return "Datei ist in Benutzung";
    case EMFILE:
    case ENFILE: return "zu viele offene Dateien";
    case EEXIST: return "Datei existiert bereits";
    case EXDEV: return "Ziel liegt auf einem anderen Datenträger";
    case 0: return "unerwartetes Dateiende";
    default: return "Systemfehler " + std::to_string(errnoValue);
  }
}

}  // namespace

Error fileError(int errnoValue, const std::string& path, FileAccess access) {
  int number = err::PathFileAccess;
  std::string detail;
  if (errnoValue == ENOSPC || errnoValue == EDQUOT || errnoValue == EFBIG) {
    number = err::DiskFull;
  } else if (errnoValue == ENOENT) {
    number = access == FileAccess::Read ? err::FileNotFound : err::PathNotFound;
  } else if (errnoValue == ENOTDIR && access == FileAccess::Write) {
    number = err::PathNotFound;
    detail = accessReason(errnoValue);
  } else {
    detail = accessReason(errnoValue);
  }
  std::string text = standardDescription(number);
  if (!detail.empty()) text += " (" + detail + ")";
  text += ": " + path;
  return Error(number, text);
}

Error invalidPicture(const std::string& reason) {
  return Error(err::InvalidPicture, standardDescription(err::InvalidPicture) + ": " + reason);
}

}  // namespace zwp
