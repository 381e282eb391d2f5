// The editor without a display: known states give known pixels, the mouse gives the right gestures.

#include "Common/dsp/Biquad.h"
#include "Common/gui/LevelMeter.h"
#include "Common/gui/ParamControl.h"
#include "RecordingEditorHost.h"
#include "editor/BandView.h"
#include "editor/TransferView.h"
#include "editor/ZaRorurarozeEditor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using Knob = ZaRorurarozeParam;
using Meter = ZaRorurarozeMeter;
using Log = std::vector<std::string>;

namespace
{
constexpr double pi = 3.14159265358979323846;

// An editor at 100 % over a host holding a fresh plug-in's knob positions, painted once.
struct Fixture
{
    explicit Fixture(ZaRorurarozePlugin::KeyInput keyInput = ZaRorurarozePlugin::KeyInput::none)
        : editor(host, keyInput)
    {
        ZaRorurarozePlugin fresh(keyInput);
        for (int i = 0; i < fresh.paramList.numParams(); ++i)
            host.positions[static_cast<std::size_t>(i)] = fresh.paramList.param(i)->getKnobPos();
        editor.setScale(100);
        step(0.0);
        host.log.clear();
    }
    void step(double now)
    {
        editor.idle(now);
        editor.paint();
    }
    MouseEvent at(Point p, int dy = 0, bool fine = false, bool doubleClick = false) const
    {
        return MouseEvent{static_cast<int>(p.x), static_cast<int>(p.y) + dy, fine, doubleClick};
    }
    Point knob(int index) { return editor.control(index).centre(editor.style()); }

    RecordingEditorHost host;
    ZaRorurarozeEditor editor;
};

// Where a knob's pointer points, in degrees clockwise from 12 o'clock: the brightness-weighted direction of
// the near-white pixels 7 to 12 px from the centre (the pointer's middle; the track and the body are darker).
double pointerDegrees(const Canvas& canvas, Point centre)
{
    double sx = 0.0, sy = 0.0;
    for (int y = static_cast<int>(centre.y) - 13; y <= static_cast<int>(centre.y) + 13; ++y)
        for (int x = static_cast<int>(centre.x) - 13; x <= static_cast<int>(centre.x) + 13; ++x) {
            const double dx = x + 0.5 - centre.x, dy = y + 0.5 - centre.y;
            const double r = std::hypot(dx, dy);
            const double luminance = (canvas.pixel(x, y) >> 8) & 0xFF;
            if (r < 7.0 || r > 12.0 || luminance < 200.0) continue;
            sx += luminance * dx;
            sy += luminance * dy;
        }
    return std::atan2(sx, -sy) * 180.0 / pi;
}
} // namespace

TEST(Editor, KnobPointerFollowsTheHostsPosition)
{
    Fixture f;
    const struct
    {
        double position;
        double degrees; // -135 at 0, +135 at 1
    } cases[] = {{0.0, -135.0}, {0.25, -67.5}, {0.5, 0.0}, {0.75, 67.5}, {1.0, 135.0}};
    for (const auto& c : cases) {
        f.host.positions[Knob::threshold] = c.position;
        f.step(0.0);
        // 2 degrees: the pointer is 2.5 px wide and anti-aliased.
        EXPECT_NEAR(pointerDegrees(f.editor.canvas(), f.knob(Knob::threshold)), c.degrees, 2.0) << c.position;
    }
}

TEST(Editor, DragsAreOneGestureEachAndSendWhereTheKnobLands)
{
    Fixture f;
    const Point threshold = f.knob(Knob::threshold);
    const double start = f.host.positions[Knob::threshold];
    // Up raises: 50 px of the 200 px range; then Shift for a tenth as fast from there.
    f.editor.mouseDown(f.at(threshold));
    f.editor.mouseMove(f.at(threshold, -50));
    f.editor.mouseMove(f.at(threshold, -50, true));
    f.editor.mouseMove(f.at(threshold, -70, true));
    f.editor.mouseUp(f.at(threshold, -70, true));
    ASSERT_EQ(f.host.log.size(), 4u);
    EXPECT_EQ(f.host.log.front(), "begin 7");
    EXPECT_EQ(f.host.log.back(), "end 7");
    EXPECT_NEAR(f.editor.control(Knob::threshold).knobPos(), start + 0.25 + 0.01, 1e-6);
    // What the host holds after the gesture is what the control shows.
    EXPECT_EQ(f.host.positions[Knob::threshold], f.editor.control(Knob::threshold).knobPos());

    // Beyond the top of the range nothing more is sent; a click that moves nothing sends nothing.
    f.host.log.clear();
    f.editor.mouseDown(f.at(threshold));
    f.editor.mouseMove(f.at(threshold, -1000));
    f.editor.mouseMove(f.at(threshold, -1200));
    f.editor.mouseUp(f.at(threshold, -1200));
    EXPECT_EQ(f.host.log, (Log{"begin 7", "set 7 1.000000", "end 7"}));
    f.host.log.clear();
    f.editor.mouseDown(f.at(threshold));
    f.editor.mouseUp(f.at(threshold));
    f.editor.mouseDown(MouseEvent{2, 2, false, false}); // empty space
    f.editor.mouseUp(MouseEvent{2, 2, false, false});
    EXPECT_TRUE(f.host.log.empty());
}

