// Draws the program's icon (two 32 x 32 images: 256 colours and 32 bits per pixel) and the
// scan button's 24-bit picture, a flatbed scanner: 64 x 64 for 96 dpi, and 80, 96 and 128
// pixels square for 120, 144 and 192 dpi.
// Usage: make_assets <output folder>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Rgba {
  std::uint8_t r, g, b, a;
  bool operator<(const Rgba& o) const { return std::tie(r, g, b, a) < std::tie(o.r, o.g, o.b, o.a); }
};

struct Shape {
  double left, top, right, bottom;  // in units of the image size
  Rgba colour;
};

// Painted in order; later shapes cover earlier ones. A flatbed scanner seen from the front: a
// wide, low body with its lid raised behind a sheet on the glass and the scanning light along
// the front. The lowest tenth stays the face colour, where the button's caption may begin.
const std::vector<Shape> ScannerMotif = {
    {0.10, 0.10, 0.90, 0.16, {96, 104, 120, 255}},   // lid, raised: its top edge
    {0.12, 0.16, 0.88, 0.44, {150, 158, 172, 255}},  // lid, its underside
    {0.14, 0.20, 0.86, 0.42, {176, 184, 198, 255}},  // the lid's white pad
    {0.04, 0.44, 0.96, 0.54, {120, 170, 200, 255}},  // glass
    {0.30, 0.36, 0.70, 0.50, {255, 255, 255, 255}},  // a sheet on the glass
    {0.34, 0.40, 0.62, 0.42, {90, 110, 160, 255}},   // its lines
    {0.34, 0.44, 0.66, 0.46, {90, 110, 160, 255}},  {0.04, 0.54, 0.96, 0.86, {52, 62, 80, 255}},  // body
    {0.08, 0.60, 0.92, 0.64, {120, 240, 210, 255}},                                               // the scanning light
    {0.80, 0.74, 0.88, 0.80, {230, 60, 50, 255}},                                                 // power light
    {0.06, 0.86, 0.94, 0.89, {30, 34, 44, 255}},                                                  // foot
};

using Image = std::vector<Rgba>;  // rows top-down

Image Draw(int size, Rgba background) {
  Image image(static_cast<size_t>(size * size), background);
  for (const Shape& s : ScannerMotif) {
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const double cx = (x + 0.5) / size, cy = (y + 0.5) / size;
        if (cx >= s.left && cx < s.right && cy >= s.top && cy < s.bottom) image[y * size + x] = s.colour;
      }
  }
  return image;
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void PutInfoHeader(std::vector<std::uint8_t>& out, int width, int height, int bits, unsigned coloursUsed) {
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);
  Put16(out, static_cast<unsigned>(bits));
  Put32(out, 0);  // BI_RGB
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, coloursUsed);
  Put32(out, 0);
}

// Rows are stored bottom-up, each padded to 4 bytes.
std::vector<std::uint8_t> BitmapRows(const Image& image, int size, int bits, const std::map<Rgba, int>* palette) {
  std::vector<std::uint8_t> out;
  const size_t stride = ((static_cast<size_t>(size) * bits + 31) / 32) * 4;
  for (int y = size - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row;
    for (int x = 0; x < size; ++x) {
      const Rgba& p = image[y * size + x];
      if (bits == 8) {
        row.push_back(static_cast<std::uint8_t>(palette->at(p)));
      } else {
        row.push_back(p.b);
        row.push_back(p.g);
        row.push_back(p.r);
        if (bits == 32) row.push_back(p.a);
      }
    }
    row.resize(stride, 0);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::vector<std::uint8_t> AndMask(const Image& image, int size) {
  std::vector<std::uint8_t> out;
  const size_t stride = ((static_cast<size_t>(size) + 31) / 32) * 4;
  for (int y = size - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(stride, 0);
    for (int x = 0; x < size; ++x)
      if (image[y * size + x].a == 0) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::vector<std::uint8_t> IconImage(const Image& image, int size, int bits) {
  std::vector<std::uint8_t> out;
  std::map<Rgba, int> palette;
  if (bits == 8) {
    for (const Rgba& p : image) palette.emplace(p, 0);
    int index = 0;
    for (auto& entry : palette) entry.second = index++;
  }
  PutInfoHeader(out, size, size * 2, bits, bits == 8 ? 256 : 0);
  if (bits == 8) {
    std::vector<Rgba> colours(256, Rgba{0, 0, 0, 0});
    for (const auto& entry : palette) colours[static_cast<size_t>(entry.second)] = entry.first;
    for (const Rgba& c : colours) {
      out.push_back(c.b);
      out.push_back(c.g);
      out.push_back(c.r);
      out.push_back(0);
    }
  }
  const auto rows = BitmapRows(image, size, bits, &palette);
  out.insert(out.end(), rows.begin(), rows.end());
  const auto mask = AndMask(image, size);
  out.insert(out.end(), mask.begin(), mask.end());
  return out;
}

std::vector<std::uint8_t> IconFile(const Image& image, int size) {
  const std::vector<std::vector<std::uint8_t>> images = {IconImage(image, size, 8), IconImage(image, size, 32)};
  const int bits[] = {8, 32};
  std::vector<std::uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<unsigned>(images.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    out.push_back(static_cast<std::uint8_t>(size));
    out.push_back(static_cast<std::uint8_t>(size));
    out.push_back(0);  // colour count: 0 stands for 256 or more
    out.push_back(0);
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(bits[i]));
    Put32(out, static_cast<std::uint32_t>(images[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const auto& img : images) out.insert(out.end(), img.begin(), img.end());
  return out;
}

std::vector<std::uint8_t> BmpFile(const Image& image, int size) {
  std::vector<std::uint8_t> info;
  PutInfoHeader(info, size, size, 24, 0);
  const auto rows = BitmapRows(image, size, 24, nullptr);
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<std::uint32_t>(14 + info.size() + rows.size()));
  Put32(out, 0);
  Put32(out, static_cast<std::uint32_t>(14 + info.size()));
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

bool Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_assets <output folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const Image icon = Draw(32, Rgba{0, 0, 0, 0});
  bool saved = Save(folder + "/Zembrolite.ico", IconFile(icon, 32));
  // The button's picture on its face colour, for 96, 120, 144 and 192 dots per inch.
  for (int size : {64, 80, 96, 128}) {
    const std::string name = size == 64 ? "/scan.bmp" : "/scan-" + std::to_string(size) + ".bmp";
    saved = saved && Save(folder + name, BmpFile(Draw(size, Rgba{224, 224, 224, 255}), size));
  }
  if (!saved) {
    std::fprintf(stderr, "make_assets: cannot write to %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
