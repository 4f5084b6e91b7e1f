// Zorbel emblem files (.zwp): a 280-byte header (272 reserved bytes, then
// width and height as 32-bit signed little-endian numbers) followed by one
// 16-bit 5-6-5 word per pixel, top row first, left to right, no row padding.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/byte_file.h"
#include "core/file_writer.h"
#include "codec/pixel_codec.h"
#include "core/picture.h"

namespace zwp {

inline constexpr size_t kEmblemHeaderSize = 280;

struct EmblemHeader {
  std::array<char, 272> Reserved{};
  int32_t Width = 0;
  int32_t Height = 0;
};

void WriteEmblemHeader(ByteSink& file, const EmblemHeader& header);
// One word, low byte first, as the format describes a pixel; the bulk
// encoder below is checked against it word by word.
void WritePixelWord(ByteSink& file, int16_t word);
// Header fields past the end of a short file read as zero.
void ReadEmblemHeader(ByteSource& file, EmblemHeader& header);

// A header whose size can be turned into a picture: both sides 0..32767 and at
// most 16 Mi pixels. Anything else is a broken or hostile file.
bool emblemHeaderUsable(const EmblemHeader& header);

struct Emblem {
  EmblemHeader header;
  Picture picture;
};

// Reads a whole emblem; no value when its header is unusable (checked before
// any memory is sized from it). Missing words of a short file are black.
std::optional<Emblem> readEmblem(ByteSource& file);
std::optional<Emblem> readEmblemFile(const std::string& path);

// Called after each row has been converted, with the row's words (one per
// pixel, left to right) before they are stored.
using RowProgress = std::function<void(int32_t y, std::span<const uint16_t> words)>;

// Writes an emblem of width x height pixels taken from the picture; a pixel
// outside the picture reads as -1 (stored as pure red), as the preview answers
// for points it does not have. A side of zero or less gives the header alone,
// with the sizes as given. Sizes beyond the picture bounds raise error 6.
// This is the one encoder: every emblem the program makes comes from here.
void writeEmblem(ByteSink& file, const Picture& picture, int32_t width, int32_t height,
                 const RowProgress& progress = {});
// The same with a header of the caller's: it is written as it stands, and its
// Width and Height give the size.
void writeEmblem(ByteSink& file, const EmblemHeader& header, const Picture& picture,
                 const RowProgress& progress = {});
// The same into a new file at path (see FileWriter for how it appears).
void writeEmblemFile(const std::string& path, IfExists ifExists, const Picture& picture, int32_t width,
                     int32_t height, const RowProgress& progress = {});

// The file bytes of a whole picture as an emblem.
std::vector<uint8_t> encodeEmblem(const Picture& picture);
// The picture of a whole emblem in memory (see readEmblem).
std::optional<Emblem> decodeEmblem(std::span<const uint8_t> bytes);

}  // namespace zwp
