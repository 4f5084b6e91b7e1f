// WebP through libwebp, in zwpconv and (compiled from the same release's
// sources) in the browser page alike: straight RGBA as stored, never through
// a canvas that premultiplies. An animation shows its first frame on its
// canvas, the rest of the canvas transparent.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <vector>

#include "convert/completeness.h"
#include "convert/pipeline.h"
#include "core/byte_file.h"
#include "core/error.h"
#include "core/picture.h"
#include "formats/decoders.h"

namespace zwp {

namespace {

[[noreturn]] void damaged() { throw refused(Refusal::Damaged); }

// libwebp gives a picture whole, never row by row: a WebP is decoded whole,
// within this many pixels (its RGBA and, for a lossless one, libwebp's own copy
// stay within about 200 MB), even when it is to be shrunk.
constexpr int64_t kMaxWholePixels = int64_t{24} << 20;
// libwebp needs the whole file too: it is held within this many bytes, which
// a picture of those pixels does not need even stored without loss.
constexpr uint64_t kMaxFileBytes = uint64_t{96} << 20;
// The features are read from the start; chunks before the picture (colour
// profile, Exif) may push it further, and then the whole file is read.
constexpr size_t kFeaturesHead = 64 * 1024;

// The whole file, in memory.
std::vector<uint8_t> wholeOf(ByteInput& file) {
  if (file.size() > kMaxFileBytes) {
    throw refused(Refusal::FileTooLarge, std::to_string(file.size() >> 20) + " MB, WebP wird bis " +
                                             std::to_string(kMaxFileBytes >> 20) + " MB gelesen");
  }
  std::vector<uint8_t> bytes(sizeOf(file.size()));
  if (file.copy(0, bytes.data(), bytes.size()) != bytes.size()) damaged();  // shrunk while it was read
  return bytes;
}

WebPBitstreamFeatures featuresOf(std::span<const uint8_t> file) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(file.data(), file.size(), &features) == VP8_STATUS_OK && features.width > 0 && features.height > 0) {
    return features;
  }
  // libwebp refuses an extended header whose canvas is beyond any picture; say so.
  if (file.size() >= 30 && std::memcmp(&file[12], "VP8X", 4) == 0) {
    const uint32_t width = readLe16(&file[24]) + (uint32_t{file[26]} << 16) + 1u;
    const uint32_t height = file[27] + (uint32_t{readLe16(&file[28])} << 8) + 1u;
    if (width > kMaxFittedSide || height > kMaxFittedSide) {
      throw refused(Refusal::OutOfBounds, std::to_string(width) + " × " + std::to_string(height));
    }
  }
  damaged();
}

// Decodes a still picture's bitstream into `out` at the given row stride.
void decodeInto(const uint8_t* data, size_t size, uint8_t* out, size_t bytes, int stride) {
  if (!WebPDecodeRGBAInto(data, size, out, bytes, stride)) damaged();
}

class WebpDecoder final : public Decoder {
 public:
  PictureHeader header(ByteInput& file) const override {
    const std::span<const uint8_t> head = file.head(kFeaturesHead);
    WebPBitstreamFeatures f;
    if (file.size() > head.size() && WebPGetFeatures(head.data(), head.size(), &f) == VP8_STATUS_NOT_ENOUGH_DATA) {
      f = featuresOf(wholeOf(file));
    } else {
      f = featuresOf(file.head(kFeaturesHead));
    }
    return {f.width, f.height, 1};
  }

  void decode(ByteInput& input, RowSink& rows) const override {
    checkComplete(Format::Webp, input);
    const std::vector<uint8_t> whole = wholeOf(input);
    const std::span<const uint8_t> file = whole;
    const WebPBitstreamFeatures f = featuresOf(file);
    if (int64_t{f.width} * f.height > kMaxWholePixels) {
      throw refused(Refusal::OutOfBounds, std::to_string(f.width) + " × " + std::to_string(f.height));
    }
    const auto width = static_cast<size_t>(f.width), height = static_cast<size_t>(f.height);
    std::vector<uint8_t> pixels(width * height * 4, 0);
    if (!f.has_animation) {
      decodeInto(file.data(), file.size(), pixels.data(), pixels.size(), f.width * 4);
    } else {
      const WebPData data{file.data(), file.size()};
      WebPDemuxer* demux = WebPDemux(&data);
      WebPIterator frame;
      const bool found = demux && WebPDemuxGetFrame(demux, 1, &frame);
      const bool inside = found && frame.x_offset >= 0 && frame.y_offset >= 0 &&
                          frame.x_offset + frame.width <= f.width && frame.y_offset + frame.height <= f.height;
      const bool decoded =
          inside && WebPDecodeRGBAInto(frame.fragment.bytes, frame.fragment.size,
                                       &pixels[(static_cast<size_t>(frame.y_offset) * width + static_cast<size_t>(frame.x_offset)) * 4],
                                       pixels.size() - (static_cast<size_t>(frame.y_offset) * width + static_cast<size_t>(frame.x_offset)) * 4,
                                       f.width * 4) != nullptr;
      if (found) WebPDemuxReleaseIterator(&frame);
      WebPDemuxDelete(demux);
      if (!decoded) damaged();
    }
    rows.addRows(pixels.data(), static_cast<int32_t>(height), width * 4, Alpha::Straight);
  }
};

}  // namespace

std::shared_ptr<const Decoder> webpDecoder() { return std::make_shared<WebpDecoder>(); }

}  // namespace zwp
