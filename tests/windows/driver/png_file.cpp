#include "tests/windows/driver/png_file.h"

#include <array>
#include <vector>

namespace driver {
namespace {

class BitWriter {
 public:
  void Bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
  }
  // Huffman codes go most significant bit first.
  void Code(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
  }
  std::string Finish() {
    if (used_ > 0) bytes_ += static_cast<char>(current_);
    return bytes_;
  }

 private:
  void Bit(uint32_t bit) {
    current_ |= bit << used_;
    if (++used_ == 8) {
      bytes_ += static_cast<char>(current_);
      current_ = 0;
      used_ = 0;
    }
  }
  std::string bytes_;
  uint32_t current_ = 0;
  int used_ = 0;
};

void Literal(BitWriter& out, int symbol) {
  if (symbol < 144)
    out.Code(0x30 + symbol, 8);
  else if (symbol < 256)
    out.Code(0x190 + symbol - 144, 9);
  else if (symbol < 280)
    out.Code(symbol - 256, 7);
  else
    out.Code(0xC0 + symbol - 280, 8);
}

// A copy of the previous byte, length 3 to 258.
void RepeatPrevious(BitWriter& out, int length) {
  static const std::array<int, 29> kBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static const std::array<int, 29> kExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  int index = 28;
  while (kBase[index] > length) --index;
  Literal(out, 257 + index);
  out.Bits(length - kBase[index], kExtra[index]);
  out.Code(0, 5);  // distance 1
}

std::string Deflate(const std::string& data) {
  BitWriter out;
  out.Bits(1, 1);  // final block
  out.Bits(1, 2);  // fixed Huffman codes
  size_t i = 0;
  while (i < data.size()) {
    char byte = data[i];
    Literal(out, static_cast<uint8_t>(byte));
    size_t run = 0;
    while (i + 1 + run < data.size() && data[i + 1 + run] == byte) ++run;
    i += 1 + run;
    while (run >= 3) {
      int length = run > 258 ? 258 : static_cast<int>(run);
      RepeatPrevious(out, length);
      run -= length;
    }
    for (; run > 0; --run) Literal(out, static_cast<uint8_t>(byte));
  }
  Literal(out, 256);
  return out.Finish();
}

uint32_t Adler32(const std::string& data) {
  uint32_t a = 1, b = 0;
  for (unsigned char byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

uint32_t Crc32(const std::string& data) {
  static const std::array<uint32_t, 256> kTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return table;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : data) crc = kTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void AppendBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void AppendChunk(std::string& png, const char* type, const std::string& data) {
  AppendBigEndian(png, static_cast<uint32_t>(data.size()));
  std::string typed = std::string(type, 4) + data;
  png += typed;
  AppendBigEndian(png, Crc32(typed));
}

}  // namespace

std::string EncodePng(const uint8_t* rgb, int width, int height) {
  const size_t stride = static_cast<size_t>(width) * 3;
  std::string filtered;
  filtered.reserve((stride + 1) * height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rgb + stride * y;
    filtered += '\1';  // Sub: each byte minus the same channel of the pixel to its left
    for (size_t x = 0; x < stride; ++x) {
      filtered += static_cast<char>(x < 3 ? row[x] : row[x] - row[x - 3]);
    }
  }

  std::string header;
  AppendBigEndian(header, width);
  AppendBigEndian(header, height);
  header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, adaptive filters, no interlace

  std::string compressed = "\x78\x01";
  compressed += Deflate(filtered);
  AppendBigEndian(compressed, Adler32(filtered));

  std::string png("\x89PNG\r\n\x1a\n", 8);
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", compressed);
  AppendChunk(png, "IEND", "");
  return png;
}

}  // namespace driver
