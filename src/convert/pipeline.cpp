#include "convert/pipeline.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "bitmap/bitmap_probe.h"
#include "bitmap/bmp_reader.h"
#include "convert/orientation.h"
#include "core/byte_file.h"
#include "core/byte_input.h"
#include "core/error.h"

namespace zwp {

namespace {

constexpr const char* kEmblemKind = "Zorbel Wappen";

std::string sizeText(int64_t width, int64_t height) { return std::to_string(width) + " × " + std::to_string(height); }

// Pictures that become an emblem (or take its colours) without being shrunk
// must fit one as they are.
bool limitedTo128(const ReadOptions& options) {
  return options.fit == 0 && (options.target == Target::Emblem || options.dither);
}

// The window's rules for a bitmap at its own size, from the header fields it
// reads (signature, bit count at 28, size at 18 and 22).
void checkWindowRules(ByteInput& file) {
  const BitmapProbe probe = probeBitmap(file.head(kProbeBytes));
  if (!probe.isBitmap) throw refused(Refusal::NotBitmap);
  if (!windowTakesDepth(probe.bitCount)) throw refused(Refusal::UnsupportedDepth);
  const int64_t rows = std::llabs(static_cast<int64_t>(probe.height));
  if (probe.width > kMaxBitmapSide || rows > kMaxBitmapSide) {
    throw refused(Refusal::TooLarge, sizeText(probe.width, rows));
  }
}

// A decoded picture made what the options ask: shrunk, turned upright, dithered.
Picture finished(Picture picture, int orientation, const ReadOptions& options) {
  if (options.fit > 0) picture = fitInside(picture, options.fit);
  picture = orient(std::move(picture), orientation);
  if (options.dither) picture = ditherToEmblemLevels(picture);
  return picture;
}

Picture readEmblemPicture(ByteInput& file, const ReadOptions& options) {
  // Missing pixel words read as black, but a file too short for its header is
  // no emblem (the window reads the missing fields as zeros).
  if (file.size() < kEmblemHeaderSize && !options.takesEmpty) throw refused(Refusal::Damaged);
  Emblem emblem = emblemOf(file.head(kMaxEmblemFileBytes));
  checkSize(emblem.picture.width(), emblem.picture.height(), options, Rows::Whole);
  return finished(std::move(emblem.picture), 1, options);
}

Picture readBitmap(ByteInput& bytes, const ReadOptions& options) {
  if (options.target == Target::Emblem && options.fit == 0) checkWindowRules(bytes);
  if (options.fit > 0) {
    const BmpInfo info = readBmpInfo(bytes, BmpBounds::RowByRow);
    if (!info.runLength) {
      // Shrunk as its rows come, in the order they are stored: a bitmap stored
      // from the bottom is the upright picture turned upside down.
      PictureBuilder picture(info.width, info.height, info.topDown ? 1 : 4, options, Rows::InStrips);
      std::vector<uint8_t> rgba(static_cast<size_t>(info.width) * 4, 255);
      forEachBmpRow(bytes, [&](std::span<const int32_t> row) {
        for (size_t x = 0; x < row.size(); ++x) {
          for (size_t k = 0; k < 3; ++k) rgba[4 * x + k] = static_cast<uint8_t>(row[x] >> (8 * k));
        }
        picture.addRows(rgba.data(), 1, rgba.size(), Alpha::Straight);
      });
      return picture.finish();
    }
  }
  const BmpInfo info = readBmpInfo(bytes);
  checkSize(info.width, info.height, options, Rows::Whole);
  return finished(decodeBmp(bytes), 1, options);
}

const Decoder& decoderOf(Format format) {
  const Decoder* decoder = format == Format::Unknown ? nullptr : decoderFor(format);
  if (!decoder) throw refused(Refusal::UnknownFormat);
  return *decoder;
}

}  // namespace

Emblem emblemOf(std::span<const uint8_t> bytes) {
  std::optional<Emblem> emblem = decodeEmblem(bytes);
  if (!emblem) throw refused(Refusal::UnusableEmblem);
  return std::move(*emblem);
}

bool isEmblemName(const std::string& name) {
  const std::string ending = std::filesystem::path(name).extension().string();  // ".zwp" alone is a hidden file
  return ending.size() == 4 && hasEnding(ending, ".zwp");
}

PictureFile::PictureFile(std::shared_ptr<ByteInput> input, std::string name, bool emblem)
    : input_(std::move(input)), name_(std::move(name)), emblem_(emblem) {}

PictureFile::PictureFile(std::span<const uint8_t> bytes, std::string name, bool emblem)
    : PictureFile(std::make_shared<MemoryInput>(bytes), std::move(name), emblem) {}

PictureFile PictureFile::open(const std::string& path, bool emblem, FileKind kind) {
  return {std::make_shared<FileInput>(path, kind), path, emblem};
}

std::vector<uint8_t> readEmblemBytes(const std::string& path) {
  FileInput file(path);
  const std::span<const uint8_t> bytes = file.head(kMaxEmblemFileBytes);
  return {bytes.begin(), bytes.end()};
}

void checkSize(int64_t width, int64_t height, const ReadOptions& options, Rows rows) {
  const bool empty = width == 0 || height == 0;
  if (empty && (!options.takesEmpty || options.fit > 0 || options.target == Target::Png)) {
    throw refused(Refusal::Empty);
  }
  if (limitedTo128(options) && (width > kMaxBitmapSide || height > kMaxBitmapSide)) {
    throw refused(Refusal::TooLarge, sizeText(width, height));
  }
  if (options.fit > 0 && rows == Rows::InStrips) return checkFittedSize(width, height);
  checkPictureSize(width, height);
}

namespace {
// The fitter for a picture of this stored size, once its size has passed the
// checks as the picture will be seen, so that a refusal names that size.
AreaFitter fitterFor(int64_t width, int64_t height, int orientation, const ReadOptions& options, Rows rows) {
  const bool swap = swapsSides(orientation);
  checkSize(swap ? height : width, swap ? width : height, options, rows);
  return {static_cast<int32_t>(width), static_cast<int32_t>(height), options.fit > 0 ? options.fit : INT32_MAX};
}
}  // namespace

PictureBuilder::PictureBuilder(int64_t width, int64_t height, int orientation, const ReadOptions& options,
                               Rows rows)
    : options_(options),
      orientation_(orientation),
      fitter_(fitterFor(width, height, orientation, options, rows)),
      row_(static_cast<size_t>(width)) {}

void PictureBuilder::addRows(const uint8_t* rgba, int32_t rows, size_t stride, Alpha alpha) {
  for (int32_t y = 0; y < rows; ++y) {
    flattenRow(rgba + static_cast<size_t>(y) * stride, row_.size(), alpha, options_.background, row_.data());
    fitter_.addRow(row_);
  }
}

Picture PictureBuilder::finish() {
  ReadOptions rest = options_;
  rest.fit = 0;  // already shrunk as the rows came
  return finished(fitter_.take(), orientation_, rest);
}

Picture readPicture(const PictureFile& file, const ReadOptions& options) {
  ByteInput& input = file.input();
  if (file.emblem()) return readEmblemPicture(input, options);
  const Format format = formatOf(input.head(kSniffBytes), file.name());
  if (format == Format::Bmp) return readBitmap(input, options);
  if (options.bitmapsOnly) throw refused(Refusal::NotBitmap);
  const Decoder& decoder = decoderOf(format);
  const PictureHeader header = decoder.header(input);
  PictureBuilder picture(header.width, header.height, header.orientation, options, rowsOf(format));
  decoder.decode(input, picture);
  return picture.finish();
}

PictureFacts describePicture(const PictureFile& file) {
  ByteInput& input = file.input();
  PictureFacts facts;
  if (file.emblem()) {
    if (input.size() < kEmblemHeaderSize) throw refused(Refusal::Damaged);
    MemoryReader head(input.head(kEmblemHeaderSize));
    EmblemHeader header;
    ReadEmblemHeader(head, header);
    if (!emblemHeaderUsable(header)) throw refused(Refusal::UnusableEmblem);
    return {header.Width, header.Height, kEmblemKind, ""};
  }
  const Format format = formatOf(input.head(kSniffBytes), file.name());
  if (format == Format::Bmp) {
    const BitmapProbe probe = probeBitmap(input.head(kProbeBytes));
    facts.width = probe.width;
    facts.height = static_cast<int32_t>(std::min<int64_t>(std::llabs(static_cast<int64_t>(probe.height)), INT32_MAX));
    facts.kind = bitmapKindFor(probe.bitCount);
    std::string windowRefusal;
    try {
      checkWindowRules(input);
    } catch (const Error& e) {
      windowRefusal = refusalText(e.reason());
    }
    try {
      const BmpInfo info = readBmpInfo(input);
      facts.width = info.width;
      facts.height = info.height;
      facts.kind = bitmapKindFor(static_cast<int16_t>(info.bitCount));
      // The window reads the size at the offsets of the usual headers, where an
      // OS/2 1.x header keeps other fields.
      if (info.os2Core) facts.refusal = "Kopf im OS/2-1.x-Format, den das Fenster nicht liest";
    } catch (const Error& e) {
      if (windowRefusal.empty()) facts.refusal = e.description();
    }
    if (facts.refusal.empty()) facts.refusal = windowRefusal;
    return facts;
  }
  const PictureHeader header = decoderOf(format).header(input);
  const bool swap = swapsSides(header.orientation);
  facts.width = static_cast<int32_t>(std::min<int64_t>(swap ? header.height : header.width, INT32_MAX));
  facts.height = static_cast<int32_t>(std::min<int64_t>(swap ? header.width : header.height, INT32_MAX));
  facts.kind = formatName(format);
  return facts;
}

}  // namespace zwp
