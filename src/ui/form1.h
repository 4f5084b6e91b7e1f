// The main window Form1: banner, direction toggle, the browsing panel on the
// left, the preview panel on the right, and its six event handlers. It owns
// the state a load leaves for a save: the emblem header and the picture size.
#pragma once

#include <QFileSystemWatcher>
#include <QFont>
#include <QHash>
#include <QMainWindow>

#include "convert/encode.h"
#include "ui/platform.h"

class QDragEnterEvent;
class QDropEvent;
class QFrame;
class QLabel;
class QPushButton;

namespace zwp::ui {

class DirListBox;
class DriveListBox;
class FileListBox;
class PreviewSurface;

class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  explicit Form1(Platform platform, QWidget* parent = nullptr);
  ~Form1() override;

  // Start-up: shows the window and points the directory list at the program's directory.
  void Form_Load();

  // The event handlers.
  void drvlaufwerk_Change();
  void Dirverzeichnis_Change();
  void btnformat_Click();
  void Fildatei_Click();
  void cmdconvert_Click();

  // Opens a file the user named (on the command line, by "Open with" or by
  // dropping it): the lists go to its folder, the direction follows it, and it
  // is loaded as a click would load it. Unlike a click, a file that cannot be
  // shown gets a message that says why; a picture larger than 128 x 128 gets
  // the question whether to shrink it.
  void openFile(const QString& path);

  // Where the lists start and the save dialog opens: the Zorbel directory the
  // user chose, else the program's directory when it can be written to, else
  // the home directory.
  QString startDirectory() const;

  // The direction flag: "0" bitmap to emblem, "1" emblem to bitmap.
  QString tag() const;

  SaveDialog& dlgspeichern() { return *platform_.saveDialog; }

  // Controls, owned by the widget tree; object names match the member names.
  QFrame* Picture1;
  QPushButton* btnformat;
  QFrame* frame1;
  FileListBox* Fildatei;
  DirListBox* Dirverzeichnis;
  DriveListBox* drvlaufwerk;
  QLabel* Label1;
  QFrame* Frame2;
  QPushButton* cmdconvert;
  PreviewSurface* picbmp;
  QLabel* lblhöhe;
  QLabel* lblbreite;
  QAction* MnuDateiItem;
  QAction* MnuEinstellungItem;
  QAction* MnuInfoItem;

  // The state a load leaves for a save, for a look from outside: it is the
  // window's contract between its two file handlers, which the tests hold it to.
  struct SharedState {
    zwp::EmblemHeader header;
    int32_t imgWidth = 0;
    int32_t imgHeight = 0;
  };
  SharedState state() const { return {EmblemHeader, ImgWidth, ImgHeight}; }

  // The captions' font size, in pixels: 9 points at 96 dpi.
  static constexpr int kCaptionPixels = 12;
  // How much the window grows with the desktop's font: not at all up to 16
  // pixels (12 points at 96 dpi), beyond that with the font, in quarter steps
  // (1.5 at 20 points).
  static double zoomFor(const QFont& desktop);
  // The preview's left edge after a load, in pixels from the panel's edge.
  static constexpr int kPreviewLeft = 10;

 private:
  // A length of the layout at the window's zoom.
  int px(int length) const { return qRound(length * zoom_); }
  void buildControls();
  void buildMenus();
  void describeControls();
  void setTag(const QString& tag);
  void chooseZorbelDirectory();
  void showBitmap(const QString& path);
  void showSize(int32_t width, int32_t height);
  void showPicture(Picture picture);
  void showEmblem(const QString& path);
  void showEmblem(Emblem emblem);
  void openPicture(const std::string& file);
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void saveEmblem();
  void saveBitmap();
  void reportError(const std::exception& error);
  // The lists show what exists: a folder that has gone (a stick pulled out)
  // gives way to its nearest ancestor that can be listed.
  void showWhatExists();
  // Lists the machine's drives again when they come or go.
  void watchDrives();
  void refreshDrives();

  Platform platform_;
  // The folder last shown on each drive (by its index in the drive list).
  QHash<QString, QString> lastFolders_;  // by drive root
  double zoom_ = 1;
  QFileSystemWatcher* watcher_ = nullptr;  // the folder the lists show

  // State shared between loading and saving.
  zwp::EmblemHeader EmblemHeader;
  int32_t ImgWidth = 0;
  int32_t ImgHeight = 0;
};

}  // namespace zwp::ui
