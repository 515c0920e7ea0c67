// The loader's icon as the .ico file the build embeds.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "SetupIcon.h"
#include "archive/core/ByteOrder.h"

using Bytes = std::vector<std::uint8_t>;

TEST(SetupIcon, IcoHoldsA32And16PixelImageOfFourBitsBehindASoundDirectory) {
  const Bytes file = icon::EncodeIcon({icon::DrawSetupIcon(32), icon::DrawSetupIcon(16)});
  ASSERT_GE(file.size(), 6u + 2 * 16);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 6), (Bytes{0, 0, 1, 0, 2, 0}));  // an icon of two images
  std::size_t expectedOffset = 6 + 2 * 16;
  for (const std::uint8_t n : {32, 16}) {
    SCOPED_TRACE(n);
    const auto entry = file.begin() + (n == 32 ? 6 : 6 + 16);
    // Width, height, 16 colours, reserved, one plane, 4 bits per pixel.
    EXPECT_EQ(Bytes(entry, entry + 8), (Bytes{n, n, 16, 0, 1, 0, 4, 0}));
    const std::uint32_t length = bzip2arc::LoadU32LE(&entry[8]), offset = bzip2arc::LoadU32LE(&entry[12]);
    EXPECT_EQ(offset, expectedOffset);
    // Bitmap header, palette, colour bits and a mask of 32-bit rows.
    ASSERT_EQ(length, 40u + 16 * 4 + n * n / 2 + n * 4);
    ASSERT_LE(offset + length, file.size());
    // Header size, width, height of colour bits and mask together, one plane, 4 bits per pixel.
    EXPECT_EQ(Bytes(file.begin() + offset, file.begin() + offset + 16),
              (Bytes{40, 0, 0, 0, n, 0, 0, 0, static_cast<std::uint8_t>(2 * n), 0, 0, 0, 1, 0, 4, 0}));
    expectedOffset += length;
  }
  EXPECT_EQ(expectedOffset, file.size());
}
