// zwp-thumbnailer SIZE INPUT OUTPUT: the thumbnail of an emblem for file
// managers that follow the freedesktop.org Thumbnail Managing Standard. It writes a
// PNG whose longer side is at most SIZE; emblems are pixel art, so a small one
// is enlarged by a whole factor with sharp pixels, never blurred.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "convert/artwork.h"
#include "convert/load.h"
#include "core/file_writer.h"
#include "imageio/image_file.h"

int main(int argc, char** argv) {
  int size = 0;
  if (argc != 4 || std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), size).ec != std::errc() || size < 1 ||
      size > 4096) {
    std::fprintf(stderr, "Aufruf: zwp-thumbnailer GRÖSSE WAPPEN.zwp VORSCHAU.png\n");
    return 2;
  }
  try {
    auto emblem = zwp::loadEmblemForPreview(argv[2]);
    if (!emblem || emblem->picture.width() == 0 || emblem->picture.height() == 0) {
      std::fprintf(stderr, "zwp-thumbnailer: %s: kein darstellbares Wappen\n", argv[2]);
      return 1;
    }
    const std::vector<uint8_t> png = zwp::encodePng(zwp::thumbnailOf(emblem->picture, size));
    zwp::FileWriter out(argv[3], zwp::IfExists::Replace);
    out.write(png.data(), png.size());
    out.commit();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zwp-thumbnailer: %s\n", e.what());
    return 1;
  }
  return 0;
}
