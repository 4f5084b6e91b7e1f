#include "core/error.h"

#include <cerrno>

namespace zwp {

Error::Error(int number, const std::string& description, Refusal reason)
    : std::runtime_error(description), number_(number), reason_(reason) {}

Error::Error(int number) : Error(number, standardDescription(number)) {}

std::string standardDescription(int number) {
  switch (number) {
    case err::Overflow: return "Überlauf";
    case err::OutOfMemory: return "Nicht genügend Speicher";
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

std::string refusalText(Refusal reason) {
  switch (reason) {
    case Refusal::None: return "";
    case Refusal::NotBitmap: return "keine BMP-Datei";
    case Refusal::UnsupportedDepth: return "Farbtiefe wird nicht unterstützt (nur 1, 4, 8, 16 oder 24 Bit)";
    case Refusal::TooLarge: return "größer als 128 × 128 Pixel";
    case Refusal::UnusableEmblem: return "unbrauchbare Größe im Wappen-Kopf";
    case Refusal::UnknownFormat: return "kein Bild in einem bekannten Format";
    case Refusal::Damaged: return "Bild ist beschädigt oder abgeschnitten";
    case Refusal::OutOfBounds: return "Bildgröße außerhalb der Grenzen";
    case Refusal::Empty: return "Bild hat keine Pixel";
    case Refusal::FileTooLarge: return "Datei ist zu groß";
  }
  return "";
}

Error refused(Refusal reason, const std::string& detail) {
  std::string text = standardDescription(err::InvalidPicture) + ": ";
  // A damaged file is named by what is wrong with it; other reasons by their text.
  if (reason == Refusal::Damaged && !detail.empty()) {
    text += detail;
  } else {
    text += refusalText(reason);
    if (!detail.empty()) text += " (" + detail + ")";
  }
  return Error(err::InvalidPicture, text, reason);
}

Error invalidPicture(const std::string& detail) { return refused(Refusal::Damaged, detail); }

}  // namespace zwp
