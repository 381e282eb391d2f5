#pragma once
// The editor's text: DejaVu Sans baked into the library at the sizes the editor draws (tools/bake-font),
// so drawing text needs no font file and no font library in the host's process.

#include <string_view>

struct BakedGlyph
{
    unsigned int offset; // into the size's coverage bytes
    unsigned char width, height;
    signed char left, top;    // from the pen position on the baseline to the bitmap's top-left corner
    unsigned short advance16; // in 1/16 px
};

struct BakedFont
{
    int pixelSize;
    int ascent, descent; // px above and below the baseline
    const BakedGlyph* glyphs;
    const unsigned char* coverage;
};

class Typeface
{
public:
    // The baked size closest to pixelSize (ascent plus descent).
    static const Typeface& ofPixelSize(int pixelSize);

    int pixelSize() const { return baked_.pixelSize; }
    int ascent() const { return baked_.ascent; }
    int descent() const { return baked_.descent; }
    // Characters outside printable ASCII are drawn as "?".
    const BakedGlyph& glyph(char c) const;
    const unsigned char* coverage(const BakedGlyph& glyph) const { return baked_.coverage + glyph.offset; }
    // Advance of a whole text, in 1/16 px and rounded up to whole pixels.
    int advance16(std::string_view text) const;
    int width(std::string_view text) const { return (advance16(text) + 15) / 16; }

    explicit constexpr Typeface(const BakedFont& baked) : baked_(baked) {}

private:
    const BakedFont& baked_;
};
