// What the digesters of every platform share: the hexadecimal text of a
// digest, and xxh128 from libxxhash (linked on Linux, compiled in from its
// header on Windows).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/platform.h"

// The bytes as lower-case hexadecimal, in their order.
std::string HexOf(const unsigned char* bytes, size_t size);

// XXH3's 128-bit digest, written as xxhsum -H2 writes it (its canonical,
// big-endian form); null when its state cannot be had.
std::unique_ptr<Digester> MakeXxh128Digester();
