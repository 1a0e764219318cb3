#include "render/canvas.h"

#include <algorithm>

#include "render/font.h"
#include "render/frame_render.h"

namespace sim_render {

static_assert(kFontCellWidth == SIM_FONT_CHAR_WIDTH, "Canvas::Text's default advance is the font cell");

Rect Intersect(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.bottom, b.bottom), std::min(a.right, b.right),
            std::min(a.top, b.top)};
}

size_t BoundedLength(const char* text, size_t maxLen) {
    if (text == nullptr) return 0;
    size_t n = 0;
    while (n < maxLen && text[n] != '\0') ++n;
    return n;
}

Canvas::Canvas(uint8_t* pixels, int width, int height)
    : pixels_(pixels), width_(width), height_(height), bounds_{0, 0, width, height}, clip_(bounds_) {}

void Canvas::SetClip(const Rect& clip) { clip_ = Intersect(clip, bounds_); }
void Canvas::ResetClip() { clip_ = bounds_; }

void Canvas::Fill(const Rect& r, Rgb c) {
    Rect a = Intersect(r, clip_);
    if (a.Empty()) return;
    for (int64_t y = a.bottom; y < a.top; ++y) {
        uint8_t* p = pixels_ + (static_cast<size_t>(height_ - 1 - y) * width_ + a.left) * 3;
        for (int64_t x = a.left; x < a.right; ++x, p += 3) {
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
}

void Canvas::Darken(const Rect& r) {
    Rect a = Intersect(r, clip_);
    if (a.Empty()) return;
    for (int64_t y = a.bottom; y < a.top; ++y) {
        uint8_t* p = pixels_ + (static_cast<size_t>(height_ - 1 - y) * width_ + a.left) * 3;
        for (int64_t n = a.Width() * 3; n > 0; --n, ++p) *p = static_cast<uint8_t>(*p >> 1);
    }
}

void Canvas::Outline(const Rect& r, Rgb c) {
    if (r.Empty()) return;
    Fill({r.left, r.top - 1, r.right, r.top}, c);
    Fill({r.left, r.bottom, r.right, r.bottom + 1}, c);
    Fill({r.left, r.bottom, r.left + 1, r.top}, c);
    Fill({r.right - 1, r.bottom, r.right, r.top}, c);
}

void Canvas::Plot(int64_t x, int64_t y, Rgb c) {
    if (x < clip_.left || x >= clip_.right || y < clip_.bottom || y >= clip_.top) return;
    uint8_t* p = pixels_ + (static_cast<size_t>(height_ - 1 - y) * width_ + x) * 3;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

void Canvas::Line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, Rgb c) {
    // Only short widget decorations use lines; refuse anything that could loop for long.
    int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1, dy = y1 > y0 ? y1 - y0 : y0 - y1;
    if (dx > 4096 || dy > 4096) return;
    int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1, err = dx - dy;
    for (;;) {
        Plot(x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        int64_t e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x0 += sx;
        }
        if (e2 < dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Canvas::Text(int64_t x, int64_t baseline, const char* text, size_t maxLen, Rgb c, int advance,
                  int blankAdvance) {
    if (clip_.Empty()) return;
    size_t n = BoundedLength(text, maxLen);
    // Glyph rows span baseline-2 .. baseline+6; skip text wholly above or below the clip.
    if (baseline + kGlyphBaselineRow < clip_.bottom || baseline - (kGlyphRows - 1 - kGlyphBaselineRow) >= clip_.top)
        return;
    int64_t nextX = x;
    for (size_t i = 0; i < n; ++i) {
        int64_t cellX = nextX;
        // A tab is a blank: the basic font gives every byte one cell (the simulator measures a
        // string as its length times the cell width), and the plug-in's panels are laid out so.
        const bool blank = text[i] == ' ' || text[i] == '\t';
        nextX += blank ? blankAdvance : advance;
        if (text[i] == '\t') continue;
        if (cellX >= clip_.right) break;
        if (cellX + kGlyphCellOffsetX + kGlyphColumns <= clip_.left) continue;
        const uint8_t* glyph = FontGlyph(static_cast<unsigned char>(text[i]));
        for (int row = 0; row < kGlyphRows; ++row) {
            uint8_t bits = glyph[row];
            for (int col = 0; bits != 0 && col < kGlyphColumns; ++col)
                if (bits & (0x10 >> col)) Plot(cellX + kGlyphCellOffsetX + col, baseline + kGlyphBaselineRow - row, c);
        }
    }
}

}  // namespace sim_render
