#include "Common/gui/LevelMeter.h"

#include <algorithm>
#include <cmath>
#include <utility>

LevelMeter::LevelMeter(std::string label, double floorDb, double topDb, Direction direction, Colour colour)
    : label_(std::move(label)), floorDb_(floorDb), topDb_(topDb), direction_(direction), colour_(colour),
      barDb_(floorDb), holdDb_(floorDb)
{}

void LevelMeter::update(std::optional<double> readingDb, double nowSeconds)
{
    const double elapsed = lastUpdate_ < 0.0 ? 0.0 : std::max(nowSeconds - lastUpdate_, 0.0);
    lastUpdate_ = nowSeconds;
    double reading = floorDb_;
    if (readingDb && *readingDb == *readingDb) {
        reading = *readingDb;
        lastNews_ = nowSeconds;
    } else if (nowSeconds - lastNews_ <= staleSeconds) {
        // A gap between two readings (a host's long block): hold rather than flicker.
        reading = barDb_;
    }
    reading = std::clamp(reading, floorDb_, topDb_);
    barDb_ = std::max(reading, barDb_ - fallDbPerSecond * elapsed);
    if (barDb_ >= holdDb_) {
        holdDb_ = barDb_;
        holdSince_ = nowSeconds;
    } else if (nowSeconds - holdSince_ > holdSeconds) {
        holdDb_ = std::max(barDb_, holdDb_ - fallDbPerSecond * elapsed);
    }
    markIfMoved();
}

int LevelMeter::barPixels(double db, int trackPixels) const
{
    const double fraction = std::clamp((db - floorDb_) / (topDb_ - floorDb_), 0.0, 1.0);
    return static_cast<int>(std::lround(fraction * trackPixels));
}

void LevelMeter::markIfMoved()
{
    if (barPixels(barDb_, trackPixels_) != paintedBar_ || barPixels(holdDb_, trackPixels_) != paintedHold_)
        markDirty();
}

Rect LevelMeter::track(const Style& style) const
{
    // A narrow bar in the middle; the label below may be wider.
    const Rect& b = bounds();
    const int width = std::min(b.width, style.px(14));
    return Rect{b.x + (b.width - width) / 2, b.y, width, b.height - style.px(16)};
}

void LevelMeter::paint(Canvas& canvas, const Style& style)
{
    const Rect& b = bounds();
    canvas.fill(b, Style::background);
    const Rect t = track(style);
    trackPixels_ = t.height;
    canvas.fill(t, Style::panel);
    paintedBar_ = barPixels(barDb_, t.height);
    paintedHold_ = barPixels(holdDb_, t.height);
    const bool up = direction_ == Direction::up;
    const auto span = [&](int pixels) {
        return up ? Rect{t.x, t.bottom() - pixels, t.width, pixels} : Rect{t.x, t.y, t.width, pixels};
    };
    // A level's bar turns to the warning colour above 0 dB.
    const int zeroPixels = barPixels(0.0, t.height);
    const Rect bar = span(paintedBar_);
    if (up && topDb_ > 0.0 && paintedBar_ > zeroPixels) {
        canvas.fill(span(zeroPixels), colour_);
        canvas.fill(Rect{t.x, bar.y, t.width, paintedBar_ - zeroPixels}, Style::levelHot);
    } else {
        canvas.fill(bar, colour_);
    }
    if (paintedHold_ > 0) {
        const int markY = up ? t.bottom() - paintedHold_ : t.y + paintedHold_ - 1;
        canvas.fill(Rect{t.x, std::clamp(markY, t.y, t.bottom() - 1), t.width, std::max(1, style.px(1.5))},
                    Style::pointer);
    }
    canvas.text(b.x + b.width / 2.0, b.bottom() - style.px(3), label_, style.text, Style::dimText,
                Canvas::Align::centre);
}
