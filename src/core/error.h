// The one failure type of the program: an error number and a German description,
// as the window shows them in its "Fehler" box.
#pragma once

#include <stdexcept>
#include <string>

namespace zwp {

// Error numbers: the classic error numbers players know, so that a number
// always means the same kind of failure.
namespace err {
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int FileNotFound = 53;
inline constexpr int DiskFull = 61;
inline constexpr int PathFileAccess = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int InvalidPropertyValue = 380;
inline constexpr int InvalidPicture = 481;
inline constexpr int DialogCancelled = 32755;
}  // namespace err

// Why a picture is refused (error 481). Each reason has one German text, the
// same in every front end; the window refuses some of them silently.
enum class Refusal {
  None,              // not a refusal
  NotBitmap,         // does not start with "BM"
  UnsupportedDepth,  // not 1, 4, 8, 16 or 24 bits per pixel
  TooLarge,          // wider or higher than 128 pixels, and not to be fitted
  UnusableEmblem,    // emblem header with a negative or absurd size
  UnknownFormat,     // no picture format we read
  Damaged,           // cut or broken; the detail says where
  OutOfBounds,       // a size beyond what any picture may have
  Empty,             // no pixels where pixels are needed
  FileTooLarge,      // more than a reader holds at once (a whole WebP, a packed TIFF strip)
};

class Error : public std::runtime_error {
 public:
  Error(int number, const std::string& description, Refusal reason = Refusal::None);
  // An error with the standard description of its number.
  explicit Error(int number);

  int number() const noexcept { return number_; }
  std::string description() const { return what(); }
  Refusal reason() const noexcept { return reason_; }

 private:
  int number_;
  Refusal reason_;
};

// The German standard text of an error number ("Datei nicht gefunden" for 53).
std::string standardDescription(int number);

// Maps a failed system call on `path` to an Error: a missing file is 53, a
// full disk 61, a missing directory on the way to a new file 76, anything
// else 75. The description names the file.
enum class FileAccess { Read, Write };
Error fileError(int errnoValue, const std::string& path, FileAccess access);

// The refusal of a picture: error 481, "Ungültiges Bild: " and the reason's
// text, followed by the detail when there is one.
Error refused(Refusal reason, const std::string& detail = {});
// A damaged picture, with what is wrong with it.
Error invalidPicture(const std::string& detail);
// The German text of a reason ("größer als 128 × 128 Pixel").
std::string refusalText(Refusal reason);

}  // namespace zwp
