#pragma once
// Test-side PNG reader, independent of the writer: bitwise CRC, naive Adler, inflate of stored
// and fixed-Huffman blocks decoded straight from RFC 1951's code ranges. Fails on anything else.
#include <stdint.h>

#include <string>
#include <vector>

uint32_t TestCrc32(const uint8_t* p, size_t n);
uint32_t TestAdler32(const uint8_t* p, size_t n);

struct Inflated {
    std::vector<uint8_t> data;
    std::vector<int> blockTypes;
    std::string error;  // empty when the stream was valid
};
Inflated TestZlibDecode(const std::vector<uint8_t>& z);

struct DecodedPng {
    int width = 0, height = 0, idatChunks = 0;
    std::vector<uint8_t> rgb;
    std::string error;
};
DecodedPng TestPngDecode(const std::vector<uint8_t>& png);
