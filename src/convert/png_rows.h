// PNG decoding for a program that inflates the image data itself (the
// browser page, with the browser's DecompressionStream): the chunks are read
// and checked here, and the inflated data is unfiltered and turned into rows
// piece by piece as it arrives. Samples become 8-bit RGBA as libpng makes
// them for zwpconv: low depths replicated, 16 bits rounded v * 255 / 65535,
// tRNS as exact alpha; interlaced pictures are gathered whole.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "convert/decoder.h"

namespace zwp {

class PngRows {
 public:
  // Reads every chunk; error 481 for a damaged file (a critical chunk with a
  // wrong checksum, no image data, a header libpng would refuse).
  explicit PngRows(std::span<const uint8_t> file);

  const PictureHeader& header() const { return header_; }
  // The image data as stored, still deflated: the IDAT chunks one after another.
  const std::vector<uint8_t>& deflated() const { return deflated_; }

  // The next inflated bytes; complete rows go to the sink.
  void add(std::span<const uint8_t> inflated, RowSink& rows);
  // After the last bytes: error 481 when rows are missing.
  void finish(RowSink& rows);

 private:
  void unfilter(RowSink& rows);
  void toRgba(const uint8_t* line, uint32_t count, uint8_t* out) const;
  void startPass();

  PictureHeader header_;
  int depth_ = 8, colourType_ = 0, channels_ = 1;
  bool interlaced_ = false;
  std::vector<uint8_t> palette_ = std::vector<uint8_t>(256 * 4, 0);  // RGBA
  int trns_[3] = {-1, -1, -1};  // the transparent grey or RGB sample, as stored
  std::vector<uint8_t> deflated_;

  size_t pixelBytes_ = 1;  // the filter's step: bytes of a whole pixel, at least 1
  int pass_ = 0;
  uint32_t passWidth_ = 0, passHeight_ = 0, passRow_ = 0;
  std::vector<uint8_t> line_, previous_;  // the line being filled, with its filter byte; the one above
  size_t filled_ = 0;
  std::vector<uint8_t> rgba_;   // one row's pixels
  std::vector<uint8_t> whole_;  // the interlaced picture, gathered
  bool done_ = false;
};

}  // namespace zwp
