// The loader's icon: what the painter draws and the .ico it writes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "SetupIcon.h"

namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

std::uint16_t Le16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

int Painted(const icon::Image& image) {
  int painted = 0;
  for (const auto pixel : image.Pixels) painted += pixel != icon::kTransparent;
  return painted;
}

}  // namespace

TEST(SetupIconTest, BothSizesArePaintedWithPaletteColoursAndHaveATransparentEdge) {
  for (const int size : {32, 16}) {
    SCOPED_TRACE(size);
    const icon::Image image = icon::DrawSetupIcon(size);
    ASSERT_EQ(image.Pixels.size(), static_cast<std::size_t>(size * size));
    for (const auto pixel : image.Pixels) EXPECT_TRUE(pixel < 16 || pixel == icon::kTransparent);
    EXPECT_GT(Painted(image), size * size / 2);
    EXPECT_EQ(image.At(size - 1, 0), icon::kTransparent);  // the disk's bevelled corner
  }
  EXPECT_THROW(icon::DrawSetupIcon(8), std::invalid_argument);
}

TEST(SetupIconTest, IcoFileHoldsTwoFourBitImagesWhoseMaskMatchesThePicture) {
  const icon::Image large = icon::DrawSetupIcon(32), small = icon::DrawSetupIcon(16);
  const std::vector<std::uint8_t> file = icon::EncodeIcon({large, small});
  ASSERT_GE(file.size(), 6u + 32u);
  EXPECT_EQ(Le16(file, 0), 0);
  EXPECT_EQ(Le16(file, 2), 1);
  ASSERT_EQ(Le16(file, 4), 2);
  std::size_t expectedOffset = 6 + 2 * 16;
  for (int i = 0; i < 2; ++i) {
    const icon::Image& image = i == 0 ? large : small;
    SCOPED_TRACE(image.Size);
    const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
    EXPECT_EQ(file[entry], image.Size);
    EXPECT_EQ(file[entry + 1], image.Size);
    EXPECT_EQ(file[entry + 2], 16);
    EXPECT_EQ(Le16(file, entry + 4), 1);
    EXPECT_EQ(Le16(file, entry + 6), 4);
    const std::uint32_t length = Le32(file, entry + 8), offset = Le32(file, entry + 12);
    EXPECT_EQ(offset, expectedOffset);
    const auto n = static_cast<std::uint32_t>(image.Size);
    ASSERT_EQ(length, 40 + 64 + n * n / 2 + 4 * n);
    ASSERT_LE(offset + length, file.size());
    expectedOffset += length;
    EXPECT_EQ(Le32(file, offset), 40u);
    EXPECT_EQ(Le32(file, offset + 8), 2 * n);  // colour bits and mask
    EXPECT_EQ(Le16(file, offset + 14), 4);
    // Palette entries are stored blue, green, red: 12 is pure blue, 9 pure red.
    EXPECT_EQ(Le32(file, offset + 40 + 12 * 4), 0x000000FFu);
    EXPECT_EQ(Le32(file, offset + 40 + 9 * 4), 0x00FF0000u);
    // Every pixel: the mask bit is set exactly where nothing is painted, and
    // the colour nibble then is 0.
    const std::size_t colours = offset + 40 + 64, mask = colours + n * n / 2;
    for (int y = 0; y < image.Size; ++y) {
      const std::size_t row = static_cast<std::size_t>(image.Size - 1 - y);  // stored from the bottom
      for (int x = 0; x < image.Size; ++x) {
        const std::uint8_t packed = file[colours + row * (n / 2) + static_cast<std::size_t>(x / 2)];
        const int nibble = x % 2 == 0 ? packed >> 4 : packed & 0x0F;
        const bool masked = (file[mask + row * 4 + static_cast<std::size_t>(x / 8)] & (0x80 >> (x % 8))) != 0;
        const std::uint8_t pixel = image.At(x, y);
        ASSERT_EQ(masked, pixel == icon::kTransparent) << x << "," << y;
        ASSERT_EQ(nibble, masked ? 0 : pixel) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(expectedOffset, file.size());
}
