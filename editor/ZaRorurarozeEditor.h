#pragma once
// The compressor's editor: a control per parameter (eleven, or twelve with Sd Source where the plug-in takes
// a key), the input, gain-reduction and output meters, the detector's 33 bands with the side-chain filters
// over them and the input that drives them, and the transfer curve with its live operating point. It keeps
// a copy of the plug-in whose parameters follow the host's: that copy writes the controls' texts (the texts
// the host shows) and carries the settings the band view and the curve are computed from.

#include "Common/gui/Editor.h"
#include "ZaRorurarozePlugin.h"

#include <array>
#include <vector>

class BandView;
class LevelMeter;
class ParamControl;
class ScaleSwitch;
class TransferView;

class ZaRorurarozeEditor : public Editor
{
public:
    static constexpr int baseWidth = 780;
    static constexpr int baseHeight = 372;

    // keyInput as the plug-in behind the host was made with.
    explicit ZaRorurarozeEditor(EditorHost& host,
                                ZaRorurarozePlugin::KeyInput keyInput = ZaRorurarozePlugin::KeyInput::none);
    ~ZaRorurarozeEditor() override;
    // The factories the format bridges are given: for the plug-in without a key (VST 2) and with one.
    static std::unique_ptr<Editor> create(EditorHost& host);
    static std::unique_ptr<Editor> createWithKey(EditorHost& host);

    ParamControl& control(int paramIndex) { return *controls_.at(static_cast<std::size_t>(paramIndex)); }
    LevelMeter& inputMeter() { return *input_; }
    LevelMeter& reductionMeter() { return *reduction_; }
    LevelMeter& outputMeter() { return *output_; }
    BandView& bandView() { return *bands_; }
    TransferView& transferView() { return *transfer_; }

protected:
    void layout(const Style& style) override;
    void paintBackground(Canvas& canvas, const Style& style) override;
    void update(double nowSeconds) override;

private:
    ZaRorurarozePlugin model_;
    std::vector<ParamControl*> controls_;
    // Base-layout left edges of the controls, by parameter index.
    std::vector<double> controlLefts_;
    double controlWidth_;
    LevelMeter* input_;
    LevelMeter* reduction_;
    LevelMeter* output_;
    BandView* bands_;
    TransferView* transfer_;
    ScaleSwitch* scaleSwitch_;
    // The bands' last readings, dB.
    std::array<double, 33> bandReadingsDb_;
};
