// The loader's icon, drawn in code: a floppy disk with a green arrow that
// points down onto the local disk. 16 colours (the standard VGA palette);
// images of any size from 16 pixels up, each drawn for its own size.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace icon {

// Palette index of a pixel that is not painted (the AND mask shows through).
constexpr std::uint8_t kTransparent = 0xFF;

// Red, green, blue of the 16 palette entries.
extern const std::array<std::array<std::uint8_t, 3>, 16> kPalette;

struct Image {
  int Size = 0;  // width = height
  // Row by row from the top; a palette index or kTransparent.
  std::vector<std::uint8_t> Pixels;

  std::uint8_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y * Size + x)]; }
};

Image DrawSetupIcon(int size);

// An .ico file holding `images` as 4-bit images with the palette above.
std::vector<std::uint8_t> EncodeIcon(const std::vector<Image>& images);

}  // namespace icon
