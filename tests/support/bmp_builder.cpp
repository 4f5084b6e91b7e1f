#include "support/bmp_builder.h"

#include "support/test_files.h"

namespace zwp::test {

std::vector<uint8_t> BmpBuilder::bytes() const {
  std::vector<uint8_t> info;
  appendLe32(info, infoSize);
  if (infoSize == 12) {
    appendLe16(info, static_cast<uint32_t>(width));
    appendLe16(info, static_cast<uint32_t>(height));
    appendLe16(info, 1);
    appendLe16(info, bitCount);
  } else {
    appendLe32(info, static_cast<uint32_t>(width));
    appendLe32(info, static_cast<uint32_t>(height));
    appendLe16(info, 1);
    appendLe16(info, bitCount);
    appendLe32(info, compression);
    appendLe32(info, static_cast<uint32_t>(data.size()));
    appendLe32(info, 3780);
    appendLe32(info, 3780);
    appendLe32(info, colorsUsed);
    appendLe32(info, 0);
    if (infoSize > 40) {
      for (size_t i = 0; i < 4; ++i) appendLe32(info, i < masks.size() ? masks[i] : 0);
    }
    info.resize(infoSize, 0);
  }
  std::vector<uint8_t> extra;
  if (infoSize == 40) {
    for (const uint32_t m : masks) appendLe32(extra, m);
  }
  for (const uint32_t c : palette) {
    extra.push_back(static_cast<uint8_t>(c));
    extra.push_back(static_cast<uint8_t>(c >> 8));
    extra.push_back(static_cast<uint8_t>(c >> 16));
    if (infoSize != 12) extra.push_back(0);
  }
  const uint32_t offset = static_cast<uint32_t>(14 + info.size() + extra.size());
  std::vector<uint8_t> out = {'B', 'M'};
  appendLe32(out, static_cast<uint32_t>(offset + data.size()));
  appendLe32(out, 0);
  appendLe32(out, static_cast<uint32_t>(offset + dataOffsetDelta));
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), extra.begin(), extra.end());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<uint8_t> paddedRows(const std::vector<std::vector<uint8_t>>& rows) {
  std::vector<uint8_t> out;
  for (const auto& row : rows) {
    out.insert(out.end(), row.begin(), row.end());
    out.resize(out.size() + (4 - row.size() % 4) % 4, 0);
  }
  return out;
}

std::vector<uint8_t> plainBmp(int32_t width, int32_t height, uint16_t bitCount, uint8_t fill) {
  BmpBuilder b;
  b.width = width;
  b.height = height;
  b.bitCount = bitCount;
  const size_t rowBytes = (static_cast<size_t>(width) * bitCount + 7) / 8;
  b.data = paddedRows(std::vector<std::vector<uint8_t>>(static_cast<size_t>(height), std::vector<uint8_t>(rowBytes, fill)));
  return b.bytes();
}

}  // namespace zwp::test
