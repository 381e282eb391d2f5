// The factory presets: the checked-in files are what the table generates, each loads in the render tool
// with the state it claims, and each does on the demo music what its name says.

#include "Common/musicplugin/PluginState.h"
#include "Common/musicplugin/PresetBank.h"
#include "ToolRunner.h"
#include "ZaRorurarozePlugin.h"
#include "presets/FactoryPresets.h"
#include "tools/render/FxPreset.h"
#include "tools/render/TransferCurve.h"
#include "tools/render/VstHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

using namespace zr::test;

namespace
{
const std::string bankFile = std::string(ZR_PRESETS_DIR) + "/zaroruraroze-factory.fxb";

std::string programFile(const FactoryPreset& preset)
{
    return std::string(ZR_PRESETS_DIR) + "/" + preset.slug + ".fxp";
}

const FactoryPreset& preset(const std::string& slug)
{
    for (const FactoryPreset& p : factoryPresets())
        if (p.slug == slug) return p;
    throw std::runtime_error("no factory preset " + slug);
}

// The render tool's summary of the demo music through a preset, with settings on top.
struct Summary
{
    double inputRmsDbfs = 0.0;
    double outputPeakDbfs = -1e9; // the louder channel
    double outputRmsDbfs = 0.0;
    double largestReductionDb = 0.0;
    double averageReductionDb = 0.0;
};

Summary renderDemo(const FactoryPreset& p, const std::vector<std::string>& settings = {})
{
    ScratchFolder dir;
    EXPECT_EQ(runProgram(ZR_DEMO_SIGNAL_TOOL, {dir.path("demo.wav")}).exitCode, 0);
    std::vector<std::string> args = {"--preset", programFile(p)};
    for (const std::string& s : settings)
        args.insert(args.end(), {"--set", s});
    args.insert(args.end(), {"--float", dir.path("demo.wav"), dir.path("out.wav")});
    const ToolResult result = runRealRender(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    Summary s;
    double peak = 0.0, rms = 0.0;
    char channel[16];
    std::size_t at = 0;
    while ((at = result.out.find("  ", at)) != std::string::npos) {
        const char* line = result.out.c_str() + at;
        at = result.out.find('\n', at);
        if (std::sscanf(line, " input %15s %lf %lf", channel, &peak, &rms) == 3) s.inputRmsDbfs = rms;
        if (std::sscanf(line, " output %15s %lf %lf", channel, &peak, &rms) == 3) {
            s.outputPeakDbfs = std::max(s.outputPeakDbfs, peak);
            s.outputRmsDbfs = rms;
        }
        std::sscanf(line, " gain reduction: largest %lf dB, average %lf dB", &s.largestReductionDb,
                    &s.averageReductionDb);
    }
    return s;
}

// Output minus input level of a 1 kHz sine, dB, by input level (dBFS peak).
std::map<int, double> curveGains(const FactoryPreset& p)
{
    zr::host::VstHost host(ZR_REAL_PLUGIN);
    host.setSampleRate(44100.0);
    host.setBlockSize(512);
    zr::host::applyFxPreset(host, zr::host::readFxPresetFile(programFile(p)));
    zr::host::CurveSweep sweep;
    sweep.fromDbfs = -60.0;
    sweep.toDbfs = 0.0;
    sweep.stepDb = 6.0;
    std::map<int, double> gains;
    for (const zr::host::CurvePoint& point : zr::host::measureTransferCurve(host, sweep))
        gains[static_cast<int>(std::lround(point.inputDbfs))] = point.outputDbfs - point.inputDbfs;
    return gains;
}
} // namespace

TEST(FactoryPresets, CheckedInFilesAreWhatTheTableGenerates)
{
    ScratchFolder dir;
    const ToolResult made = runProgram(ZR_FACTORY_PRESET_TOOL, {dir.root()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    std::vector<std::string> expected = {"zaroruraroze-factory.fxb"};
    for (const FactoryPreset& p : factoryPresets())
        expected.insert(expected.end(), {p.slug + ".fxp", "vst3/" + p.name + ".vstpreset"});
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.root()))
        if (entry.is_regular_file())
            names.push_back(std::filesystem::relative(entry.path(), dir.root()).generic_string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names, expected);
    for (const std::string& name : names)
        EXPECT_EQ(readBytes(dir.path(name)), readBytes(std::string(ZR_PRESETS_DIR) + "/" + name))
            << name << " is stale: build the update-factory-presets target";
}

// The state text is the in-process plug-in's after the preset, its values those of the table, and the
// plug-in binary saves the file back byte for byte, so the file is exactly its own program chunk.
TEST(FactoryPresets, EachProgramFileLoadsWithTheStateItClaims)
{
    ASSERT_GE(factoryPresets().size(), 8u);
    for (const FactoryPreset& p : factoryPresets()) {
        SCOPED_TRACE(p.slug);
        EXPECT_LE(p.name.size(), 24u);
        ScratchFolder dir;
        const ToolResult loaded = runRealRender(
            {"--preset", programFile(p), "--print-state", "--save-preset", dir.path("copy.fxp")});
        ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
        ZaRorurarozePlugin plugin;
        loadFactoryPreset(plugin, p, 0);
        EXPECT_EQ(loaded.out, PluginState::saveProgram(plugin, 0) + "\n");
        const auto values = stateValues(loaded.out);
        for (const auto& [key, value] : p.settings) {
            const auto found =
                std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == key; });
            ASSERT_NE(found, values.end()) << key;
            EXPECT_DOUBLE_EQ(found->second, value) << key;
        }
        EXPECT_EQ(readBytes(dir.path("copy.fxp")), readBytes(programFile(p)));
    }
}

