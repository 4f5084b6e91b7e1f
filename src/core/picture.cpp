#include "core/picture.h"

#include <string>
#include <utility>

#include "core/error.h"

namespace zwp {

bool pictureSizeUsable(int64_t width, int64_t height) {
  return width >= 0 && height >= 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

void checkPictureSize(int64_t width, int64_t height) {
  if (!pictureSizeUsable(width, height)) {
    throw refused(Refusal::OutOfBounds, std::to_string(width) + " × " + std::to_string(height));
  }
}

void checkFittedSize(int64_t width, int64_t height) {
  if (width < 0 || height < 0 || width > kMaxFittedSide || height > kMaxFittedSide ||
      width * height > kMaxFittedPixels) {
    throw refused(Refusal::OutOfBounds, std::to_string(width) + " × " + std::to_string(height));
  }
}

Picture::Picture(int32_t width, int32_t height, int32_t fill) : width_(width), height_(height) {
  checkPictureSize(width, height);
  pixels_.assign(size_t(width) * size_t(height), fill);
}

Picture::Picture(int32_t width, int32_t height, std::vector<int32_t> colours)
    : width_(width), height_(height), pixels_(std::move(colours)) {
  checkPictureSize(width, height);
  if (pixels_.size() != size_t(width) * size_t(height)) throw invalidPicture("Zahl der Bildpunkte passt nicht zur Größe");
}

std::vector<int32_t> Picture::release() {
  width_ = 0;
  height_ = 0;
  return std::exchange(pixels_, {});
}

}  // namespace zwp
