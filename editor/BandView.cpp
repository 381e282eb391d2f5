#include "editor/BandView.h"

#include "ZaRorurarozePlugin.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>

namespace
{
constexpr double lowestHz = MultibandPowerDetector::lowestBandEdge;
constexpr double highestHz = MultibandPowerDetector::highestBandEdge;
constexpr int responsePoints = 120;
constexpr double pi = 3.14159265358979323846;

std::string frequencyLabel(double hz)
{
    return hz >= 1000.0 ? std::to_string(static_cast<int>(hz / 1000.0)) + "k"
                        : std::to_string(static_cast<int>(hz));
}
} // namespace

Rect BandView::plot(const Style& style) const
{
    const Rect& b = bounds();
    return Rect{b.x + style.px(30), b.y + style.px(20), b.width - style.px(38), b.height - style.px(36)};
}

double BandView::xOfFrequency(double hz, const Rect& plot) const
{
    return plot.x + plot.width * std::log(hz / lowestHz) / std::log(highestHz / lowestHz);
}

int BandView::yOfDb(double db, const Rect& plot) const
{
    const double fraction = std::clamp((db - floorDb) / (topDb - floorDb), 0.0, 1.0);
    return plot.bottom() - static_cast<int>(std::lround(fraction * plot.height));
}

Rect BandView::bar(int band, const Style& style) const
{
    const Rect p = plot(style);
    const int left =
        static_cast<int>(std::lround(xOfFrequency(MultibandPowerDetector::bandLowEdge(band), p)));
    const double upperHz = band + 1 < numBands ? MultibandPowerDetector::bandLowEdge(band + 1) : highestHz;
    const int right = static_cast<int>(std::lround(xOfFrequency(upperHz, p)));
    const int top = yOfDb(levels_[static_cast<std::size_t>(band)], p);
    return Rect{left + 1, top, right - left - 2, p.bottom() - top};
}

void BandView::setFilters(const ZaRorurarozePlugin& model)
{
    const Compressor& engine = model.engine();
    if (engine.sidechainHighpassCutoff_ == highpassHz_ && engine.sidechainLowpassCutoff_ == lowpassHz_ &&
        !responseDb_.empty())
        return;
    highpassHz_ = engine.sidechainHighpassCutoff_;
    lowpassHz_ = engine.sidechainLowpassCutoff_;
    responseDb_.resize(responsePoints);
    for (int i = 0; i < responsePoints; ++i) {
        const double hz = lowestHz * std::pow(highestHz / lowestHz, i / (responsePoints - 1.0));
        const std::complex<double> z = std::polar(1.0, 2.0 * pi * hz / engine.sampleRate_);
        const double magnitude = std::abs(engine.highpassCoeffs_.Hz(z) * engine.lowpassCoeffs_.Hz(z));
        responseDb_[static_cast<std::size_t>(i)] = 20.0 * std::log10(std::max(magnitude, 1e-9));
    }
    markDirty();
}

void BandView::setDetectorInput(const std::string& input, bool external)
{
    if (input == detectorInput_ && external == externalInput_) return;
    detectorInput_ = input;
    externalInput_ = external;
    markDirty();
}

void BandView::update(const std::array<std::optional<double>, numBands>& readingsDb, double nowSeconds)
{
    const double elapsed = lastUpdate_ < 0.0 ? 0.0 : std::max(nowSeconds - lastUpdate_, 0.0);
    lastUpdate_ = nowSeconds;
    for (int k = 0; k < numBands; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const std::optional<double>& reading = readingsDb[i];
        if (reading && *reading == *reading) {
            levels_[i] = std::clamp(*reading, floorDb, topDb);
            lastNews_[i] = nowSeconds;
        } else if (nowSeconds - lastNews_[i] > staleSeconds) {
            levels_[i] = std::max(floorDb, levels_[i] - fallDbPerSecond * elapsed);
        }
        if (yOfDb(levels_[i], paintedPlot_) != paintedTops_[i]) markDirty();
    }
}

void BandView::paint(Canvas& canvas, const Style& style)
{
    const Rect& b = bounds();
    canvas.fill(b, Style::background);
    const Rect p = plot(style);
    paintedPlot_ = p;
    canvas.fill(p, Style::panel);
    canvas.text(b.x + style.px(4), b.y + style.px(13), "Detector bands", style.text, Style::textColour);
    if (!detectorInput_.empty()) {
        // An external input stands out: the bands are then another signal's than the one heard.
        const int right = p.right();
        canvas.text(right, b.y + style.px(13), detectorInput_, style.text,
                    externalInput_ ? Style::accent : Style::textColour, Canvas::Align::right);
        canvas.text(right - style.text.width(detectorInput_) - style.px(4), b.y + style.px(13),
                    "listening to", style.text, Style::dimText, Canvas::Align::right);
    }
    for (double db = topDb - 12.0; db > floorDb; db -= 12.0) {
        const int y = yOfDb(db, p);
        canvas.fill(Rect{p.x, y, p.width, 1}, Style::grid);
        canvas.text(p.x - style.px(4), y + style.text.ascent() / 2, std::to_string(static_cast<int>(db)),
                    style.text, Style::dimText, Canvas::Align::right);
    }
    for (double hz : {50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0}) {
        const int x = static_cast<int>(std::lround(xOfFrequency(hz, p)));
        canvas.fill(Rect{x, p.y, 1, p.height}, Style::grid);
        canvas.text(x, p.bottom() + style.px(12), frequencyLabel(hz), style.text, Style::dimText,
                    Canvas::Align::centre);
    }
    for (int k = 0; k < numBands; ++k) {
        const Rect r = bar(k, style);
        paintedTops_[static_cast<std::size_t>(k)] = r.y;
        canvas.fill(r, Style::band);
    }
    // The side-chain filters: a shade where they take more than 3 dB away, and their response (0 dB at the
    // top of the scale's 0 dB line).
    if (responseDb_.size() >= 2) {
        std::vector<Point> points;
        const double step = p.width / (responseDb_.size() - 1.0);
        int shadeFrom = -1;
        for (std::size_t i = 0; i < responseDb_.size(); ++i) {
            const double x = p.x + step * static_cast<double>(i);
            points.push_back(Point{x, static_cast<double>(yOfDb(responseDb_[i], p))});
            const bool cut = responseDb_[i] < -3.0;
            if (cut && shadeFrom < 0) shadeFrom = static_cast<int>(std::lround(x - step / 2));
            if ((!cut || i + 1 == responseDb_.size()) && shadeFrom >= 0) {
                const int to = static_cast<int>(std::lround(cut ? p.right() : x - step / 2));
                canvas.blend(Rect{shadeFrom, p.y, to - shadeFrom, p.height}, 0x000000, 0.45);
                shadeFrom = -1;
            }
        }
        canvas.polyline(points.data(), static_cast<int>(points.size()), style.scale * 1.5, Style::filter);
    }
}
