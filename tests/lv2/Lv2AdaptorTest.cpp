// The LV2 bridge in process, through its descriptor as a host drives it: the port table against the
// ranges musicians read, exact ends and defaults, hostile rates and port values, and the state.

#include "Common/musicplugin/PluginState.h"
#include "ZaRorurarozeParam.h"

#if ZR_LV2_UI
#include "Common/lv2/MusicPluginLv2Ui.h"
#include "Common/musicplugin/ParamValue.h"
#include "Common/musicplugin/RealParam.h"
#endif
#include "tests/lv2/Lv2TestHost.h"

#include <lv2/atom/atom.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace lv2test;
using Knob = ZaRorurarozeParam; // parameter indices

TEST(Lv2PortTable, PortsReadInTheUnitsMusiciansUse)
{
    struct Expected
    {
        const char* symbol;
        Lv2PortTable::Unit unit;
        float minimum, defaultValue, maximum;
        bool logarithmic;
    };
    using U = Lv2PortTable::Unit;
    const Expected expected[] = {
        {"sidechainHighpassCutoff", U::hz, 5, 20, 2000, true},
        {"sidechainLowpassCutoff", U::hz, 100, 40000, 40000, true},
        {"sidechainListen", U::none, 0, 0, 1, false},
        {"drive", U::db, -20, 0, 60, false},
        {"attack", U::ms, 0.01f, 200, 10000, true}, // 0.01 ms stands for 0
        {"release", U::ms, 0.01f, 200, 10000, true},
        {"hilbert", U::none, 0, 0, 1, false},
        {"threshold", U::db, -60, 0, 12.0412f, false},
        {"ratio", U::custom, 0.5, 32, 64, true},
        {"outputGain", U::db, -90, 0, 12.0412f, false},
        {"mix", U::percent, 0, 100, 100, false},
    };
    ZaRorurarozePlugin plugin;
    Lv2PortTable table(plugin);
    ASSERT_EQ(table.controls().size(), std::size(expected));
    std::set<std::string> symbols;
    for (size_t i = 0; i < table.controls().size(); ++i) {
        const auto& c = table.controls()[i];
        const auto& e = expected[i];
        EXPECT_EQ(c.portIndex, static_cast<int>(4 + i));
        EXPECT_EQ(c.symbol, e.symbol);
        EXPECT_TRUE(symbols.insert(c.symbol).second) << "unique";
        EXPECT_EQ(c.unit, e.unit) << e.symbol;
        EXPECT_EQ(c.logarithmic, e.logarithmic) << e.symbol;
        EXPECT_NEAR(c.minimum, e.minimum, 1e-4) << e.symbol;
        EXPECT_NEAR(c.defaultValue, e.defaultValue, 1e-4) << e.symbol;
        EXPECT_NEAR(c.maximum, e.maximum, 1e-4) << e.symbol;
        EXPECT_TRUE(c.minimum <= c.defaultValue && c.defaultValue <= c.maximum) << e.symbol;
        // The declared ends and default give the parameter's own values exactly; beyond them, clamped.
        EXPECT_EQ(table.valueOfPort(static_cast<int>(i), c.minimum), c.minValue) << e.symbol;
        EXPECT_EQ(table.valueOfPort(static_cast<int>(i), c.maximum), c.maxValue) << e.symbol;
        EXPECT_EQ(table.valueOfPort(static_cast<int>(i), c.defaultValue), c.defaultValueExact) << e.symbol;
        EXPECT_EQ(table.valueOfPort(static_cast<int>(i), c.minimum - 1e6f), c.minValue) << e.symbol;
        EXPECT_EQ(table.valueOfPort(static_cast<int>(i), c.maximum + 1e6f), c.maxValue) << e.symbol;
    }
    EXPECT_EQ(table.meters().at(0).symbol, "gainReduction");
    EXPECT_EQ(table.meters().at(0).portIndex, 15);
    EXPECT_EQ(table.numPorts(), 15 + ZaRorurarozeMeter::count);
    // Only the gain reduction is for every host; the levels and bands are the editor's.
    EXPECT_FALSE(table.meters().at(0).editorOnly);
    EXPECT_TRUE(table.meters().at(ZaRorurarozeMeter::firstBand).editorOnly);
    // A time of 0 sits at the logarithmic port's finite floor.
    EXPECT_EQ(table.valueOfPort(Knob::attack, Lv2PortTable::instantMs), 0.0);
    EXPECT_EQ(table.portOfValue(Knob::attack, 0.0), Lv2PortTable::instantMs);
    EXPECT_EQ(table.valueOfPort(Knob::attack, 5.0f), 0.005); // ms to s by division: exact
    EXPECT_EQ(table.valueOfPort(Knob::outputGain, -89.9f),
              std::pow(10.0, -89.9f / 20.0));                    // above the floor: a real gain
    EXPECT_EQ(table.valueOfPort(Knob::outputGain, -90.0f), 0.0); // the floor is silence
}

