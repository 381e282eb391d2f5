#include "editor/ZaRorurarozeEditor.h"

#include "Common/gui/LevelMeter.h"
#include "Common/gui/ParamControl.h"
#include "Common/gui/ScaleSwitch.h"
#include "Common/musicplugin/BoolParam.h"
#include "ZaRorurarozeParam.h"
#include "editor/BandView.h"
#include "editor/TransferView.h"

#include <array>
#include <cmath>

namespace
{
// The controls' row: three groups of parameters, left to right.
struct Group
{
    const char* title;
    std::vector<int> params;
};
std::vector<Group> groupsOf(const MusicPlugin& plugin)
{
    using P = ZaRorurarozeParam;
    Group side{"SIDE-CHAIN", {P::sidechainHighpassCutoff, P::sidechainLowpassCutoff, P::sidechainListen}};
    if (plugin.paramList.numParams() > P::sidechainSource) side.params.push_back(P::sidechainSource);
    return {side,
            {"DETECTOR", {P::drive, P::attack, P::release, P::hilbert}},
            {"GAIN", {P::threshold, P::ratio, P::outputGain, P::mix}}};
}
constexpr double rowLeft = 12.0;
constexpr double rowRight = 766.0;
constexpr double groupGap = 14.0;
constexpr double controlsTop = 262.0;
constexpr double controlHeight = 100.0;
constexpr double viewsTop = 32.0;
constexpr double viewsHeight = 212.0;
// The band meters' floor, where a silent band rests.
constexpr double bandFloorDb = -90.0;
} // namespace

ZaRorurarozeEditor::ZaRorurarozeEditor(EditorHost& host, ZaRorurarozePlugin::KeyInput keyInput)
    : Editor(host, baseWidth, baseHeight), model_(keyInput)
{
    bandReadingsDb_.fill(bandFloorDb);
    const int numParams = model_.paramList.numParams();
    for (int i = 0; i < numParams; ++i) {
        Param& param = *model_.paramList.param(i);
        const bool toggle = dynamic_cast<BoolParam*>(&param) != nullptr;
        controls_.push_back(add(std::make_unique<ParamControl>(
            host, param, i, toggle ? ParamControl::Kind::toggle : ParamControl::Kind::knob)));
    }
    // The row keeps its width: with a twelfth control each is narrower (66 base pixels for eleven).
    const std::vector<Group> groups = groupsOf(model_);
    controlWidth_ = std::floor((rowRight - rowLeft - groupGap * (groups.size() - 1)) / numParams);
    controlLefts_.assign(static_cast<std::size_t>(numParams), 0.0);
    int slot = 0;
    for (std::size_t g = 0; g < groups.size(); ++g)
        for (int param : groups[g].params)
            controlLefts_.at(static_cast<std::size_t>(param)) =
                rowLeft + slot++ * controlWidth_ + g * groupGap;
    bands_ = add(std::make_unique<BandView>());
    transfer_ = add(std::make_unique<TransferView>());
    input_ = add(std::make_unique<LevelMeter>("IN", -60.0, 12.0, LevelMeter::Direction::up, Style::level));
    reduction_ =
        add(std::make_unique<LevelMeter>("GR", 0.0, 30.0, LevelMeter::Direction::down, Style::reduction));
    output_ = add(std::make_unique<LevelMeter>("OUT", -60.0, 12.0, LevelMeter::Direction::up, Style::level));
    scaleSwitch_ = add(std::make_unique<ScaleSwitch>([this](int scale) { setScale(scale); },
                                                     [this] { return scalePercent(); }));
    bands_->setFilters(model_);
    transfer_->setCurve(model_);
}

ZaRorurarozeEditor::~ZaRorurarozeEditor() = default;

std::unique_ptr<Editor> ZaRorurarozeEditor::create(EditorHost& host)
{
    return std::make_unique<ZaRorurarozeEditor>(host);
}

