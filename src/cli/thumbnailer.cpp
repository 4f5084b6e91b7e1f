// zwp-thumbnailer SIZE INPUT OUTPUT: the thumbnail of an emblem for file
// managers that follow the freedesktop.org Thumbnail Managing Standard. It writes a
// PNG whose longer side is at most SIZE; emblems are pixel art, so a small one
// is enlarged by a whole factor with sharp pixels, never blurred. The output
// file is written in place when the caller made it already.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "convert/encode.h"
#include "convert/pipeline.h"
#include "core/file_writer.h"
#include "imageio/image_support.h"

int main(int argc, char** argv) {
  int size = 0;
  if (argc != 4 || std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), size).ec != std::errc() || size < 1 ||
      size > 4096) {
    std::fprintf(stderr, "Aufruf: zwp-thumbnailer GRÖSSE WAPPEN.zwp VORSCHAU.png\n");
    return 2;
  }
  try {
    const zwp::ImageSupport images;
    zwp::ReadOptions options;
    options.target = zwp::Target::Png;
    const zwp::Picture emblem = zwp::readPicture(zwp::PictureFile::open(argv[2], true), options);
    const std::vector<uint8_t> png = zwp::encodePicture(zwp::thumbnailOf(emblem, size), zwp::Target::Png);
    // The output belongs to the caller, who may read it through its own
    // descriptor (tumbler does): it is filled, not replaced.
    zwp::fillFile(argv[3], png);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zwp-thumbnailer: %s: %s\n", argv[2], e.what());
    return 1;
  }
  return 0;
}