TEST(Editor, HostEchoDuringADragIsIgnoredAndFollowedAfterIt)
{
    Fixture f;
    const Point ratio = f.knob(Knob::ratio);
    f.editor.mouseDown(f.at(ratio));
    f.editor.mouseMove(f.at(ratio, -20));
    const double dragged = f.editor.control(Knob::ratio).knobPos();
    f.host.positions[Knob::ratio] = 0.1; // a late echo, or automation
    f.step(0.1);
    EXPECT_EQ(f.editor.control(Knob::ratio).knobPos(), dragged);
    f.editor.mouseMove(f.at(ratio, -21));
    f.editor.mouseUp(f.at(ratio, -21));
    f.host.positions[Knob::ratio] = 0.1;
    f.step(0.2);
    // Through the knob law and back: within rounding.
    EXPECT_NEAR(f.editor.control(Knob::ratio).knobPos(), 0.1, 1e-12);
}

TEST(Editor, SwitchesDoubleClicksAndTheWheelAreWholeGestures)
{
    Fixture f;
    f.editor.mouseDown(f.at(f.knob(Knob::hilbert)));
    f.editor.mouseUp(f.at(f.knob(Knob::hilbert)));
    EXPECT_EQ(f.host.log, (Log{"begin 6", "set 6 1.000000", "end 6"}));

    f.host.log.clear();
    const double defaultMix = f.host.positions[Knob::mix];
    f.host.positions[Knob::mix] = 0.2;
    f.step(0.0);
    f.editor.mouseDown(f.at(f.knob(Knob::mix), 0, false, true));
    f.editor.mouseUp(f.at(f.knob(Knob::mix)));
    ASSERT_EQ(f.host.log.size(), 3u);
    EXPECT_EQ(f.host.positions[Knob::mix], defaultMix);

    f.host.log.clear();
    f.host.positions[Knob::drive] = 0.5;
    f.step(0.0);
    f.editor.wheel(f.at(f.knob(Knob::drive)), 1);
    f.editor.wheel(f.at(f.knob(Knob::drive)), -1);
    f.editor.wheel(f.at(f.knob(Knob::drive), 0, true), -1);
    EXPECT_EQ(f.host.log, (Log{"begin 3", "set 3 0.520000", "end 3", "begin 3", "set 3 0.500000", "end 3",
                               "begin 3", "set 3 0.498000", "end 3"}));
}

TEST(Editor, MeterHeightsFollowTheirDbScale)
{
    Fixture f;
    LevelMeter& input = f.editor.inputMeter();
    const Rect track = input.track(f.editor.style());
    // Lit pixels (bar and peak mark) up the track's middle column, against the scale -60..+12 dB; the ends
    // clamped.
    const struct
    {
        double db;
        double fraction;
    } cases[] = {{-60.0, 0.0}, {-24.0, 0.5}, {0.0, 60.0 / 72.0}, {12.0, 1.0}, {40.0, 1.0}, {-90.0, 0.0}};
    double now = 0.0;
    for (const auto& c : cases) {
        // Long enough apart that the bar and the hold have fallen back from the case before.
        now += 10.0;
        f.host.meters[Meter::inputLevel] = c.db;
        f.step(now);
        int lit = 0;
        for (int y = track.y; y < track.bottom(); ++y) {
            const Colour p = f.editor.canvas().pixel(track.x + track.width / 2, y);
            lit += p == Style::level || p == Style::levelHot || p == Style::pointer; // the peak mark on top
        }
        EXPECT_NEAR(lit, c.fraction * track.height, 1.0) << c.db;
    }
}

TEST(Editor, BandBarsStandAtTheirLevelsAndTheFiltersShadeWhatTheyRemove)
{
    Fixture f;
    for (int k = 0; k < BandView::numBands; ++k)
        f.host.meters[static_cast<std::size_t>(Meter::firstBand + k)] = -60.0 + 2.0 * k;
    f.host.positions[Knob::sidechainHighpassCutoff] = 0.7; // about 330 Hz
    f.step(0.0);
    BandView& view = f.editor.bandView();
    const Rect plot = view.plot(f.editor.style());
    for (int k : {0, 10, 20, 30, 32}) {
        const Rect bar = view.bar(k, f.editor.style());
        EXPECT_EQ(bar.y, view.yOfDb(-60.0 + 2.0 * k, plot)) << k;
        const int x = bar.x + bar.width / 2;
        // The bar's top pixel is the band's colour, the one above it the panel's, each darker under the
        // shade.
        const bool shaded = MultibandPowerDetector::bandCentre(k) < 200.0;
        const Colour top = f.editor.canvas().pixel(x, bar.y + 1);
        EXPECT_EQ(top == Style::band, !shaded) << k;
        EXPECT_NE(f.editor.canvas().pixel(x, bar.y - 2), top) << k;
    }
}

