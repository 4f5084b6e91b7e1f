// Test programs that read pictures in other formats: the decoders are plugged
// in once, as the programs themselves do, before any test runs.
#include <gtest/gtest.h>

#include "imageio/image_support.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const zwp::ImageSupport images;
  return RUN_ALL_TESTS();
}
