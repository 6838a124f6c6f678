// A minimal PNG encoder for screenshots: 8-bit RGB, Sub-filtered rows,
// compressed with runs only (fixed-Huffman deflate), which suits the large
// flat areas of a desktop.
#pragma once

#include <cstdint>
#include <string>

namespace driver {

// rgb holds height rows of width pixels, three bytes (R, G, B) each.
std::string EncodePng(const uint8_t* rgb, int width, int height);

}  // namespace driver