TEST(Lv2Adaptor, HostileRatesAndPortsGetHarmlessAnswers)
{
    Host host;
    for (double rate : {0.0, -44100.0, std::nan(""), HUGE_VAL, 1e9})
        EXPECT_EQ(descriptor.lv2.instantiate(&descriptor.lv2, rate, "", host.features), nullptr) << rate;

    Instance a(host);
    ASSERT_NE(a.handle, nullptr);
    a.run(0);
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), HUGE_VALF, -HUGE_VALF}) {
        a.controls[Knob::threshold] = bad; // ignored, the parameter keeps its value
        a.run(64);
    }
    a.controls[Knob::threshold] = -20.0f;
    a.run(4096);
    EXPECT_GT(a.meter, 3.0f);
    EXPECT_LT(a.meter, 60.0f);
    for (float x : a.out[0])
        ASSERT_TRUE(std::isfinite(x));
    a.in[0][0] = std::numeric_limits<float>::quiet_NaN(); // samples as in the VST 2 build
    descriptor.lv2.run(a.handle, 1);
    EXPECT_TRUE(std::isfinite(a.out[0][0]));

    // Listening to the side-chain reduces nothing; an unconnected input gives silence and reads nothing.
    a.controls[Knob::sidechainListen] = 1.0f;
    a.run(512);
    EXPECT_EQ(a.meter, 0.0f);
    descriptor.lv2.connect_port(a.handle, 0, nullptr);
    a.out[0].assign(4096, 1.0f);
    descriptor.lv2.run(a.handle, 4096);
    EXPECT_EQ(a.out[0][4095], 0.0f);
    descriptor.lv2.connect_port(a.handle, 99, nullptr); // no such port: ignored
}

namespace
{
MusicPlugin* createKeyedPlugin()
{
    return new ZaRorurarozePlugin(ZaRorurarozePlugin::KeyInput::stereo);
}
} // namespace

