// Helpers for tests that work on real files: a private temporary directory
// and whole-file read/write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/picture.h"

namespace zwp::test {

// A picture's colour values as a vector, for comparisons.
inline std::vector<int32_t> pixelsOf(const Picture& picture) {
  return {picture.pixels().begin(), picture.pixels().end()};
}

class TempDir {
 public:
  TempDir();
  // Inside parent instead of the system's temporary folder; without tidy, its
  // files stay (fusefat can hang removing them; its disk is thrown away whole).
  explicit TempDir(const std::string& parent, bool tidy = true);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // Names of all entries, hidden ones included, sorted.
  std::vector<std::string> entries() const { return entriesOf(path_.string()); }
  static std::vector<std::string> entriesOf(const std::string& directory);

 private:
  std::filesystem::path path_;
  bool tidy_ = true;
};

std::vector<uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A binary PPM (P6, maxval 255) as a picture of colour values 0x00BBGGRR.
struct PpmPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<int32_t> pixels;
};
PpmPicture readPpm(const std::string& path);

// The folder of committed BMP fixtures and their source pictures.
std::string fixturePath(const std::string& name);

// One line of the fixtures' manifest: a BMP from an independent encoder, the
// picture it must decode to, and what its header says.
struct Fixture {
  std::string bmp;
  std::string expected;  // a PPM beside it
  int bitCount = 0;
  int compression = 0;
  int headerSize = 0;  // 12 for OS/2 1.x headers, which the header probe cannot read
};
std::vector<Fixture> fixtures();

// The bytes of an emblem file: zero reserved bytes, the size, then the words.
std::vector<uint8_t> emblemFile(int32_t width, int32_t height, const std::vector<uint16_t>& words);

// Little-endian builders for hand-made files.
void appendLe16(std::vector<uint8_t>& out, uint32_t value);
void appendLe32(std::vector<uint8_t>& out, uint32_t value);

}  // namespace zwp::test
