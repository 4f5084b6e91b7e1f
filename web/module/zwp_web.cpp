// The converter as a WebAssembly module for the browser page: file bytes
// in, emblem bytes and preview pixels out, by the same code and rules as
// zwpconv. A C interface keeps the module small; each call leaves one
// result that the page copies out before the next call.
#if defined(__EMSCRIPTEN__)
#include <emscripten/emscripten.h>
#else  // built natively for its fuzz target
#define EMSCRIPTEN_KEEPALIVE
#endif

#include <cstdint>
#include <exception>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "convert/encode.h"
#include "convert/pipeline.h"
#include "core/error.h"
#include "core/picture.h"
#include "core/version.h"
#include "formats/decoders.h"

namespace {

using zwp::Picture;

// What the last call produced. Preview pixels are bytes red, green, blue,
// alpha (always opaque), rows from the top, as the page's ImageData wants.
struct Result {
  std::vector<uint8_t> emblem;
  std::vector<int32_t> pixels;
  int32_t width = 0;
  int32_t height = 0;
  std::string message;  // German; empty on success
};
Result result;

// The modules the page loads for JPEG and WebP files read them with zwpconv's own decoders.
#if defined(ZWP_WEB_JPEG)
const bool installed = (zwp::installDecoder(zwp::Format::Jpeg, zwp::jpegDecoder()), true);
#elif defined(ZWP_WEB_WEBP)
const bool installed = (zwp::installDecoder(zwp::Format::Webp, zwp::webpDecoder()), true);
#endif

// What a call returns; TooLarge is a refusal that "fit" would mend, and
// OutOfMemory says that the module's memory could not hold what the file needs.
enum Status : int { Refused = 0, Done = 1, TooLarge = 3, OutOfMemory = 4 };


Status refuse(const zwp::Error& e) {
  result = {};
  result.message = e.description();
  return e.reason() == zwp::Refusal::TooLarge ? TooLarge : Refused;
}

// The picture as opaque RGBA bytes in place: 0x00BBGGRR in little-endian
// memory is already red, green, blue; only alpha needs setting.
void keepPreview(Picture picture) {
  result.width = picture.width();
  result.height = picture.height();
  result.pixels = picture.release();
  for (int32_t& p : result.pixels) p = static_cast<int32_t>(static_cast<uint32_t>(p) | 0xFF000000u);
}

// Encodes the prepared picture as an emblem; the preview shows what the
// emblem really holds, read back from its bytes.
Status finishEmblem(const Picture& picture) {
  result = {};
  result.emblem = zwp::encodePicture(picture, zwp::Target::Emblem);
  keepPreview(zwp::emblemOf(result.emblem).picture);
  return Done;
}

zwp::ReadOptions optionsOf(zwp::Target target, int32_t fit, int dither) {
  zwp::ReadOptions options;
  options.target = target;
  options.fit = fit >= 1 && fit <= 128 ? fit : 0;
  options.dither = dither != 0;
  return options;
}

template <typename Work>
int guarded(Work work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    result = {};
    return OutOfMemory;
  } catch (const zwp::Error& e) {
    return refuse(e);
  } catch (const std::exception& e) {
    return refuse(zwp::Error(zwp::err::InvalidPicture, e.what()));
  }
}

}  // namespace

extern "C" {

// A picture file's bytes to an emblem, as zwpconv converts it: BMP, PNG,
// GIF and TGA in every module, JPEG and WebP in the module built for them.
EMSCRIPTEN_KEEPALIVE int zwp_emblem_from_file(const uint8_t* bytes, size_t size, const char* name, int32_t background,
                                              int32_t fit, int dither) {
  return guarded([&] {
    zwp::ReadOptions options = optionsOf(zwp::Target::Emblem, fit, dither);
    options.background = background;
    return static_cast<int>(finishEmblem(zwp::readPicture({{bytes, size}, name, false}, options)));
  });
}

// A picture file the module reads itself (TGA, which no browser shows) as it
// stands before it becomes an emblem: transparency over the background, at
// its own size, for the page to show beside the emblem.
EMSCRIPTEN_KEEPALIVE int zwp_original_from_file(const uint8_t* bytes, size_t size, const char* name,
                                                int32_t background) {
  return guarded([&] {
    zwp::ReadOptions options = optionsOf(zwp::Target::Png, 0, 0);
    options.background = background;
    Picture picture = zwp::readPicture({{bytes, size}, name, false}, options);
    result = {};
    keepPreview(std::move(picture));
    return static_cast<int>(Done);
  });
}

// An emblem file's bytes to its picture.
EMSCRIPTEN_KEEPALIVE int zwp_picture_from_emblem(const uint8_t* bytes, size_t size) {
  return guarded([&] {
    Picture picture = zwp::readPicture({{bytes, size}, "", true}, optionsOf(zwp::Target::Png, 0, 0));
    result = {};
    keepPreview(std::move(picture));
    return static_cast<int>(Done);
  });
}

EMSCRIPTEN_KEEPALIVE int32_t zwp_width() { return result.width; }
EMSCRIPTEN_KEEPALIVE int32_t zwp_height() { return result.height; }
EMSCRIPTEN_KEEPALIVE const int32_t* zwp_pixels() { return result.pixels.data(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* zwp_emblem() { return result.emblem.data(); }
EMSCRIPTEN_KEEPALIVE size_t zwp_emblem_size() { return result.emblem.size(); }
EMSCRIPTEN_KEEPALIVE const char* zwp_message() { return result.message.c_str(); }

EMSCRIPTEN_KEEPALIVE const char* zwp_version() { return zwp::kVersion; }

// Frees what the last result holds once the page has copied it.
EMSCRIPTEN_KEEPALIVE void zwp_release() { result = {}; }

// The most a file the module reads may hold: a bitmap is read up to this
// many bytes, as zwpconv reads it; an emblem never needs more.
EMSCRIPTEN_KEEPALIVE double zwp_max_file_bytes() {
  return static_cast<double>(zwp::kMaxPictureFileBytes);
}
EMSCRIPTEN_KEEPALIVE double zwp_max_emblem_bytes() {
  return static_cast<double>(zwp::kMaxEmblemFileBytes);
}

}  // extern "C"
