// zwpconv: batch conversion between BMP files and Zorbel emblems.
#include <malloc.h>
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "cli/batch.h"
#include "imageio/image_support.h"

int main(int argc, char** argv) {
  // The lines printed are a log: a reader that goes away (| head) must not
  // stop the batch. The lost output is reported at the end, and exit is 1.
  std::signal(SIGPIPE, SIG_IGN);
  // Every file's buffers are freed before the next file's are taken: the
  // heap keeps what it had rather than giving it back to the system and
  // asking for it again, once per file and thread.
  ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
  ::mallopt(M_MMAP_THRESHOLD, 4 << 20);
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const zwp::ImageSupport images;
  return zwp::cli::main(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
