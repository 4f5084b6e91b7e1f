// Every text the window shows, in one place. German, exactly as players know them.
#pragma once

#include <QString>

namespace zwp::ui::text {

inline const QString kWindowTitle = QStringLiteral("Form1");
inline const QString kApplicationName = QStringLiteral("ZWP-Konverter");
inline const QString kToEmblem = QStringLiteral("BMP -> ZWP");
inline const QString kToBitmap = QStringLiteral("ZWP -> BMP");
inline const QString kBitmapPattern = QStringLiteral("*.bmp");
inline const QString kEmblemPattern = QStringLiteral("*.zwp");
inline const QString kConvert = QStringLiteral("Konvert");
inline const QString kWidthInitial = QStringLiteral("Breite:");
inline const QString kHeightInitial = QStringLiteral("Höhe:");
inline const QString kWidthLoaded = QStringLiteral("breite:");
inline const QString kHeightLoaded = QStringLiteral("Höhe:");
inline const QString kDriveLabel = QStringLiteral("Laufwerk:");
inline const QString kSaveDialogTitle = QStringLiteral("Bild speichern");
inline const QString kEmblemFilter = QStringLiteral("Zorbel Wappen(*.zwp)|*.zwp");
inline const QString kBitmapFilter = QStringLiteral("Bitmap(*.bmp)|*.bmp");
inline const QString kSaved = QStringLiteral("Speichern erfolgreich");
inline const QString kSavedTitle = QStringLiteral("Speichern");
inline const QString kErrorTitle = QStringLiteral("Fehler");

inline const QString kMenuFile = QStringLiteral("&Datei");
inline const QString kMenuQuit = QStringLiteral("&Ende");
inline const QString kMenuSettings = QStringLiteral("&Einstellung");
inline const QString kMenuZorbelDir = QStringLiteral("&Zorbel-Verzeichnis");
inline const QString kMenuInfo = QStringLiteral("&Info");
inline const QString kMenuInfoItem = QStringLiteral("&Info");

// Names and descriptions for screen readers.
inline const QString kFoldersName = QStringLiteral("Verzeichnisse");
inline const QString kFilesName = QStringLiteral("Dateien");
inline const QString kDriveName = QStringLiteral("Laufwerk");
inline const QString kPreviewName = QStringLiteral("Vorschau");
inline const QString kPreviewSized = QStringLiteral("Vorschau, %1 × %2 Pixel");
inline const QString kLoadedSize = QStringLiteral("%1 × %2 Pixel");
inline const QString kFolderLevel = QStringLiteral("Ebene %1");
inline const QString kDirectionHelp =
    QStringLiteral("Schaltet die Richtung um: Bitmaps zu Wappen (BMP -> ZWP) oder Wappen zu Bitmaps (ZWP -> BMP)");
inline const QString kConvertHelp = QStringLiteral("Wandelt die Vorschau um und fragt, wo sie gespeichert wird");

inline const QString kChooseZorbelDir = QStringLiteral("Zorbel-Verzeichnis wählen");
inline const QString kZorbelDirKey = QStringLiteral("ZorbelVerzeichnis");
inline const QString kCannotShow = QStringLiteral("%1 kann nicht angezeigt werden: %2");
inline const QString kShrinkTitle = QStringLiteral("Bild verkleinern");
inline const QString kShrinkQuestion =
    QStringLiteral("%1 ist %2 × %3 Pixel groß. Ein Wappen hat höchstens 128 × 128 Pixel.\n\n"
                   "Das Bild so verkleinern, dass es hineinpasst?");
inline const QString kInfoTitle = QStringLiteral("Info");
inline const QString kInfoText = QStringLiteral(
    "ZWP-Konverter %1\n\n"
    "Wandelt Windows-Bitmaps (BMP mit 1, 4, 8, 16 oder 24 Bit, höchstens 128 × 128 Pixel) "
    "in Zorbel-Wappen (.zwp, 16 Bit Farbe) um und Wappen zurück in 24-Bit-Bitmaps.\n\n"
    "Richtung umschalten, Datei links anklicken, dann \"Konvert\".");

}  // namespace zwp::ui::text
