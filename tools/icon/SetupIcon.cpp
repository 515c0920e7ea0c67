#include "SetupIcon.h"

#include <algorithm>
#include <stdexcept>

namespace icon {

const std::array<std::array<std::uint8_t, 3>, 16> kPalette = {{
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
}};

namespace {

enum Colour : std::uint8_t {
  kBlack = 0,
  kDarkGreen = 2,
  kNavy = 4,
  kSilver = 7,
  kGrey = 8,
  kLime = 10,
  kBlue = 12,
  kWhite = 15,
};

// Shapes are given on a 32-unit grid and scaled to the image's pixels; the
// outlines stay one pixel wide at every size.
class Canvas {
 public:
  explicit Canvas(int size) : image_{size, std::vector<std::uint8_t>(static_cast<std::size_t>(size * size), kTransparent)} {}

  int Scale(int units) const { return units * image_.Size / 32; }

  void Set(int x, int y, std::uint8_t colour) {
    if (x >= 0 && y >= 0 && x < image_.Size && y < image_.Size) {
      image_.Pixels[static_cast<std::size_t>(y * image_.Size + x)] = colour;
    }
  }

  // Pixels x0 <= x < x1, y0 <= y < y1.
  void Fill(int x0, int y0, int x1, int y1, std::uint8_t colour) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) Set(x, y, colour);
    }
  }

  // A filled rectangle in units with a one-pixel border.
  void Box(int x0, int y0, int x1, int y1, std::uint8_t fill, std::uint8_t border) {
    const int left = Scale(x0), top = Scale(y0), right = std::max(Scale(x1), left + 1),
              bottom = std::max(Scale(y1), top + 1);
    Fill(left, top, right, bottom, border);
    Fill(left + 1, top + 1, right - 1, bottom - 1, fill);
  }

  Image Take() { return std::move(image_); }

 private:
  Image image_;
};

void DrawDisk(Canvas& canvas) {
  const int top = canvas.Scale(2), right = canvas.Scale(26);
  canvas.Box(2, 2, 26, 28, kBlue, kBlack);
  // The bevelled corner, top right.
  const int cut = canvas.Scale(4);
  for (int row = 0; row < cut; ++row) {
    const int edge = right - cut + row;
    canvas.Fill(edge + 1, top + row, right, top + row + 1, kTransparent);
    canvas.Set(edge, top + row, kBlack);
  }
  // The metal shutter with its window.
  canvas.Box(7, 2, 20, 11, kSilver, kBlack);
  canvas.Fill(canvas.Scale(15), canvas.Scale(4), canvas.Scale(18), canvas.Scale(9), kNavy);
  // The label with two written lines.
  canvas.Box(6, 15, 22, 28, kWhite, kBlack);
  for (const int line : {19, 23}) {
    canvas.Fill(canvas.Scale(8), canvas.Scale(line), canvas.Scale(20), canvas.Scale(line) + 1, kGrey);
  }
}

void DrawArrow(Canvas& canvas) {
  canvas.Box(22, 12, 28, 22, kLime, kDarkGreen);
  // The head: a triangle whose rows narrow down to the tip.
  const int centre = canvas.Scale(25), top = canvas.Scale(21), height = canvas.Scale(32) - top;
  for (int row = 0; row < height; ++row) {
    const int half = height - row;
    canvas.Fill(centre - half, top + row, centre + half, top + row + 1, kLime);
    canvas.Set(centre - half, top + row, kDarkGreen);
    canvas.Set(centre + half - 1, top + row, kDarkGreen);
  }
  canvas.Fill(centre - 1, top + height - 1, centre + 1, top + height, kDarkGreen);
}

void Append16(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Append32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Append16(out, value & 0xFFFF);
  Append16(out, value >> 16);
}

int Stride(int bitsPerRow) { return (bitsPerRow + 31) / 32 * 4; }

// BITMAPINFOHEADER, palette, colour bits and AND mask, rows from the bottom.
std::vector<std::uint8_t> EncodeImage(const Image& image) {
  const int colourStride = Stride(image.Size * 4), maskStride = Stride(image.Size);
  const auto bitsSize = static_cast<std::uint32_t>((colourStride + maskStride) * image.Size);
  std::vector<std::uint8_t> out;
  Append32(out, 40);
  Append32(out, static_cast<std::uint32_t>(image.Size));
  Append32(out, static_cast<std::uint32_t>(image.Size * 2));  // colour bits and mask
  Append16(out, 1);
  Append16(out, 4);
  Append32(out, 0);  // BI_RGB
  Append32(out, bitsSize);
  Append32(out, 0);
  Append32(out, 0);
  Append32(out, 0);
  Append32(out, 0);
  for (const auto& colour : kPalette) {
    out.insert(out.end(), {colour[2], colour[1], colour[0], 0});
  }
  for (int y = image.Size - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(colourStride), 0);
    for (int x = 0; x < image.Size; ++x) {
      const std::uint8_t index = image.At(x, y) == kTransparent ? 0 : image.At(x, y);
      row[static_cast<std::size_t>(x / 2)] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = image.Size - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(maskStride), 0);
    for (int x = 0; x < image.Size; ++x) {
      if (image.At(x, y) == kTransparent) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

Image DrawSetupIcon(int size) {
  if (size < 16 || size > 255) throw std::invalid_argument("icon sizes run from 16 to 255 pixels");
  Canvas canvas(size);
  DrawDisk(canvas);
  DrawArrow(canvas);
  return canvas.Take();
}

std::vector<std::uint8_t> EncodeIcon(const std::vector<Image>& images) {
  std::vector<std::uint8_t> out;
  Append16(out, 0);
  Append16(out, 1);  // icon
  Append16(out, static_cast<unsigned>(images.size()));
  std::vector<std::vector<std::uint8_t>> encoded;
  for (const auto& image : images) encoded.push_back(EncodeImage(image));
  auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out.push_back(static_cast<std::uint8_t>(images[i].Size));
    out.push_back(static_cast<std::uint8_t>(images[i].Size));
    out.push_back(16);  // colours
    out.push_back(0);
    Append16(out, 1);  // planes
    Append16(out, 4);  // bits per pixel
    Append32(out, static_cast<std::uint32_t>(encoded[i].size()));
    Append32(out, offset);
    offset += static_cast<std::uint32_t>(encoded[i].size());
  }
  for (const auto& image : encoded) out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace icon