std::unique_ptr<Editor> ZaRorurarozeEditor::createWithKey(EditorHost& host)
{
    return std::make_unique<ZaRorurarozeEditor>(host, ZaRorurarozePlugin::KeyInput::stereo);
}

void ZaRorurarozeEditor::layout(const Style& style)
{
    for (std::size_t i = 0; i < controls_.size(); ++i)
        controls_[i]->setBounds(style.rect(controlLefts_[i], controlsTop, controlWidth_, controlHeight));
    bands_->setBounds(style.rect(8, viewsTop, 476, viewsHeight));
    transfer_->setBounds(style.rect(488, viewsTop, 214, viewsHeight));
    input_->setBounds(style.rect(704, viewsTop + 20, 24, viewsHeight - 20));
    reduction_->setBounds(style.rect(728, viewsTop + 20, 24, viewsHeight - 20));
    output_->setBounds(style.rect(752, viewsTop + 20, 24, viewsHeight - 20));
    scaleSwitch_->setBounds(style.rect(620, 7, 150, 18));
}

void ZaRorurarozeEditor::paintBackground(Canvas& canvas, const Style& style)
{
    canvas.fill(Rect{0, 0, canvas.width(), canvas.height()}, Style::background);
    canvas.text(style.px(12), style.px(21), "ZaRoruraroze", style.title, Style::textColour);
    canvas.text(style.px(14) + style.title.width("ZaRoruraroze") + style.px(8), style.px(21),
                "33-band compressor", style.text, Style::dimText);
    canvas.text(style.px(740), style.px(viewsTop + 13), "dB", style.text, Style::dimText,
                Canvas::Align::centre);
    for (const Group& group : groupsOf(model_)) {
        const double left = controlLefts_.at(static_cast<std::size_t>(group.params.front()));
        const double right = controlLefts_.at(static_cast<std::size_t>(group.params.back())) + controlWidth_;
        const int y = style.px(controlsTop - 8);
        canvas.text(style.px(left + 4), y + style.px(4), group.title, style.text, Style::dimText);
        const int lineLeft = style.px(left + 4) + style.text.width(group.title) + style.px(6);
        canvas.fill(Rect{lineLeft, y, style.px(right - 4) - lineLeft, std::max(1, style.px(1))}, Style::grid);
    }
}

void ZaRorurarozeEditor::update(double nowSeconds)
{
    for (ParamControl* control : controls_)
        control->follow(host().knobPosition(control->index()));
    bands_->setFilters(model_);
    if (model_.paramList.numParams() > ZaRorurarozeParam::sidechainSource) {
        const auto& source =
            static_cast<const BoolParam&>(*model_.paramList.param(ZaRorurarozeParam::sidechainSource));
        bands_->setDetectorInput(source.getDisplayValue(), source.getValue());
    }
    transfer_->setCurve(model_);

    using Meter = ZaRorurarozeMeter;
    input_->update(host().takeMeterReading(Meter::inputLevel), nowSeconds);
    reduction_->update(host().takeMeterReading(Meter::gainReduction), nowSeconds);
    output_->update(host().takeMeterReading(Meter::outputLevel), nowSeconds);
    std::array<std::optional<double>, BandView::numBands> bandsDb;
    double power = 0.0;
    for (int k = 0; k < BandView::numBands; ++k) {
        const auto i = static_cast<std::size_t>(k);
        bandsDb[i] = host().takeMeterReading(Meter::firstBand + k);
        if (bandsDb[i]) bandReadingsDb_[i] = *bandsDb[i];
        // The detector's total, from the bands above the meters' floor.
        if (bandReadingsDb_[i] > bandFloorDb + 1.0)
            power += ZaRorurarozePlugin::bandReferencePower * std::pow(10.0, bandReadingsDb_[i] / 10.0);
    }
    bands_->update(bandsDb, nowSeconds);
    transfer_->setDetectorPower(power);
}
