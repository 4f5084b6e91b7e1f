// TIFF through libtiff, row by row, for the kinds people save: grey, grey with
// alpha, RGB and RGBA of 8 or 16 bits in strips. Alpha comes as the file
// stores it, straight or premultiplied, so that it is composited exactly;
// libtiff's and Qt's whole-picture readers would premultiply straight alpha
// first. Tiles, palettes, CMYK and the rarer kinds go to Qt's reader.
#include <tiffio.h>

#include <cstring>
#include <vector>

#include "convert/orientation.h"
#include "core/error.h"
#include "imageio/decoders.h"

namespace zwp {

namespace {

// The input as libtiff reads it, by position: strips are read as they are
// needed, never the whole file.
struct Input {
  ByteInput& file;
  toff_t at = 0;
  HeldFailure failure;

  static tmsize_t read(thandle_t h, void* out, tmsize_t size) {
    auto* in = static_cast<Input*>(h);
    const tmsize_t n = in->failure.hold(
        [&] { return static_cast<tmsize_t>(in->file.copy(in->at, static_cast<uint8_t*>(out), static_cast<size_t>(size))); },
        tmsize_t{-1});
    if (n > 0) in->at += static_cast<toff_t>(n);
    return n;
  }
  static tmsize_t write(thandle_t, void*, tmsize_t) { return 0; }
  static toff_t seek(thandle_t h, toff_t offset, int whence) {
    auto* in = static_cast<Input*>(h);
    const toff_t base = whence == SEEK_CUR ? in->at : whence == SEEK_END ? in->file.size() : 0;
    in->at = base + offset;
    return in->at;
  }
  static int close(thandle_t) { return 0; }
  static toff_t size(thandle_t h) { return static_cast<Input*>(h)->file.size(); }
  static int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }
};

struct Tiff {
  Input input;
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFF* tiff = nullptr;

  explicit Tiff(ByteInput& file) : input{file, 0, {}} {
    TIFFOpenOptionsSetErrorHandlerExtR(options, &Input::quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, &Input::quiet, nullptr);
    tiff = TIFFClientOpenExt("tiff", "rm", &input, &Input::read, &Input::write, &Input::seek, &Input::close,
                             &Input::size, nullptr, nullptr, options);
    if (!tiff) {
      TIFFOpenOptionsFree(options);
      fail();
    }
  }
  ~Tiff() {
    TIFFClose(tiff);
    TIFFOpenOptionsFree(options);
  }
  Tiff(const Tiff&) = delete;
  Tiff& operator=(const Tiff&) = delete;

  // Error 481, or the read failure that stopped libtiff.
  [[noreturn]] void fail() const {
    input.failure.raise();
    throw refused(Refusal::Damaged);
  }

  template <typename T>
  T field(ttag_t tag) const {
    T value{};
    TIFFGetFieldDefaulted(tiff, tag, &value);
    return value;
  }
};

// libtiff reads a compressed strip whole before it decodes a row of it
// (uncompressed ones it reads a few rows at a time): a strip larger than this
// is refused rather than held.
constexpr uint64_t kMaxStripBytes = uint64_t{160} << 20;

void checkStrips(const Tiff& t) {
  if (t.field<uint16_t>(TIFFTAG_COMPRESSION) == COMPRESSION_NONE) return;
  for (uint32_t strip = 0; strip < TIFFNumberOfStrips(t.tiff); ++strip) {
    const uint64_t bytes = TIFFGetStrileByteCount(t.tiff, strip);
    if (bytes > kMaxStripBytes) {
      throw refused(Refusal::FileTooLarge, "ein gepackter Streifen von " + std::to_string(bytes >> 20) +
                                               " MB, gelesen werden höchstens " + std::to_string(kMaxStripBytes >> 20) +
                                               " MB am Stück");
    }
  }
}

class TiffDecoder final : public Decoder {
 public:
  PictureHeader header(ByteInput& file) const override {
    const Tiff t(file);
    return {t.field<uint32_t>(TIFFTAG_IMAGEWIDTH), t.field<uint32_t>(TIFFTAG_IMAGELENGTH), tiffOrientation(file)};
  }

  void decode(ByteInput& file, RowSink& rows) const override {
    const Tiff t(file);
    const auto photometric = t.field<uint16_t>(TIFFTAG_PHOTOMETRIC);
    const auto samples = t.field<uint16_t>(TIFFTAG_SAMPLESPERPIXEL);
    const auto bits = t.field<uint16_t>(TIFFTAG_BITSPERSAMPLE);
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK;
    const uint16_t colours = grey ? 1 : 3;
    const bool ours = (grey || photometric == PHOTOMETRIC_RGB) && (bits == 8 || bits == 16) &&
                      (samples == colours || samples == colours + 1) && !TIFFIsTiled(t.tiff) &&
                      t.field<uint16_t>(TIFFTAG_PLANARCONFIG) == PLANARCONFIG_CONTIG;
    if (!ours) return fallback_->decode(file, rows);

    Alpha alpha = Alpha::Straight;
    if (samples > colours) {
      uint16_t count = 0;
      uint16_t* kinds = nullptr;
      TIFFGetField(t.tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds);
      if (count == 1 && kinds[0] == EXTRASAMPLE_ASSOCALPHA) alpha = Alpha::Premultiplied;
    }
    checkStrips(t);
    const uint32_t width = t.field<uint32_t>(TIFFTAG_IMAGEWIDTH), height = t.field<uint32_t>(TIFFTAG_IMAGELENGTH);
    std::vector<uint8_t> stored(TIFFScanlineSize64(t.tiff));
    if (stored.size() < static_cast<size_t>(width) * samples * (bits / 8)) throw refused(Refusal::Damaged);
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * 4);
    for (uint32_t y = 0; y < height; ++y) {
      if (TIFFReadScanline(t.tiff, stored.data(), y, 0) < 0) t.fail();
      for (size_t x = 0; x < width; ++x) {
        auto sample = [&](size_t k) -> uint8_t {
          const size_t i = x * samples + k;
          if (bits == 8) return stored[i];
          uint16_t v;
          std::memcpy(&v, &stored[2 * i], 2);  // libtiff gives samples in the host's order
          return static_cast<uint8_t>((uint32_t{v} * 255 + 32767) / 65535);
        };
        for (size_t k = 0; k < 3; ++k) rgba[4 * x + k] = sample(grey ? 0 : k);
        rgba[4 * x + 3] = samples > colours ? sample(colours) : 255;
      }
      rows.addRows(rgba.data(), 1, rgba.size(), alpha);
    }
  }

 private:
  std::shared_ptr<const Decoder> fallback_ = qtDecoder(Format::Tiff, "tiff");
};

}  // namespace

std::shared_ptr<const Decoder> tiffDecoder() { return std::make_shared<TiffDecoder>(); }

}  // namespace zwp
