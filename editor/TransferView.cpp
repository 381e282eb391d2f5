#include "editor/TransferView.h"

#include "ZaRorurarozePlugin.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>

namespace
{
constexpr double pi = 3.14159265358979323846;
constexpr int curvePoints = 97; // every 0.75 dB of input

double db(double amplitude)
{
    return 20.0 * std::log10(amplitude);
}
} // namespace

double TransferView::detectorPowerOfSine(const Compressor& engine, double hz)
{
    const std::complex<double> z = std::polar(1.0, 2.0 * pi * hz / engine.sampleRate_);
    const std::complex<double> zInverse = 1.0 / z;
    const double filters = std::norm(engine.highpassCoeffs_.Hz(z) * engine.lowpassCoeffs_.Hz(z));
    // The bands are sums and differences of the crossover allpasses (c + z^-1) / (1 + c z^-1): b_0 = x + a_0,
    // b_k = a_k - a_(k-1), b_last = x - a_(last crossover).
    const BandSplitterCoeffs& splitter = engine.detector_.splitterCoeffs_;
    std::complex<double> below = 1.0; // the input itself stands below the first crossover
    double bands = 0.0;
    for (int i = 0; i < splitter.numBands_ - 1; ++i) {
        const double c = splitter.coeffs_[i];
        const std::complex<double> allpass = (c + zInverse) / (1.0 + c * zInverse);
        bands += std::norm(i == 0 ? 1.0 + allpass : allpass - below);
        below = allpass;
    }
    bands += std::norm(1.0 - below);
    // Each channel's band sample has mean square |b|^2 / 2; two channels.
    return engine.drive_ * engine.drive_ * filters * bands;
}

void TransferView::setCurve(const ZaRorurarozePlugin& model)
{
    const Compressor& engine = model.engine();
    const double sinePower = detectorPowerOfSine(engine, sineHz);
    std::vector<Point> curve;
    for (int i = 0; i < curvePoints; ++i) {
        const double inDb = floorDb + (topDb - floorDb) * i / (curvePoints - 1.0);
        const double amplitude = std::pow(10.0, inDb / 20.0);
        const double gain =
            engine.sidechainListen_ ? 1.0 : engine.staticGain(sinePower * amplitude * amplitude);
        curve.push_back(Point{inDb, gain > 0.0 ? db(amplitude * gain) : -1000.0});
    }
    model_ = &model;
    if (curve.size() == curveDb_.size() &&
        std::equal(curve.begin(), curve.end(), curveDb_.begin(),
                   [](const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }))
        return;
    curveDb_ = std::move(curve);
    sinePower_ = sinePower;
    markDirty();
}

std::optional<Point> TransferView::pointOf(double power) const
{
    if (model_ == nullptr || !(power > 0.0) || !(sinePower_ > 0.0)) return std::nullopt;
    const Compressor& engine = model_->engine();
    const double amplitude = std::sqrt(power / sinePower_);
    const double inDb = db(amplitude);
    if (inDb < floorDb) return std::nullopt;
    const double gain = engine.sidechainListen_ ? 1.0 : engine.staticGain(power);
    return Point{std::min(inDb, topDb), gain > 0.0 ? db(amplitude * gain) : -1000.0};
}

void TransferView::setDetectorPower(std::optional<double> power)
{
    point_ = power ? pointOf(*power) : std::nullopt;
    const auto pixels = [&](const std::optional<Point>& p) -> std::optional<Point> {
        if (!p) return std::nullopt;
        const Point at = toPixels(*p, paintedPlot_);
        return Point{std::round(at.x), std::round(at.y)};
    };
    const std::optional<Point> now = pixels(point_);
    if (now.has_value() != paintedPoint_.has_value() ||
        (now && (now->x != paintedPoint_->x || now->y != paintedPoint_->y)))
        markDirty();
}

Rect TransferView::plot(const Style& style) const
{
    const Rect& b = bounds();
    return Rect{b.x + style.px(26), b.y + style.px(20), b.width - style.px(32), b.height - style.px(36)};
}

Point TransferView::toPixels(Point levelsDb, const Rect& plot) const
{
    const auto fraction = [](double dbValue) {
        return std::clamp((dbValue - floorDb) / (topDb - floorDb), 0.0, 1.0);
    };
    return Point{plot.x + fraction(levelsDb.x) * plot.width,
                 plot.bottom() - fraction(levelsDb.y) * plot.height};
}

void TransferView::paint(Canvas& canvas, const Style& style)
{
    const Rect& b = bounds();
    canvas.fill(b, Style::background);
    const Rect p = plot(style);
    paintedPlot_ = p;
    canvas.fill(p, Style::panel);
    canvas.text(b.x + style.px(4), b.y + style.px(13), "Transfer (1 kHz sine)", style.text,
                Style::textColour);
    for (double level = floorDb + 12.0; level < topDb; level += 12.0) {
        const Point at = toPixels(Point{level, level}, p);
        canvas.fill(Rect{p.x, static_cast<int>(at.y), p.width, 1}, Style::grid);
        canvas.fill(Rect{static_cast<int>(at.x), p.y, 1, p.height}, Style::grid);
        canvas.text(p.x - style.px(3), static_cast<int>(at.y) + style.text.ascent() / 2,
                    std::to_string(static_cast<int>(level)), style.text, Style::dimText,
                    Canvas::Align::right);
        canvas.text(at.x, p.bottom() + style.px(12), std::to_string(static_cast<int>(level)), style.text,
                    Style::dimText, Canvas::Align::centre);
    }
    canvas.line(toPixels(Point{floorDb, floorDb}, p), toPixels(Point{topDb, topDb}, p), style.scale,
                Style::knobTrack);
    std::vector<Point> points;
    for (const Point& level : curveDb_)
        points.push_back(toPixels(level, p));
    canvas.setClip(p);
    canvas.polyline(points.data(), static_cast<int>(points.size()), style.scale * 2.0, Style::accent);
    paintedPoint_.reset();
    if (point_) {
        const Point at = toPixels(*point_, p);
        paintedPoint_ = Point{std::round(at.x), std::round(at.y)};
        canvas.disc(at.x, at.y, style.scale * 4.0, Style::pointer);
    }
    canvas.setClip(b);
}
