// The files the program makes from a picture: emblems (the one encoder, with
// the window's header and progress when it saves), 24-bit BMPs, and PNGs
// through an encoder plugged in by a toolkit. Front ends reach the emblem and
// BMP formats through here.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "bitmap/bmp_writer.h"
#include "codec/emblem_file.h"
#include "convert/pipeline.h"
#include "core/picture.h"

namespace zwp {

// The file bytes of the picture in the target's format.
std::vector<uint8_t> encodePicture(const Picture& picture, Target target);

// The emblem a host program's picture becomes when it saves one (an image
// plugin, GIMP): the same rules as for a picture file under the options, so a
// picture larger than 128 x 128 is refused (481) unless it is fitted (up to
// the fitted bounds, shrunk row by row as zwpconv shrinks a file), and
// transparency is flattened over the background. `fillRow` writes row y as
// straight (not premultiplied) red, green, blue, alpha bytes.
using RowFiller = std::function<void(int32_t y, uint8_t* rgba)>;
std::vector<uint8_t> emblemFromRows(int32_t width, int32_t height, const RowFiller& fillRow,
                                    const ReadOptions& options);

// Plugs in the PNG encoder; done once, before any picture is written.
using PngEncoder = std::function<std::vector<uint8_t>(const Picture&)>;
void installPngEncoder(PngEncoder encoder);

}  // namespace zwp
