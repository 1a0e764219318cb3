#include <stdio.h>

#include "render/frame_render.h"
#include "render/zlib_stream.h"

namespace {

constexpr size_t kIdatChunkMax = 65536;

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
    PutU32(out, static_cast<uint32_t>(size));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (size > 0) out.insert(out.end(), data, data + size);
    PutU32(out, sim_render::Crc32(out.data() + start, size + 4));
}

bool ValidSize(int width, int height) {
    return width >= 1 && height >= 1 && width <= kMaxFrameSide && height <= kMaxFrameSide;
}

}  // namespace

std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb) {
    if (!ValidSize(width, height)) return {};
    const size_t stride = static_cast<size_t>(width) * 3;
    if (rgb.size() != stride * static_cast<size_t>(height)) return {};

    // Filter type 0 on every row: the matcher already finds the flat runs a frame is made of.
    std::vector<uint8_t> raw;
    raw.reserve((stride + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb.begin() + y * stride, rgb.begin() + (y + 1) * stride);
    }
    std::vector<uint8_t> z = sim_render::ZlibCompress(raw.data(), raw.size());

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    PutU32(ihdr, static_cast<uint32_t>(width));
    PutU32(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit, truecolour, deflate, filter 0, no interlace
    PutChunk(png, "IHDR", ihdr.data(), ihdr.size());
    for (size_t pos = 0; pos < z.size(); pos += kIdatChunkMax) {
        size_t n = z.size() - pos < kIdatChunkMax ? z.size() - pos : kIdatChunkMax;
        PutChunk(png, "IDAT", z.data() + pos, n);
    }
    PutChunk(png, "IEND", nullptr, 0);
    return png;
}

bool SaveFramePng(const char* path, int width, int height, const SimDrawItem* items, int count) {
    if (path == nullptr || *path == '\0') return false;
    std::vector<uint8_t> png = EncodePng(width, height, RenderFrame(width, height, items, count));
    if (png.empty()) return false;
    FILE* f = fopen(path, "wb");
    if (f == nullptr) return false;
    bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
    if (fclose(f) != 0) ok = false;
    if (!ok) remove(path);
    return ok;
}