TEST(Editor, InSilenceThePictureComesToRest)
{
    Fixture f;
    f.host.meters[Meter::gainReduction] = 12.0;
    f.host.meters[Meter::inputLevel] = -3.0;
    f.step(0.0);
    for (auto& m : f.host.meters)
        m.reset();
    // Holds last 1.5 s and everything falls at 24 dB/s: at rest on the floor within 5 s.
    double now = 0.0;
    for (; now < 5.0; now += 0.033)
        f.step(now);
    EXPECT_FALSE(f.editor.idle(now));
    EXPECT_TRUE(f.editor.paint().empty());
}

TEST(Editor, ScaleSwitchResizesThroughTheHost)
{
    Fixture f;
    const Rect b = f.editor.canvas().width() > 0 ? Rect{0, 0, f.editor.width(), f.editor.height()} : Rect{};
    EXPECT_EQ(b.width, ZaRorurarozeEditor::baseWidth);
    // The 200 % segment sits at the right end of the switch, top right.
    f.editor.mouseDown(MouseEvent{f.editor.style().px(760), f.editor.style().px(15), false, false});
    ASSERT_FALSE(f.host.resizes.empty());
    EXPECT_EQ(f.host.resizes.back()[0], 2 * ZaRorurarozeEditor::baseWidth);
    EXPECT_EQ(f.host.resizes.back()[1], 2 * ZaRorurarozeEditor::baseHeight);
    EXPECT_EQ(f.editor.width(), 2 * ZaRorurarozeEditor::baseWidth);
    EXPECT_EQ(Editor::sessionScale(), 200);
    f.editor.setScale(100);
}

// The curve's sine power against the engine itself: a 1 kHz sine through the side-chain filters and the
// detector with instant attack and release, its total power averaged.
TEST(TransferView, SinePowerIsWhatTheDetectorMeasures)
{
    Compressor engine;
    engine.drive(3.0);
    engine.sidechainHighpassCutoff(700.0);
    engine.sidechainLowpassCutoff(2500.0);
    engine.attackTime(0.0);
    engine.releaseTime(0.0);
    const double amplitude = 0.1;
    double high[2] = {0.0, 0.0}, low[2] = {0.0, 0.0};
    double sum = 0.0;
    const int settle = 20000, frames = 44100;
    for (int n = 0; n < settle + frames; ++n) {
        const double x = amplitude * std::sin(2.0 * pi * 1000.0 * n / 44100.0);
        const double side =
            Biquad::step(engine.lowpassCoeffs_, low, Biquad::step(engine.highpassCoeffs_, high, x));
        const double total = engine.detector_.tick(engine.drive_ * side, engine.drive_ * side);
        if (n >= settle) sum += total;
    }
    const double expected = TransferView::detectorPowerOfSine(engine, 1000.0) * amplitude * amplitude;
    // 0.1 %: 44100 frames hold 1000 whole cycles, so only rounding and the filters' settling remain.
    EXPECT_NEAR(sum / frames, expected, 1e-3 * expected);
}

// With a key input, Sd Source stands among the side-chain controls, a click on it is one gesture on its
// index, and the band view says which input drives the detector: the key's word in the accent colour.
TEST(Editor, SdSourceAmongTheSideChainControlsAndTheDetectorsInputOverTheBands)
{
    Fixture f(ZaRorurarozePlugin::KeyInput::stereo);
    const Point listen = f.knob(Knob::sidechainListen), source = f.knob(Knob::sidechainSource);
    EXPECT_GT(source.x, listen.x);
    EXPECT_LT(source.x, f.knob(Knob::drive).x);
    EXPECT_LE(f.knob(Knob::mix).x + 30.0, f.editor.width());
    const Rect plot = f.editor.bandView().plot(f.editor.style());
    const Rect title{plot.x, f.editor.bandView().bounds().y, plot.width,
                     plot.y - f.editor.bandView().bounds().y};
    // Orange text over the dark background: red well above blue (the accent is 0xF09A2C).
    const auto accentPixels = [&] {
        int count = 0;
        for (int y = title.y; y < title.bottom(); ++y)
            for (int x = title.x; x < title.right(); ++x) {
                const int red = static_cast<int>(f.editor.canvas().pixel(x, y) >> 16);
                const int blue = static_cast<int>(f.editor.canvas().pixel(x, y) & 0xFF);
                count += red > 150 && red - blue > 80;
            }
        return count;
    };
    EXPECT_EQ(accentPixels(), 0);
    f.editor.mouseDown(f.at(source));
    f.editor.mouseUp(f.at(source));
    EXPECT_EQ(f.host.log, (Log{"begin 11", "set 11 1.000000", "end 11"}));
    f.step(0.0);
    EXPECT_GT(accentPixels(), 20);
    EXPECT_EQ(f.editor.control(Knob::sidechainSource).knobPos(), 1.0);

    // Without a key input, eleven controls where they always were.
    Fixture plain;
    EXPECT_THROW(plain.editor.control(Knob::sidechainSource), std::out_of_range);
    EXPECT_EQ(plain.knob(Knob::drive).x, 12 + 3 * 66 + 14 + 33);
}
