#include "Common/gui/Canvas.h"

#include <algorithm>
#include <cmath>

namespace
{
// Coverage of a pixel whose centre lies `distance` px outside an edge (negative inside): a one-pixel ramp.
double coverage(double distance)
{
    return std::clamp(0.5 - distance, 0.0, 1.0);
}

double distanceToSegment(double px, double py, Point a, Point b)
{
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0.0 ? ((px - a.x) * dx + (py - a.y) * dy) / lengthSquared : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = px - (a.x + t * dx);
    const double ey = py - (a.y + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

Colour mix(Colour under, Colour over, int alpha)
{
    const auto channel = [&](int shift) {
        const int u = static_cast<int>((under >> shift) & 0xFF);
        const int o = static_cast<int>((over >> shift) & 0xFF);
        return static_cast<Colour>(u + (((o - u) * alpha) >> 8)) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}
} // namespace

Rect Rect::intersected(const Rect& other) const
{
    const int left = std::max(x, other.x);
    const int top = std::max(y, other.y);
    const int r = std::min(right(), other.right());
    const int b = std::min(bottom(), other.bottom());
    return r > left && b > top ? Rect{left, top, r - left, b - top} : Rect{};
}

Rect Rect::united(const Rect& other) const
{
    if (empty()) return other;
    if (other.empty()) return *this;
    const int left = std::min(x, other.x);
    const int top = std::min(y, other.y);
    return Rect{left, top, std::max(right(), other.right()) - left, std::max(bottom(), other.bottom()) - top};
}

bool Rect::operator==(const Rect& other) const
{
    return x == other.x && y == other.y && width == other.width && height == other.height;
}

Canvas::Canvas(int width, int height)
{
    resize(width, height);
}

void Canvas::resize(int width, int height)
{
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(static_cast<std::size_t>(width_) * height_, 0);
    clip_ = Rect{0, 0, width_, height_};
}

void Canvas::setClip(const Rect& clip)
{
    clip_ = clip.intersected(Rect{0, 0, width_, height_});
}

void Canvas::fill(const Rect& rect, Colour colour)
{
    const Rect r = rect.intersected(clip_);
    for (int y = r.y; y < r.bottom(); ++y)
        std::fill_n(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + r.x, r.width, colour);
}

void Canvas::blend(const Rect& rect, Colour colour, double opacity)
{
    const int alpha = static_cast<int>(std::lround(std::clamp(opacity, 0.0, 1.0) * 256.0));
    const Rect r = rect.intersected(clip_);
    for (int y = r.y; y < r.bottom(); ++y)
        for (int x = r.x; x < r.right(); ++x)
            blendPixel(x, y, colour, alpha);
}

void Canvas::blendPixel(int x, int y, Colour colour, int alpha)
{
    if (alpha <= 0 || !clip_.contains(x, y)) return;
    std::uint32_t& p = pixels_[static_cast<std::size_t>(y) * width_ + x];
    p = alpha >= 256 ? colour : mix(p, colour, alpha);
}

void Canvas::disc(double centreX, double centreY, double radius, Colour colour)
{
    const int left = static_cast<int>(std::floor(centreX - radius - 1.0));
    const int top = static_cast<int>(std::floor(centreY - radius - 1.0));
    const int right = static_cast<int>(std::ceil(centreX + radius + 1.0));
    const int bottom = static_cast<int>(std::ceil(centreY + radius + 1.0));
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const double dx = x + 0.5 - centreX;
            const double dy = y + 0.5 - centreY;
            const double d = std::sqrt(dx * dx + dy * dy) - radius;
            blendPixel(x, y, colour, static_cast<int>(std::lround(coverage(d) * 256.0)));
        }
}

void Canvas::startMask(double left, double top, double right, double bottom)
{
    const Rect bounds{static_cast<int>(std::floor(left)), static_cast<int>(std::floor(top)),
                      static_cast<int>(std::ceil(right) - std::floor(left)) + 1,
                      static_cast<int>(std::ceil(bottom) - std::floor(top)) + 1};
    maskRect_ = bounds.intersected(clip_);
    mask_.assign(static_cast<std::size_t>(std::max(maskRect_.width, 0)) * std::max(maskRect_.height, 0), 0);
}

void Canvas::addSegmentToMask(Point from, Point to, double halfThickness)
{
    const double reach = halfThickness + 1.0;
    const Rect box = Rect{static_cast<int>(std::floor(std::min(from.x, to.x) - reach)),
                          static_cast<int>(std::floor(std::min(from.y, to.y) - reach)),
                          static_cast<int>(std::ceil(std::fabs(to.x - from.x) + 2.0 * reach)) + 1,
                          static_cast<int>(std::ceil(std::fabs(to.y - from.y) + 2.0 * reach)) + 1}
                         .intersected(maskRect_);
    for (int y = box.y; y < box.bottom(); ++y)
        for (int x = box.x; x < box.right(); ++x) {
            const double d = distanceToSegment(x + 0.5, y + 0.5, from, to) - halfThickness;
            const auto c = static_cast<unsigned char>(std::lround(coverage(d) * 255.0));
            unsigned char& m =
                mask_[static_cast<std::size_t>(y - maskRect_.y) * maskRect_.width + (x - maskRect_.x)];
            m = std::max(m, c);
        }
}

void Canvas::blendMask(Colour colour)
{
    for (int y = 0; y < maskRect_.height; ++y)
        for (int x = 0; x < maskRect_.width; ++x) {
            const int m = mask_[static_cast<std::size_t>(y) * maskRect_.width + x];
            if (m != 0) blendPixel(maskRect_.x + x, maskRect_.y + y, colour, m == 255 ? 256 : m);
        }
}

void Canvas::polyline(const Point* points, int count, double thickness, Colour colour)
{
    if (points == nullptr || count < 2) return;
    double left = points[0].x, right = points[0].x, top = points[0].y, bottom = points[0].y;
    for (int i = 1; i < count; ++i) {
        left = std::min(left, points[i].x);
        right = std::max(right, points[i].x);
        top = std::min(top, points[i].y);
        bottom = std::max(bottom, points[i].y);
    }
    const double reach = thickness / 2.0 + 1.0;
    startMask(left - reach, top - reach, right + reach, bottom + reach);
    if (maskRect_.empty()) return;
    for (int i = 1; i < count; ++i)
        addSegmentToMask(points[i - 1], points[i], thickness / 2.0);
    blendMask(colour);
}

void Canvas::line(Point from, Point to, double thickness, Colour colour)
{
    const Point points[] = {from, to};
    polyline(points, 2, thickness, colour);
}

void Canvas::arc(double centreX, double centreY, double radius, double startAngle, double endAngle,
                 double thickness, Colour colour)
{
    // Segments no longer than 2 px keep the chords within 0.02 px of the circle at the knobs' radii.
    const double span = endAngle - startAngle;
    const int segments = std::max(1, static_cast<int>(std::ceil(std::fabs(span) * radius / 2.0)));
    std::vector<Point> points(static_cast<std::size_t>(segments) + 1);
    for (int i = 0; i <= segments; ++i) {
        const double angle = startAngle + span * i / segments;
        points[static_cast<std::size_t>(i)] = {centreX + radius * std::sin(angle),
                                               centreY - radius * std::cos(angle)};
    }
    polyline(points.data(), segments + 1, thickness, colour);
}

void Canvas::text(double x, int baseline, std::string_view text, const Typeface& font, Colour colour,
                  Align align)
{
    int pen16 = static_cast<int>(std::lround(x * 16.0));
    if (align != Align::left) {
        const int advance = font.advance16(text);
        pen16 -= align == Align::centre ? advance / 2 : advance;
    }
    for (char c : text) {
        const BakedGlyph& g = font.glyph(c);
        const unsigned char* rows = font.coverage(g);
        const int left = (pen16 + 8) / 16 + g.left;
        const int top = baseline - g.top;
        for (int y = 0; y < g.height; ++y)
            for (int gx = 0; gx < g.width; ++gx) {
                const int a = rows[y * g.width + gx];
                if (a != 0) blendPixel(left + gx, top + y, colour, a == 255 ? 256 : a);
            }
        pen16 += g.advance16;
    }
}
