#pragma once
// Colours and text sizes of the editor at one scale.

#include "Common/gui/Canvas.h"

#include <cmath>

struct Style
{
    explicit Style(int scalePercent)
        : scale(scalePercent / 100.0), text(Typeface::ofPixelSize(static_cast<int>(std::lround(11 * scale)))),
          title(Typeface::ofPixelSize(static_cast<int>(std::lround(15 * scale))))
    {}

    // Base-layout pixels at this scale.
    int px(double basePixels) const { return static_cast<int>(std::lround(basePixels * scale)); }
    Rect rect(double x, double y, double width, double height) const
    {
        return Rect{px(x), px(y), px(x + width) - px(x), px(y + height) - px(y)};
    }

    double scale;
    const Typeface& text;
    const Typeface& title;

    static constexpr Colour background = 0x1C2024;
    static constexpr Colour panel = 0x262B31;
    static constexpr Colour grid = 0x38404A;
    static constexpr Colour textColour = 0xD6DCE2;
    static constexpr Colour dimText = 0x858F99;
    static constexpr Colour accent = 0xF09A2C;
    static constexpr Colour knobBody = 0x3A424C;
    static constexpr Colour knobTrack = 0x4A535E;
    static constexpr Colour pointer = 0xF4F4F4;
    static constexpr Colour level = 0x4DC07A;
    static constexpr Colour levelHot = 0xE8C84A;
    static constexpr Colour reduction = 0xE0564A;
    static constexpr Colour band = 0x4C9EDE;
    static constexpr Colour filter = 0xE2C25C;
};
