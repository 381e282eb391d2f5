#pragma once
// A software canvas for the editor: 32-bit pixels 0x00RRGGBB, rows top to bottom, which is the memory
// layout both XPutImage (ZPixmap, depth 24) and SetDIBitsToDevice (32-bit top-down DIB) take on
// little-endian machines, so a window blits it as it is. Shapes and text are anti-aliased from the
// distance of each pixel's centre to the shape's edge; everything is clipped to the clip rectangle.

#include "Common/gui/Typeface.h"

#include <cstdint>
#include <string_view>
#include <vector>

using Colour = std::uint32_t; // 0xRRGGBB

struct Rect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool empty() const { return width <= 0 || height <= 0; }
    bool contains(int px, int py) const { return px >= x && px < right() && py >= y && py < bottom(); }
    Rect intersected(const Rect& other) const;
    // The smallest rectangle holding both; an empty one counts as nothing.
    Rect united(const Rect& other) const;
    bool operator==(const Rect& other) const;
    bool operator!=(const Rect& other) const { return !(*this == other); }
};

struct Point
{
    double x;
    double y;
};

class Canvas
{
public:
    enum class Align
    {
        left,
        centre,
        right
    };

    Canvas() = default;
    Canvas(int width, int height);
    // Black, the clip reset to the whole canvas.
    void resize(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    const std::uint32_t* pixels() const { return pixels_.data(); }
    Colour pixel(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

    void setClip(const Rect& clip);
    const Rect& clip() const { return clip_; }

    void fill(const Rect& rect, Colour colour);
    // opacity 0..1 over what is there.
    void blend(const Rect& rect, Colour colour, double opacity);
    void disc(double centreX, double centreY, double radius, Colour colour);
    // An arc of the given stroke thickness on a circle; angles in radians clockwise from 12 o'clock.
    void arc(double centreX, double centreY, double radius, double startAngle, double endAngle,
             double thickness, Colour colour);
    void line(Point from, Point to, double thickness, Colour colour);
    // Joined segments, each pixel blended once however many segments cover it.
    void polyline(const Point* points, int count, double thickness, Colour colour);
    // x is the left end, the centre or the right end of the text as align says; y the baseline.
    void text(double x, int baseline, std::string_view text, const Typeface& font, Colour colour,
              Align align = Align::left);

private:
    // alpha 0..256.
    void blendPixel(int x, int y, Colour colour, int alpha);
    // Blends mask_ (coverage 0..255 over maskRect_) once.
    void blendMask(Colour colour);
    void addSegmentToMask(Point from, Point to, double halfThickness);
    void startMask(double left, double top, double right, double bottom);

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
    Rect clip_;
    std::vector<unsigned char> mask_;
    Rect maskRect_;
};
