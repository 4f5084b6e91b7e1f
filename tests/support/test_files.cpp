#include "support/test_files.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zwp::test {

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path().string()) {}

TempDir::TempDir(const std::string& parent, bool tidy) : tidy_(tidy) {
  std::string tmpl = (std::filesystem::path(parent) / "zwp-test-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  if (!tidy_) return;
  std::error_code ec;
  // Tests may have taken permissions away; give them back so everything goes.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::entriesOf(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(directory)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

PpmPicture readPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  PpmPicture p;
  in >> magic >> p.width >> p.height >> maxval;
  in.get();
  if (!in || magic != "P6" || maxval != 255) throw std::runtime_error("not a P6 file: " + path);
  p.pixels.resize(static_cast<size_t>(p.width) * static_cast<size_t>(p.height));
  for (auto& c : p.pixels) {
    unsigned char rgb[3];
    in.read(reinterpret_cast<char*>(rgb), 3);
    c = rgb[0] | (rgb[1] << 8) | (rgb[2] << 16);
  }
  if (!in) throw std::runtime_error("short PPM: " + path);
  return p;
}

std::string fixturePath(const std::string& name) { return std::string(ZWP_FIXTURE_DIR) + "/" + name; }

std::vector<Fixture> fixtures() {
  std::ifstream manifest(fixturePath("manifest.txt"));
  std::vector<Fixture> out;
  Fixture f;
  while (manifest >> f.bmp >> f.expected >> f.bitCount >> f.compression >> f.headerSize) out.push_back(f);
  if (out.empty()) throw std::runtime_error("no fixtures in " + fixturePath("manifest.txt"));
  return out;
}

std::vector<uint8_t> emblemFile(int32_t width, int32_t height, const std::vector<uint16_t>& words) {
  std::vector<uint8_t> bytes(272, 0);
  appendLe32(bytes, static_cast<uint32_t>(width));
  appendLe32(bytes, static_cast<uint32_t>(height));
  for (const uint16_t word : words) appendLe16(bytes, word);
  return bytes;
}

void appendLe16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void appendLe32(std::vector<uint8_t>& out, uint32_t value) {
  appendLe16(out, value & 0xFFFF);
  appendLe16(out, value >> 16);
}

}  // namespace zwp::test
