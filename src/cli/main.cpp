// zwpconv: batch conversion between BMP files and Zorbel emblems.
#include <unistd.h>

#include <iostream>

#include "cli/batch.h"
#include "imageio/image_support.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const zwp::ImageSupport images;
  return zwp::cli::main(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
