#pragma once
// The static transfer curve: the steady output level of a 1 kHz sine in both channels against its input
// level, for the current Drive, side-chain filters, Threshold, Ratio, Out Gain and Mix, computed with the
// engine's own gain law; and the live operating point, where the detector's present level puts the
// signal on that curve.

#include "Common/gui/Widget.h"

#include <optional>
#include <vector>

class Compressor;
class ZaRorurarozePlugin;

class TransferView : public Widget
{
public:
    static constexpr double floorDb = -60.0;
    static constexpr double topDb = 12.0;
    static constexpr double sineHz = 1000.0;

    // The detector's mean power (tick's total) for a sine of amplitude 1 at `hz` in both channels: Drive
    // squared, the side-chain filters' power gain and the bands' summed power gains, from the engine's
    // coefficients. A sine of amplitude A gives A squared times this.
    static double detectorPowerOfSine(const Compressor& engine, double hz);

    // The curve for the editor's copy of the plug-in.
    void setCurve(const ZaRorurarozePlugin& model);
    // GUI thread, every idle: the detector's total power now, or nothing when unknown.
    void setDetectorPower(std::optional<double> power);

    // Input and output levels (dB) of the curve's points and of the operating point (none below the scale).
    const std::vector<Point>& curve() const { return curveDb_; }
    std::optional<Point> operatingPoint() const { return point_; }

    Rect plot(const Style& style) const;
    Point toPixels(Point levelsDb, const Rect& plot) const;

    void paint(Canvas& canvas, const Style& style) override;

private:
    std::optional<Point> pointOf(double power) const;

    const ZaRorurarozePlugin* model_ = nullptr;
    double sinePower_ = 0.0;
    std::vector<Point> curveDb_;
    std::optional<Point> point_;
    std::optional<Point> paintedPoint_;
    Rect paintedPlot_;
};
