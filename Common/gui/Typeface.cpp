#include "Common/gui/Typeface.h"

#include <cstdlib>
#include <iterator>

namespace
{
#include "Common/gui/BakedFonts.inc"

const Typeface fonts[] = {Typeface(bakedFonts[0]), Typeface(bakedFonts[1]), Typeface(bakedFonts[2]),
                          Typeface(bakedFonts[3]), Typeface(bakedFonts[4])};
static_assert(std::size(fonts) == std::size(bakedFonts), "one Typeface per baked size");

constexpr char firstChar = 32;
constexpr char lastChar = 126;
} // namespace

const Typeface& Typeface::ofPixelSize(int pixelSize)
{
    const Typeface* best = &fonts[0];
    for (const Typeface& font : fonts)
        if (std::abs(font.pixelSize() - pixelSize) < std::abs(best->pixelSize() - pixelSize)) best = &font;
    return *best;
}

const BakedGlyph& Typeface::glyph(char c) const
{
    if (c < firstChar || c > lastChar) c = '?';
    return baked_.glyphs[c - firstChar];
}

int Typeface::advance16(std::string_view text) const
{
    int total = 0;
    for (char c : text)
        total += glyph(c).advance16;
    return total;
}
