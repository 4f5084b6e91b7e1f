// The one way a picture file becomes a picture, for every front end (the
// window, zwpconv and its --info, the thumbnailer, the image plugins, the
// browser page): bytes and name -> decoded rows -> transparency flattened ->
// shrunk to fit -> turned upright -> dithered. Every size is checked from the
// header before memory is sized for it, and every refusal is error 481 with
// its reason, so that every door gives the same picture or the same refusal.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codec/emblem_file.h"
#include "convert/artwork.h"
#include "convert/decoder.h"
#include "core/picture.h"

namespace zwp {

// Bitmaps wider or higher than this are refused, and so is any picture that is
// to become an emblem without being shrunk; emblems themselves are limited
// only by the picture bounds (16 Mi pixels).
inline constexpr int32_t kMaxBitmapSide = 128;

// A picture file: bytes held in memory, or a file on disk that is read only
// as far as its reader needs, a window at a time, so that no file is too
// large to read. The name serves as a hint for formats that carry no magic;
// emblems have none either, so the caller says when a file is one (by its
// ".zwp" ending, or because the user said so).
class PictureFile {
 public:
  PictureFile(std::span<const uint8_t> bytes, std::string name, bool emblem = false);
  // The file at path, opened now (its file error raised here).
  static PictureFile open(const std::string& path, bool emblem, FileKind kind = FileKind::Unknown);

  ByteInput& input() const { return *input_; }
  const std::string& name() const { return name_; }
  bool emblem() const { return emblem_; }

 private:
  PictureFile(std::shared_ptr<ByteInput> input, std::string name, bool emblem);
  std::shared_ptr<ByteInput> input_;
  std::string name_;
  bool emblem_ = false;
};

// Whether a name ends in ".zwp", in any case.
bool isEmblemName(const std::string& name);

// The most of a picture file the browser page holds in memory, and all of an
// emblem file any reader needs (the words beyond its picture are ignored).
inline constexpr size_t kMaxPictureFileBytes = size_t{192} << 20;
inline constexpr size_t kMaxEmblemFileBytes = kEmblemHeaderSize + 2 * static_cast<size_t>(kMaxPicturePixels);
// The bytes of the emblem file at path, as far as its picture may need them.
std::vector<uint8_t> readEmblemBytes(const std::string& path);

enum class Target { Emblem, Bmp, Png };

struct ReadOptions {
  Target target = Target::Emblem;
  int32_t fit = 0;  // shrink to fit inside fit x fit (1..128), 0 for not at all
  bool dither = false;
  int32_t background = 0xFFFFFF;  // what transparency is flattened over
  // Only BMP files are taken, as the window's file list takes them in its
  // bitmap direction; anything else is refused as no bitmap.
  bool bitmapsOnly = false;
  // A picture without pixels, or an emblem file too short for its header, is
  // taken as it is (the window shows it), not refused as every other door
  // refuses it.
  bool takesEmpty = false;
};

// The picture for the target under the options. Bitmaps that are to become
// an emblem at their own size obey the window's rules (1, 4, 8, 16 or 24 bits
// per pixel, at most 128 x 128, checked in the header); other pictures that
// are to become an emblem (or be dithered) without fitting are refused from
// their header when larger than 128 x 128. Refusals raise error 481.
Picture readPicture(const PictureFile& file, const ReadOptions& options);

// An emblem file as it stands: its header, every field as read, and its
// picture; words missing at the end read as black, words beyond it are
// ignored; fields missing from a short header read as zeros. Refused (481)
// when its header gives no usable size.
Emblem emblemOf(std::span<const uint8_t> bytes);

// What a picture file is, from its header alone, as it would be seen: its
// size (turned upright), its kind in German words, and for a bitmap why the
// window would refuse it (empty when it takes it). Unreadable headers raise
// error 481.
struct PictureFacts {
  int32_t width = 0;
  int32_t height = 0;
  std::string kind;
  std::string refusal;
};
PictureFacts describePicture(const PictureFile& file);

// Refuses (error 481) a picture of this decoded size under the options,
// before any pixel is read, as its rows come.
void checkSize(int64_t width, int64_t height, const ReadOptions& options, Rows rows);

// Decoded rows in (see RowSink), the finished picture out: what every decoder
// feeds, and what the browser page feeds with the pixels its own decoders
// give. The size is checked at construction.
class PictureBuilder final : public RowSink {
 public:
  // Width and height as stored; the orientation turns the finished picture.
  PictureBuilder(int64_t width, int64_t height, int orientation, const ReadOptions& options, Rows rows);
  void addRows(const uint8_t* rgba, int32_t rows, size_t stride, Alpha alpha) override;
  // The picture, once every row has come; error 481 when rows are missing.
  Picture finish();

 private:
  ReadOptions options_;
  int orientation_;
  AreaFitter fitter_;
  std::vector<int32_t> row_;
};

}  // namespace zwp