// With a key, every earlier port keeps its index: the key inputs and Sd Source come after the last meter.
// The key drives the detector when Sd Source says so and the host connected it; unconnected, it is as if
// there were none.
TEST(Lv2Adaptor, KeyPortsFollowTheMetersAndDriveTheDetectorWhenChosen)
{
    ZaRorurarozePlugin plugin(ZaRorurarozePlugin::KeyInput::stereo);
    const Lv2PortTable table(plugin, Knob::count);
    using K = Lv2PortTable::PortKind;
    const int lastMeter = 4 + Knob::count + ZaRorurarozeMeter::count - 1; // 50
    const struct
    {
        int port;
        K kind;
        int slot;
    } ports[] = {{0, K::audioInput, 0},       {3, K::audioOutput, 1}, {4, K::control, 0},
                 {14, K::control, Knob::mix}, {15, K::meter, 0},      {lastMeter, K::meter, 35},
                 {51, K::keyInput, 0},        {52, K::keyInput, 1},   {53, K::control, Knob::sidechainSource},
                 {54, K::none, -1},           {-1, K::none, -1}};
    for (const auto& p : ports) {
        EXPECT_EQ(table.port(p.port).kind, p.kind) << p.port;
        EXPECT_EQ(table.port(p.port).slot, p.slot) << p.port;
    }
    EXPECT_EQ(table.audioSymbol(51) + " " + table.audioName(52), "key_left Key Right");
    EXPECT_EQ(table.controls()[Knob::sidechainSource].portIndex, 53);
    EXPECT_EQ(table.controls()[Knob::sidechainSource].kind, Lv2PortTable::Kind::toggle);

    // A loud signal, threshold -20 dB: a silent key reduces nothing; with no key the signal's own detection.
    const auto keyed = MusicPluginLv2Adaptor::describe(uri, &createKeyedPlugin, Knob::count);
    Host host;
    LV2_Handle handle = keyed.lv2.instantiate(&keyed.lv2, 44100.0, "", host.features);
    ASSERT_NE(handle, nullptr);
    std::vector<float> in(512), out[2] = {std::vector<float>(512), std::vector<float>(512)}, key(512, 0.0f);
    for (std::size_t n = 0; n < in.size(); ++n)
        in[n] = static_cast<float>(0.8 * std::sin(0.03 * static_cast<double>(n)));
    std::vector<float> controls;
    for (const auto& c : table.controls())
        controls.push_back(c.defaultValue);
    controls[Knob::threshold] = -20.0f;
    controls[Knob::sidechainSource] = 1.0f;
    float reduction = -1.0f;
    for (uint32_t p = 0; p < 2; ++p) {
        keyed.lv2.connect_port(handle, p, in.data());
        keyed.lv2.connect_port(handle, p + 2, out[p].data());
    }
    for (std::size_t i = 0; i < controls.size(); ++i)
        keyed.lv2.connect_port(handle, static_cast<uint32_t>(table.controls()[i].portIndex), &controls[i]);
    keyed.lv2.connect_port(handle, 15, &reduction);
    for (bool connected : {true, false}) {
        for (uint32_t p = 51; p <= 52; ++p)
            keyed.lv2.connect_port(handle, p, connected ? key.data() : nullptr);
        keyed.lv2.activate(handle);
        for (int block = 0; block < 8; ++block)
            keyed.lv2.run(handle, 512);
        if (connected)
            EXPECT_EQ(reduction, 0.0f) << "silent key";
        else
            EXPECT_GT(reduction, 3.0f) << "key chosen, not connected: the signal's own detection";
    }
    keyed.lv2.cleanup(handle);
}

// A save and a restore through the host carry the VST 2 bank chunk; damaged states change nothing.
TEST(Lv2Adaptor, StateIsTheBankChunkAndDamagedStatesAreRefused)
{
    Host host;
    Instance a(host);
    a.controls[Knob::threshold] = -20.0f;
    a.controls[Knob::attack] = 5.0f; // ms
    a.controls[Knob::mix] = 80.0f;
    a.run(256);
    ASSERT_EQ(a.save(host), LV2_STATE_SUCCESS);
    const Host::Stored saved = host.state.at(host.chunkKey());
    EXPECT_EQ(saved.type, Host::mapUri(&host, LV2_ATOM__String));

    ZaRorurarozePlugin same;
    dynamic_cast<RealParam*>(same.paramList.param(7))->setValue(std::pow(10.0, -1.0));
    dynamic_cast<RealParam*>(same.paramList.param(4))->setValue(0.005);
    dynamic_cast<RealParam*>(same.paramList.param(10))->setValue(0.8);
    EXPECT_EQ(saved.value, PluginState::saveBank(same, 0) + '\0');

    Instance b(host);
    ASSERT_EQ(b.restore(host), LV2_STATE_SUCCESS);
    b.run(16); // the host's ports still at the defaults: they differ from what the state shows, so they apply
    Host copy;
    ASSERT_EQ(b.save(copy), LV2_STATE_SUCCESS);
    EXPECT_NE(copy.state.at(copy.chunkKey()).value, saved.value);

    Instance c(host);
    c.controls = a.controls; // a host restoring the ports beside the state: the state's exact values stay
    ASSERT_EQ(c.restore(host), LV2_STATE_SUCCESS);
    c.run(16);
    Host again;
    ASSERT_EQ(c.save(again), LV2_STATE_SUCCESS);
    EXPECT_EQ(again.state.at(again.chunkKey()).value, saved.value);

    const std::string before = again.state.at(again.chunkKey()).value;
    const LV2_URID stringType = Host::mapUri(&host, LV2_ATOM__String);
    const struct
    {
        std::string value;
        LV2_URID type;
        LV2_State_Status status;
    } damaged[] = {{"", stringType, LV2_STATE_ERR_UNKNOWN},
                   {"Name\n\tnot a bank", stringType, LV2_STATE_ERR_UNKNOWN},
                   {saved.value, Host::mapUri(&host, LV2_ATOM__Int), LV2_STATE_ERR_BAD_TYPE}};
    for (const auto& d : damaged) {
        host.state[host.chunkKey()] = {d.value, d.type};
        EXPECT_EQ(c.restore(host), d.status) << d.value;
        ASSERT_EQ(c.save(again), LV2_STATE_SUCCESS);
        EXPECT_EQ(again.state.at(again.chunkKey()).value, before);
    }
    Host empty;
    EXPECT_EQ(c.restore(empty), LV2_STATE_ERR_NO_PROPERTY);

    Instance withoutMap(host, 48000.0, false);
    EXPECT_EQ(withoutMap.save(host), LV2_STATE_ERR_NO_FEATURE);
    EXPECT_EQ(withoutMap.restore(host), LV2_STATE_ERR_NO_FEATURE);
}

