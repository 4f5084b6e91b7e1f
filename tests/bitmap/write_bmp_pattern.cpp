// Writes pattern pictures with our 24-bit BMP writer for the interoperability
// check: write_bmp_pattern DIR W H ... writes DIR/WxH.bmp for each pair.
#include <cstdio>
#include <string>

#include "bitmap/bmp_writer.h"

int main(int argc, char** argv) {
  if (argc < 4 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: write_bmp_pattern DIR W H [W H ...]\n");
    return 2;
  }
  for (int i = 2; i + 1 < argc; i += 2) {
    const int w = std::stoi(argv[i]), h = std::stoi(argv[i + 1]);
    zwp::Picture p(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p.set(x, y, zwp::colourOf(x * 2 + y, y * 7 + x, x ^ (y * 3)));
    zwp::writeBmp24File(std::string(argv[1]) + "/" + std::to_string(w) + "x" + std::to_string(h) + ".bmp", zwp::IfExists::Replace, p);
  }
  return 0;
}
