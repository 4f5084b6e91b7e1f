#include "core/picture.h"

#include "core/error.h"

namespace zwp {

bool pictureSizeUsable(int64_t width, int64_t height) {
  return width >= 0 && height >= 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

Picture::Picture(int32_t w, int32_t h, int32_t fill) : width(w), height(h) {
  if (!pictureSizeUsable(w, h)) throw invalidPicture("Bildgröße außerhalb der Grenzen");
  pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), fill);
}

}  // namespace zwp
