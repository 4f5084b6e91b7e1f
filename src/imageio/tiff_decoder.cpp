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

// The file in memory as libtiff reads it.
struct Memory {
  std::span<const uint8_t> file;
  toff_t at = 0;

  static tmsize_t read(thandle_t h, void* out, tmsize_t size) {
    auto* m = static_cast<Memory*>(h);
    const toff_t left = m->at < m->file.size() ? m->file.size() - m->at : 0;
    const auto n = static_cast<tmsize_t>(std::min<toff_t>(left, static_cast<toff_t>(size)));
    if (n > 0) std::memcpy(out, m->file.data() + m->at, static_cast<size_t>(n));
    m->at += static_cast<toff_t>(n);
    return n;
  }
  static tmsize_t write(thandle_t, void*, tmsize_t) { return 0; }
  static toff_t seek(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<Memory*>(h);
    const toff_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->file.size() : 0;
    m->at = base + offset;
    return m->at;
  }
  static int close(thandle_t) { return 0; }
  static toff_t size(thandle_t h) { return static_cast<Memory*>(h)->file.size(); }
  static int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }
};

struct Tiff {
  Memory memory;
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFF* tiff = nullptr;

  explicit Tiff(std::span<const uint8_t> file) : memory{file} {
    TIFFOpenOptionsSetErrorHandlerExtR(options, &Memory::quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, &Memory::quiet, nullptr);
    tiff = TIFFClientOpenExt("tiff", "rm", &memory, &Memory::read, &Memory::write, &Memory::seek, &Memory::close,
                             &Memory::size, nullptr, nullptr, options);
    if (!tiff) {
      TIFFOpenOptionsFree(options);
      throw refused(Refusal::Damaged);
    }
  }
  ~Tiff() {
    TIFFClose(tiff);
    TIFFOpenOptionsFree(options);
  }
  Tiff(const Tiff&) = delete;
  Tiff& operator=(const Tiff&) = delete;

  template <typename T>
  T field(ttag_t tag) const {
    T value{};
    TIFFGetFieldDefaulted(tiff, tag, &value);
    return value;
  }
};

class TiffDecoder final : public Decoder {
 public:
  PictureHeader header(std::span<const uint8_t> file) const override {
    const Tiff t(file);
    return {t.field<uint32_t>(TIFFTAG_IMAGEWIDTH), t.field<uint32_t>(TIFFTAG_IMAGELENGTH), tiffOrientation(file)};
  }

  void decode(std::span<const uint8_t> file, RowSink& rows) const override {
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
    const uint32_t width = t.field<uint32_t>(TIFFTAG_IMAGEWIDTH), height = t.field<uint32_t>(TIFFTAG_IMAGELENGTH);
    std::vector<uint8_t> stored(TIFFScanlineSize64(t.tiff));
    if (stored.size() < static_cast<size_t>(width) * samples * (bits / 8)) throw refused(Refusal::Damaged);
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * 4);
    for (uint32_t y = 0; y < height; ++y) {
      if (TIFFReadScanline(t.tiff, stored.data(), y, 0) < 0) throw refused(Refusal::Damaged);
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
