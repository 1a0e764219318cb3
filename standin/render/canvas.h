#pragma once
// Clipped drawing on an RGB image in screen coordinates (origin bottom left, y up). Geometry is
// 64-bit so that any int coordinate from a recorded frame, plus offsets, cannot overflow.
#include <stddef.h>
#include <stdint.h>

#include "common/sim_frame.h"

namespace sim_render {

struct Rgb {
    uint8_t r, g, b;
};

// Half-open: columns left..right-1, rows bottom..top-1. Empty when right <= left or top <= bottom.
struct Rect {
    int64_t left, bottom, right, top;
    bool Empty() const { return right <= left || top <= bottom; }
    int64_t Width() const { return right - left; }
    int64_t Height() const { return top - bottom; }
};

Rect Intersect(const Rect& a, const Rect& b);

class Canvas {
public:
    // pixels: width*height*3 bytes, rows top to bottom.
    Canvas(uint8_t* pixels, int width, int height);

    // Further drawing stays inside clip (and always inside the image).
    void SetClip(const Rect& clip);
    void ResetClip();

    void Fill(const Rect& r, Rgb c);
    void Darken(const Rect& r);  // halves every channel: the translucent dark box
    void Outline(const Rect& r, Rgb c);
    void Line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, Rgb c);
    // text: at most maxLen bytes, stops at NUL. x = left of the first cell. Each character
    // advances by `advance` pixels, a blank or a tab by `blankAdvance` (by default the monospaced
    // cell, kFontCellWidth, that XPLMDrawString text uses).
    void Text(int64_t x, int64_t baseline, const char* text, size_t maxLen, Rgb c, int advance = SIM_FONT_CHAR_WIDTH,
              int blankAdvance = SIM_FONT_CHAR_WIDTH);

private:
    void Plot(int64_t x, int64_t y, Rgb c);

    uint8_t* pixels_;
    int width_, height_;
    Rect bounds_, clip_;
};

// Bytes of text before the first NUL, never more than maxLen.
size_t BoundedLength(const char* text, size_t maxLen);

}  // namespace sim_render
