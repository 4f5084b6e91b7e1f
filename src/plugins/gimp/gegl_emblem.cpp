#include "plugins/gimp/gegl_emblem.h"

#include <new>
#include <vector>

#include "convert/encode.h"
#include "convert/pipeline.h"
#include "core/error.h"
#include "core/file_writer.h"

namespace zwp {

OpenedEmblem openEmblem(const char* filename) {
  const Picture picture = readPicture(PictureFile::open(filename, true), {.target = Target::Bmp});
  if (picture.width() == 0 || picture.height() == 0) throw refused(Refusal::Empty);
  OpenedEmblem emblem{picture.width(), picture.height(), {}};
  emblem.rgb.reserve(picture.pixels().size() * 3);
  for (const int32_t colour : picture.pixels()) {
    emblem.rgb.insert(emblem.rgb.end(), {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
                                         static_cast<uint8_t>(colour >> 16)});
  }
  return emblem;
}

void fillBuffer(GeglBuffer* buffer, const OpenedEmblem& emblem) {
  const GeglRectangle all = {0, 0, emblem.width, emblem.height};
  gegl_buffer_set(buffer, &all, 0, babl_format("R'G'B' u8"), emblem.rgb.data(), GEGL_AUTO_ROWSTRIDE);
}

void exportEmblem(GeglBuffer* buffer, int width, int height, const char* filename, const ExportOptions& options) {
  // Straight (not premultiplied) red, green, blue, alpha bytes, row by row.
  const std::vector<uint8_t> bytes = emblemFromRows(width, height, [&](int32_t y, uint8_t* rgba) {
    const GeglRectangle line = {0, y, width, 1};
    gegl_buffer_get(buffer, &line, 1.0, babl_format("R'G'B'A u8"), rgba, GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
  }, {.fit = options.fit, .dither = options.dither});
  FileWriter file(filename, IfExists::Replace);
  file.write(bytes.data(), bytes.size());
  file.publish();
}

std::string failureOf(const std::function<void()>& step) {
  try {
    step();
    return {};
  } catch (const std::bad_alloc&) {
    return standardDescription(err::OutOfMemory);
  } catch (const std::exception& e) {
    return e.what();
  }
}

}  // namespace zwp
