#include "render/zlib_stream.h"

#include <array>

namespace sim_render {
namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

constexpr size_t kWindowSize = 32768;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 258;
constexpr int kMaxChain = 16;  // candidates tried per position; frames are mostly flat colour
constexpr int kHashBits = 15;
constexpr size_t kStoredBlockMax = 65535;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                    33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Deflate packs bits least significant first; Huffman codes go most significant bit first.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void Bits(uint32_t value, int count) {
        acc_ |= static_cast<uint64_t>(value) << used_;
        used_ += count;
        while (used_ >= 8) {
            out_.push_back(static_cast<uint8_t>(acc_));
            acc_ >>= 8;
            used_ -= 8;
        }
    }
    void Code(uint32_t code, int length) {
        uint32_t reversed = 0;
        for (int i = 0; i < length; ++i) reversed |= ((code >> i) & 1u) << (length - 1 - i);
        Bits(reversed, length);
    }
    void Flush() {
        if (used_ > 0) out_.push_back(static_cast<uint8_t>(acc_));
        acc_ = 0;
        used_ = 0;
    }

private:
    std::vector<uint8_t>& out_;
    uint64_t acc_ = 0;
    int used_ = 0;
};

void PutLitLen(BitWriter& w, unsigned sym) {
    if (sym < 144) w.Code(0x30 + sym, 8);
    else if (sym < 256) w.Code(0x190 + (sym - 144), 9);
    else if (sym < 280) w.Code(sym - 256, 7);
    else w.Code(0xC0 + (sym - 280), 8);
}

void PutMatch(BitWriter& w, size_t length, size_t distance) {
    // 258 has its own code; 284 with all extra bits set would be invalid.
    int li = 28;
    if (length < kMaxMatch) {
        li = 27;
        while (kLengthBase[li] > length) --li;
    }
    PutLitLen(w, 257 + li);
    w.Bits(static_cast<uint32_t>(length - kLengthBase[li]), kLengthExtra[li]);
    int di = 29;
    while (kDistBase[di] > distance) --di;
    w.Code(static_cast<uint32_t>(di), 5);
    w.Bits(static_cast<uint32_t>(distance - kDistBase[di]), kDistExtra[di]);
}

uint32_t Hash3(const uint8_t* p) {
    uint32_t v = (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
    return (v * 2654435761u) >> (32 - kHashBits);
}

// One final fixed-Huffman block over the whole input, greedy matching over hash chains.
void DeflateFixed(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    BitWriter w(out);
    w.Bits(1, 1);  // BFINAL
    w.Bits(1, 2);  // BTYPE 01: fixed Huffman codes
    constexpr size_t kNone = SIZE_MAX;
    std::vector<size_t> head(size_t{1} << kHashBits, kNone);
    std::vector<size_t> prev(kWindowSize, kNone);
    auto insert = [&](size_t pos) {
        uint32_t h = Hash3(data + pos);
        prev[pos % kWindowSize] = head[h];
        head[h] = pos;
    };
    size_t pos = 0;
    while (pos < size) {
        size_t bestLen = 0, bestDist = 0;
        if (size - pos >= kMinMatch) {
            size_t limit = size - pos < kMaxMatch ? size - pos : kMaxMatch;
            size_t cand = head[Hash3(data + pos)];
            for (int chain = 0; chain < kMaxChain && cand != kNone; ++chain) {
                size_t dist = pos - cand;
                if (dist > kWindowSize) break;
                size_t len = 0;
                while (len < limit && data[cand + len] == data[pos + len]) ++len;
                if (len > bestLen) {
                    bestLen = len;
                    bestDist = dist;
                    if (len == limit) break;
                }
                size_t next = prev[cand % kWindowSize];
                // A slot overwritten by a newer position breaks the chain's ordering.
                if (next == kNone || next >= cand) break;
                cand = next;
            }
        }
        if (bestLen >= kMinMatch) {
            PutMatch(w, bestLen, bestDist);
            size_t end = pos + bestLen;
            for (; pos < end; ++pos)
                if (size - pos >= kMinMatch) insert(pos);
        } else {
            PutLitLen(w, data[pos]);
            if (size - pos >= kMinMatch) insert(pos);
            ++pos;
        }
    }
    PutLitLen(w, 256);  // end of block
    w.Flush();
}

void DeflateStored(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    size_t pos = 0;
    do {
        size_t n = size - pos < kStoredBlockMax ? size - pos : kStoredBlockMax;
        bool last = pos + n == size;
        out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00, then padding to the byte boundary
        out.push_back(static_cast<uint8_t>(n));
        out.push_back(static_cast<uint8_t>(n >> 8));
        out.push_back(static_cast<uint8_t>(~n));
        out.push_back(static_cast<uint8_t>(~n >> 8));
        out.insert(out.end(), data + pos, data + pos + n);
        pos += n;
    } while (pos < size);
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler) {
    constexpr uint32_t kMod = 65521;
    constexpr size_t kBlock = 5552;  // largest run whose sums cannot overflow 32 bits
    uint32_t a = adler & 0xFFFF, b = adler >> 16;
    while (size > 0) {
        size_t n = size < kBlock ? size : kBlock;
        size -= n;
        for (size_t i = 0; i < n; ++i) {
            a += *data++;
            b += a;
        }
        a %= kMod;
        b %= kMod;
    }
    return (b << 16) | a;
}

std::vector<uint8_t> ZlibCompress(const uint8_t* data, size_t size) {
    if (data == nullptr) size = 0;
    std::vector<uint8_t> out = {0x78, 0x01};  // deflate, 32K window, no dictionary
    DeflateFixed(data, size, out);
    size_t storedSize = size + 5 * (size / kStoredBlockMax + 1);
    if (out.size() - 2 > storedSize) {
        out.resize(2);
        DeflateStored(data, size, out);
    }
    uint32_t adler = Adler32(data, size);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(adler >> shift));
    return out;
}

}  // namespace sim_render
