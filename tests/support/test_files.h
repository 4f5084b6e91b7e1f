// Helpers for tests that work on real files: a private temporary directory
// and whole-file read/write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zwp::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // Names of all entries, hidden ones included, sorted.
  std::vector<std::string> entries() const;

 private:
  std::filesystem::path path_;
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

// Little-endian builders for hand-made files.
void appendLe16(std::vector<uint8_t>& out, uint32_t value);
void appendLe32(std::vector<uint8_t>& out, uint32_t value);

}  // namespace zwp::test
