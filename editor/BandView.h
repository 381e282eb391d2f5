#pragma once
// The detector's 33 bands at their places on a log frequency axis (20 Hz to 20 kHz), each bar the band's
// own smoothed level as it rises and falls with that band's attack and release, and over them what the
// side-chain filters leave of the spectrum: their response, and a shade over the range they take away.

#include "Common/gui/Widget.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

class ZaRorurarozePlugin;

class BandView : public Widget
{
public:
    static constexpr int numBands = 33;
    static constexpr double floorDb = -60.0;
    static constexpr double topDb = 12.0;
    // A band with no news for this long starts to fall (the host stopped processing).
    static constexpr double staleSeconds = 0.25;
    static constexpr double fallDbPerSecond = 24.0;

    BandView() { levels_.fill(floorDb); }

    // The side-chain filters of the editor's copy of the plug-in.
    void setFilters(const ZaRorurarozePlugin& model);
    // The input that drives the detector ("own input", "key"), shown over the bands, and whether it is an
    // external one; empty where the plug-in has no choice.
    void setDetectorInput(const std::string& input, bool external);
    // GUI thread, every idle: the bands' readings in dB (0 dB: a full-scale sine at the band's centre).
    void update(const std::array<std::optional<double>, numBands>& readingsDb, double nowSeconds);
    double levelDb(int band) const { return levels_[static_cast<std::size_t>(band)]; }

    // Where things are in the current layout.
    Rect plot(const Style& style) const;
    double xOfFrequency(double hz, const Rect& plot) const;
    int yOfDb(double db, const Rect& plot) const;
    // The bar of a band at its level.
    Rect bar(int band, const Style& style) const;

    void paint(Canvas& canvas, const Style& style) override;

private:
    std::array<double, numBands> levels_{};
    std::array<int, numBands> paintedTops_{};
    std::array<double, numBands> lastNews_{};
    double lastUpdate_ = -1.0;
    double highpassHz_ = 0.0;
    double lowpassHz_ = 0.0;
    std::string detectorInput_;
    bool externalInput_ = false;
    // The filters' response in dB at log-spaced frequencies from 20 Hz to 20 kHz.
    std::vector<double> responseDb_;
    Rect paintedPlot_;
};
