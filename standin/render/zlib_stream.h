#pragma once
// The compression side of PNG, written here so the stand-in needs no zlib: CRC-32 for chunks,
// and a zlib stream (RFC 1950) of fixed-Huffman deflate blocks (RFC 1951) with LZ77 matches.
#include <stddef.h>
#include <stdint.h>
#include <vector>

namespace sim_render {

// Continue a running CRC by passing the previous result; start with 0.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler = 1);

// Fixed-Huffman blocks; falls back to stored blocks when those come out smaller (noise).
std::vector<uint8_t> ZlibCompress(const uint8_t* data, size_t size);

}  // namespace sim_render