TEST(FactoryPresets, BankHoldsEveryPresetInOrderAndStartsWithTheFirst)
{
    ScratchFolder dir;
    const ToolResult loaded =
        runRealRender({"--preset", bankFile, "--print-state", "--save-preset", dir.path("copy.fxb")});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ(readBytes(dir.path("copy.fxb")), readBytes(bankFile));
    ZaRorurarozePlugin first;
    loadFactoryPreset(first, factoryPresets().front(), 0);
    EXPECT_EQ(loaded.out, PluginState::saveProgram(first, 0) + "\n");

    const zr::host::FxPreset bank = zr::host::readFxPresetFile(bankFile);
    PresetBank programs;
    programs.load(std::string(bank.chunk.data()));
    ASSERT_EQ(programs.presetList.size(), factoryPresets().size());
    for (std::size_t i = 0; i < programs.presetList.size(); ++i) {
        ZaRorurarozePlugin plugin;
        loadFactoryPreset(plugin, factoryPresets()[i], 0);
        EXPECT_EQ(programs.presetList[i].save(), PluginState::saveProgram(plugin, 0));
    }
}

// Each preset's purpose in numbers on the demo music (10 s; input peak -1 dBFS, RMS -16.4 dBFS). Gain
// reduction is the render tool's (input minus output level), with Out Gain at 0 dB where the make-up
// would hide it.
TEST(FactoryPresets, DoOnTheDemoWhatTheirNamesSay)
{
    const std::string noMakeUp = "Out Gain=0dB";
    {
        SCOPED_TRACE("glue: a few dB on average, never much");
        const Summary s = renderDemo(preset("bus-glue"), {noMakeUp});
        EXPECT_NEAR(s.averageReductionDb, 2.0, 1.0);
        EXPECT_LT(s.largestReductionDb, 6.0);
    }
    {
        SCOPED_TRACE("vocal leveller: steady levelling");
        const Summary s = renderDemo(preset("vocal-leveller"), {noMakeUp});
        EXPECT_NEAR(s.averageReductionDb, 3.5, 1.5);
        EXPECT_LT(s.largestReductionDb, 10.0);
    }
    {
        SCOPED_TRACE("drum punch: the slow attack lets the hits through");
        const Summary slow = renderDemo(preset("drum-punch"), {noMakeUp});
        const Summary fast = renderDemo(preset("drum-punch"), {noMakeUp, "Attack=1ms"});
        EXPECT_LT(slow.largestReductionDb, fast.largestReductionDb - 2.0);
    }
    {
        SCOPED_TRACE("bass tamer: works on the low end, leaves a 1 kHz tone alone");
        const Summary s = renderDemo(preset("bass-tamer"), {noMakeUp});
        EXPECT_GT(s.averageReductionDb, 3.0);
        const auto gains = curveGains(preset("bass-tamer"));
        const double makeUpDb = 20.0 * std::log10(preset("bass-tamer").valueOr("outputGain", 1.0));
        EXPECT_NEAR(gains.at(-6), makeUpDb, 0.5);
    }
    {
        SCOPED_TRACE("near limiter: peaks below -1 dBFS, louder than the input");
        const Summary s = renderDemo(preset("near-limiter"));
        EXPECT_LT(s.outputPeakDbfs, -1.0);
        EXPECT_GT(s.outputRmsDbfs, s.inputRmsDbfs + 1.0);
    }
    {
        SCOPED_TRACE("parallel crush: a crushed wet signal, quiet detail raised, the hits kept");
        const Summary wet = renderDemo(preset("parallel-crush"), {"Mix=100%", noMakeUp});
        EXPECT_GT(wet.averageReductionDb, 20.0);
        const Summary mixed = renderDemo(preset("parallel-crush"));
        EXPECT_LT(mixed.averageReductionDb, 5.0);
        EXPECT_GT(curveGains(preset("parallel-crush")).at(-60), 6.0);
    }
    {
        SCOPED_TRACE("kick-proof glue: the side-chain high-pass takes most of the reduction away");
        const Summary proof = renderDemo(preset("kick-proof-glue"), {noMakeUp});
        const Summary plain = renderDemo(preset("kick-proof-glue"), {noMakeUp, "Side HP=20Hz"});
        EXPECT_GT(plain.averageReductionDb, 2.5 * proof.averageReductionDb);
        EXPECT_LT(proof.averageReductionDb, 2.5);
    }
    {
        SCOPED_TRACE("peak catcher: hardly ever acts, a dB or two when it does");
        const Summary s = renderDemo(preset("peak-catcher"));
        EXPECT_LT(s.averageReductionDb, 0.6);
        EXPECT_GT(s.largestReductionDb, 1.0);
        EXPECT_LT(s.largestReductionDb, 4.0);
    }
}
