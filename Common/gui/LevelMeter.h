#pragma once
// A vertical meter on a dB scale: a bar that rises with a reading and falls back at a steady rate, and a
// peak mark that holds the highest bar for a while before it falls too. A reduction meter hangs from the
// top. In silence both come to rest at the floor, and the meter stops asking to be repainted.

#include "Common/gui/Widget.h"

#include <optional>
#include <string>

class LevelMeter : public Widget
{
public:
    enum class Direction
    {
        up,  // a level: the bar rises from the bottom
        down // a reduction: the bar hangs from the top
    };

    static constexpr double fallDbPerSecond = 24.0;
    static constexpr double holdSeconds = 1.5;
    // With no reading for this long the host stopped processing: the bar falls.
    static constexpr double staleSeconds = 0.25;

    LevelMeter(std::string label, double floorDb, double topDb, Direction direction, Colour colour);

    // GUI thread, every idle: the largest reading since the last idle (none when no audio was processed).
    void update(std::optional<double> readingDb, double nowSeconds);
    double barDb() const { return barDb_; }
    double holdDb() const { return holdDb_; }

    // The bar's track: where its height is measured.
    Rect track(const Style& style) const;
    // Pixels of track the bar covers for a value.
    int barPixels(double db, int trackPixels) const;

    void paint(Canvas& canvas, const Style& style) override;

private:
    void markIfMoved();

    std::string label_;
    double floorDb_;
    double topDb_;
    Direction direction_;
    Colour colour_;
    double barDb_;
    double holdDb_;
    double holdSince_ = 0.0;
    double lastUpdate_ = -1.0;
    double lastNews_ = -1e9;
    int trackPixels_ = 0;
    int paintedBar_ = -1;
    int paintedHold_ = -1;
};
