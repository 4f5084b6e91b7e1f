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
inline constexpr int FileNotFound = 53;
inline constexpr int DiskFull = 61;
inline constexpr int PathFileAccess = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int InvalidPropertyValue = 380;
inline constexpr int InvalidPicture = 481;
inline constexpr int DialogCancelled = 32755;
}  // namespace err

class Error : public std::runtime_error {
 public:
  Error(int number, const std::string& description);
  // An error with the standard description of its number.
  explicit Error(int number);

  int number() const noexcept { return number_; }
  std::string description() const { return what(); }

 private:
  int number_;
};

// The German standard text of an error number ("Datei nicht gefunden" for 53).
std::string standardDescription(int number);

// Maps a failed system call on `path` to an Error: a missing file is 53, a
// full disk 61, a missing directory on the way to a new file 76, anything
// else 75. The description names the file.
enum class FileAccess { Read, Write };
Error fileError(int errnoValue, const std::string& path, FileAccess access);

// The error of a picture that cannot be used, with the reason.
Error invalidPicture(const std::string& reason);

}  // namespace zwp
