#include "png_reader.h"

#include <algorithm>

uint32_t TestCrc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

uint32_t TestAdler32(const uint8_t* p, size_t n) {
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < n; ++i) a = (a + p[i]) % 65521, b = (b + a) % 65521;
    return (b << 16) | a;
}

namespace {

struct Bits {
    const std::vector<uint8_t>& in;
    size_t pos, end;
    int bit = 0;
    bool overrun = false;
    uint32_t Get(int n, bool msbFirst = false) {  // Huffman codes arrive most significant bit first
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            if (pos >= end) return overrun = true, 0;
            uint32_t b = (in[pos] >> bit) & 1;
            v = msbFirst ? (v << 1) | b : v | (b << i);
            if (++bit == 8) bit = 0, ++pos;
        }
        return v;
    }
};

int FixedLitLen(Bits& b) {
    uint32_t c = b.Get(7, true);
    if (c <= 0x17) return 256 + c;
    c = (c << 1) | b.Get(1);
    if (c >= 0x30 && c <= 0xBF) return c - 0x30;
    if (c >= 0xC0 && c <= 0xC7) return 280 + (c - 0xC0);
    return 144 + (((c << 1) | b.Get(1)) - 0x190);
}

const int kLBase[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int kLExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int kDBase[] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int kDExtra[] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

std::string InflateFixed(Bits& b, std::vector<uint8_t>& out) {
    for (;;) {
        int sym = FixedLitLen(b);
        if (b.overrun) return "truncated";
        if (sym < 256) out.push_back(static_cast<uint8_t>(sym));
        else if (sym == 256) return "";
        else if (sym > 285) return "bad length symbol";
        else {
            size_t len = kLBase[sym - 257] + b.Get(kLExtra[sym - 257]);
            uint32_t ds = b.Get(5, true);
            if (ds > 29) return "bad distance symbol";
            size_t d = kDBase[ds] + b.Get(kDExtra[ds]);
            if (b.overrun) return "truncated";
            if (d > out.size() || d > 32768) return "distance too far";
            for (size_t i = 0; i < len; ++i) out.push_back(out[out.size() - d]);
        }
    }
}

uint32_t Be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

}  // namespace

Inflated TestZlibDecode(const std::vector<uint8_t>& z) {
    Inflated r;
    if (z.size() < 6 || (z[0] & 0x0F) != 8 || (z[0] >> 4) > 7 || ((z[0] << 8) | z[1]) % 31 || (z[1] & 0x20))
        return r.error = "bad zlib header", r;
    Bits b{z, 2, z.size() - 4};
    for (bool last = false; !last && r.error.empty();) {
        last = b.Get(1) != 0;
        r.blockTypes.push_back(static_cast<int>(b.Get(2)));
        if (r.blockTypes.back() == 1) {
            r.error = InflateFixed(b, r.data);
        } else if (r.blockTypes.back() == 0) {
            if (b.bit) b.bit = 0, ++b.pos;  // stored data starts on a byte boundary
            if (b.pos + 4 > b.end) return r.error = "truncated", r;
            size_t len = z[b.pos] | (z[b.pos + 1] << 8), nlen = z[b.pos + 2] | (z[b.pos + 3] << 8);
            if ((len ^ 0xFFFF) != nlen || b.pos + 4 + len > b.end) return r.error = "bad stored block", r;
            r.data.insert(r.data.end(), z.begin() + b.pos + 4, z.begin() + b.pos + 4 + len);
            b.pos += 4 + len;
        } else {
            r.error = "unexpected block type";
        }
        if (b.overrun) r.error = "truncated";
    }
    if (r.error.empty() && (b.bit ? b.pos + 1 : b.pos) != b.end) r.error = "data after final block";
    if (r.error.empty() && Be32(&z[z.size() - 4]) != TestAdler32(r.data.data(), r.data.size())) r.error = "adler mismatch";
    return r;
}

DecodedPng TestPngDecode(const std::vector<uint8_t>& png) {
    DecodedPng d;
    static const uint8_t kSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || !std::equal(kSig, kSig + 8, png.begin())) return d.error = "bad signature", d;
    std::vector<uint8_t> z;
    std::string order;  // first letters of the chunk types, in file order
    size_t pos = 8;
    while (pos < png.size() && (order.empty() || order.back() != 'E')) {
        if (png.size() - pos < 12 || Be32(&png[pos]) > png.size() - pos - 12) return d.error = "chunk overruns file", d;
        size_t len = Be32(&png[pos]);
        std::string type(png.begin() + pos + 4, png.begin() + pos + 8);
        const uint8_t* body = &png[pos + 8];
        if (TestCrc32(&png[pos + 4], len + 4) != Be32(body + len)) return d.error = "bad CRC in " + type, d;
        if (type == "IHDR") {
            if (len != 13 || body[8] != 8 || body[9] != 2 || body[10] || body[11] || body[12]) return d.error = "bad IHDR", d;
            d.width = static_cast<int>(Be32(body)), d.height = static_cast<int>(Be32(body + 4));
        } else if (type == "IDAT") {
            z.insert(z.end(), body, body + len), ++d.idatChunks;
        } else if (type != "IEND" || len != 0) {
            return d.error = "unexpected chunk " + type, d;
        }
        order += type[1];
        pos += 12 + len;
    }
    if (pos != png.size() || order != "H" + std::string(d.idatChunks, 'D') + "E") return d.error = "bad chunk order", d;
    Inflated inf = TestZlibDecode(z);
    if (!inf.error.empty()) return d.error = inf.error, d;
    size_t stride = static_cast<size_t>(d.width) * 3;
    if (inf.data.size() != (stride + 1) * d.height) return d.error = "wrong image data size", d;
    for (int y = 0; y < d.height; ++y) {  // the writer uses filter 0 (none) throughout
        auto row = inf.data.begin() + y * (stride + 1);
        if (*row != 0) return d.error = "unexpected filter", d;
        d.rgb.insert(d.rgb.end(), row + 1, row + 1 + stride);
    }
    return d;
}
