#include "convert/decoder.h"

#include "convert/gif_decoder.h"
#include "convert/png_decoder.h"
#include "convert/tga_decoder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <map>
#include <string_view>

namespace zwp {

namespace {

bool startsWith(std::span<const uint8_t> file, std::string_view magic, size_t at = 0) {
  return file.size() >= at + magic.size() && std::memcmp(file.data() + at, magic.data(), magic.size()) == 0;
}

std::map<Format, std::shared_ptr<const Decoder>>& registry() {
  // Formats whose decoders need no toolkit are always there.
  static std::map<Format, std::shared_ptr<const Decoder>> decoders = {
      {Format::Png, pngDecoder()}, {Format::Gif, gifDecoder()}, {Format::Tga, tgaDecoder()}};
  return decoders;
}

constexpr std::array<const char*, 10> kExtensions = {"bmp", "png", "jpg", "jpeg", "gif", "webp", "tif", "tiff", "tga", "jpe"};

}  // namespace

bool hasEnding(const std::string& name, std::string_view ending) {
  if (name.size() < ending.size()) return false;
  return std::equal(ending.begin(), ending.end(), name.end() - static_cast<std::ptrdiff_t>(ending.size()),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
}

Format formatOf(std::span<const uint8_t> file, const std::string& name) {
  if (startsWith(file, "BM")) return Format::Bmp;
  if (startsWith(file, "\x89PNG\r\n\x1a\n")) return Format::Png;
  if (startsWith(file, "\xff\xd8\xff")) return Format::Jpeg;
  if (startsWith(file, "GIF87a") || startsWith(file, "GIF89a")) return Format::Gif;
  if (startsWith(file, "RIFF") && startsWith(file, "WEBP", 8)) return Format::Webp;
  using namespace std::string_view_literals;
  if (startsWith(file, "II*\0"sv) || startsWith(file, "MM\0*"sv)) return Format::Tiff;
  if (hasEnding(name, ".tga") && looksLikeTga(file)) return Format::Tga;
  return Format::Unknown;
}

const char* formatName(Format format) {
  switch (format) {
    case Format::Bmp: return "BMP";
    case Format::Png: return "PNG";
    case Format::Jpeg: return "JPEG";
    case Format::Gif: return "GIF";
    case Format::Webp: return "WebP";
    case Format::Tiff: return "TIFF";
    case Format::Tga: return "TGA";
    case Format::Unknown: break;
  }
  return "unbekannt";
}

Rows rowsOf(Format format) {
  // WebP is decoded whole by libwebp, within its own bound; it is shrunk row by row all the same.
  return format != Format::Unknown && format != Format::Bmp ? Rows::InStrips : Rows::Whole;
}

std::span<const char* const> pictureExtensions() { return kExtensions; }

void installDecoder(Format format, std::shared_ptr<const Decoder> decoder) { registry()[format] = std::move(decoder); }

const Decoder* decoderFor(Format format) {
  const auto& decoders = registry();
  const auto found = decoders.find(format);
  return found == decoders.end() ? nullptr : found->second.get();
}

}  // namespace zwp