#if ZR_LV2_UI
// The editor's bridge talks through ports alone: a knob position goes out as the port value of the
// parameter it lands on, inside ui:touch; port values come back as knob positions; meters as their values.
TEST(Lv2Ui, GesturesBecomePortWritesAndPortEventsKnobPositions)
{
    struct Record
    {
        std::vector<std::pair<uint32_t, float>> writes;
        std::vector<std::pair<uint32_t, bool>> touches;
    } record;
    LV2UI_Touch touch{&record, [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
                          static_cast<Record*>(h)->touches.push_back({port, grabbed});
                      }};
    const LV2_Feature touchFeature{LV2_UI__touch, &touch};
    const LV2_Feature* features[] = {&touchFeature, nullptr};
    const auto descriptor = MusicPluginLv2Ui::describe("urn:test#ui", &createPlugin, nullptr);
    const auto write = [](LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format,
                          const void* buffer) {
        ASSERT_EQ(size, sizeof(float));
        ASSERT_EQ(format, 0u);
        static_cast<Record*>(c)->writes.push_back({port, *static_cast<const float*>(buffer)});
    };
    MusicPluginLv2Ui ui(descriptor, write, &record, features);
    ZaRorurarozePlugin reference;
    Lv2PortTable table(reference);

    ui.beginEdit(Knob::attack);
    ui.performEdit(Knob::attack, 0.25);
    ui.endEdit(Knob::attack);
    reference.paramList.param(Knob::attack)->setKnobPos(0.25);
    const float expected =
        table.portOfValue(Knob::attack, paramValue(*reference.paramList.param(Knob::attack)));
    const auto port = static_cast<uint32_t>(table.controls()[Knob::attack].portIndex);
    EXPECT_EQ(record.writes, (std::vector<std::pair<uint32_t, float>>{{port, expected}}));
    EXPECT_EQ(record.touches, (std::vector<std::pair<uint32_t, bool>>{{port, true}, {port, false}}));

    const float minus6 = -6.0f;
    ui.portEvent(static_cast<uint32_t>(table.controls()[Knob::outputGain].portIndex), sizeof minus6, 0,
                 &minus6);
    reference.paramList.param(Knob::outputGain)->setKnobPos(0.0);
    static_cast<RealParam*>(reference.paramList.param(Knob::outputGain))
        ->setValue(std::pow(10.0, -6.0f / 20.0));
    EXPECT_EQ(ui.knobPosition(Knob::outputGain), reference.paramList.param(Knob::outputGain)->getKnobPos());

    EXPECT_FALSE(ui.takeMeterReading(0).has_value()) << "nothing heard yet";
    const float reduction = 4.5f;
    ui.portEvent(static_cast<uint32_t>(table.meters()[0].portIndex), sizeof reduction, 0, &reduction);
    EXPECT_EQ(ui.takeMeterReading(0), 4.5);
    EXPECT_EQ(ui.takeMeterReading(0), 4.5) << "kept: hosts send a port only when it changes";
}
#endif
