// The adaptor around small framework plug-ins, in process: block splitting at MIDI events, events living
// for one block, suspend and resume, sample rate and tempo values, programs and chunks.

#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/MusicPluginVstAdaptor.h"
#include "Common/musicplugin/PluginState.h"
#include "Common/musicplugin/RealParam.h"
#include "Common/musicplugin/ValueListener.h"
#include "InProcessHost.h"
#include "MidiEvents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace zr::test;

namespace
{
// Records what the adaptor hands it: "p<frames>" for a sub-block, "m<status>" for a MIDI message, "clear".
class RecordingPlugin : public MusicPlugin
{
public:
    explicit RecordingPlugin(bool midi)
        : MusicPlugin("Rcrd", "Recorder", "Tests", "Recorder Product", 2, 2, midi),
          gain(&paramList, "gain", "Gain", 1.0, 0.0, 4.0), on(&paramList, "on", "On", false)
    {}

    void clear() noexcept override { log.push_back("clear"); }
    void process(const float* const* inputs, float* const* outputs, int sampleFrames) noexcept override
    {
        log.push_back("p" + std::to_string(sampleFrames));
        for (int i = 0; i < sampleFrames; ++i) {
            outputs[0][i] = inputs[0][i] * static_cast<float>(gain.getValue());
            outputs[1][i] = inputs[1][i] * static_cast<float>(gain.getValue());
        }
    }
    void processMidi(const unsigned char* midiData) noexcept override
    {
        log.push_back("m" + std::to_string(static_cast<int>(midiData[0])));
    }

    GainParam gain;
    OnOffParam on;
    std::vector<std::string> log;
};

class Counter : public ValueListener<double>
{
public:
    explicit Counter(std::vector<double>& seen) : seen_(seen) {}
    void valueChanged(double newValue) override { seen_.push_back(newValue); }

private:
    std::vector<double>& seen_;
};

// The adaptor around a recording plug-in, driven through its AEffect record.
struct Fixture : InProcessHost
{
    explicit Fixture(bool midi) : Fixture(new RecordingPlugin(midi)) {}

    // Both channels at 0.5.
    void block(int frames)
    {
        const std::vector<float> in(static_cast<size_t>(frames), 0.5f);
        processReplacing({in, in}, static_cast<size_t>(frames));
    }

    RecordingPlugin* plugin;

private:
    explicit Fixture(RecordingPlugin* recording) : InProcessHost(recording), plugin(recording) {}
};

using Log = std::vector<std::string>;
} // namespace

TEST(AdaptorTest, BlocksSplitAtMidiEventPositions)
{
    struct Case
    {
        const char* what;
        std::vector<std::pair<VstInt32, unsigned char>> events;
        Log expected;
    };
    const Case cases[] = {
        {"no events", {}, {"p64"}},
        {"two events", {{16, 0x90}, {48, 0x80}}, {"p16", "m144", "p32", "m128", "p16"}},
        {"same position", {{16, 0x90}, {16, 0x80}}, {"p16", "m144", "m128", "p48"}},
        {"at zero", {{0, 0x90}}, {"m144", "p64"}},
        {"beyond the block", {{100, 0x90}}, {"p64", "m144"}},
        {"before the current position",
         {{32, 0x90}, {8, 0x80}, {-3, 0xB0}},
         {"p32", "m144", "m128", "m176", "p32"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f(true);
        MidiEvents events(c.events);
        f.dispatch(effProcessEvents, 0, 0, events.events());
        f.block(64);
        EXPECT_EQ(f.plugin->log, c.expected);
        // Events are delivered to one block only.
        f.plugin->log.clear();
        f.block(64);
        EXPECT_EQ(f.plugin->log, Log({"p64"}));
    }
}

TEST(AdaptorTest, NonMidiEventsAndPluginsWithoutMidiDoNotSplit)
{
    Fixture noMidi(false);
    MidiEvents events({{16, 0x90}});
    noMidi.dispatch(effProcessEvents, 0, 0, events.events());
    noMidi.block(64);
    EXPECT_EQ(noMidi.plugin->log, Log({"p64"}));

    Fixture midi(true);
    MidiEvents sysex({{16, 0xF0}});
    sysex.midi[0].type = kVstSysExType;
    midi.dispatch(effProcessEvents, 0, 0, sysex.events());
    midi.block(64);
    EXPECT_EQ(midi.plugin->log, Log({"p64"}));
}

TEST(AdaptorTest, SuspendAndResumeForgetPendingEvents)
{
    for (VstIntPtr mains : {VstIntPtr(0), VstIntPtr(1)}) {
        Fixture f(true);
        MidiEvents events({{16, 0x90}});
        f.dispatch(effProcessEvents, 0, 0, events.events());
        f.dispatch(effMainsChanged, 0, mains);
        f.block(64);
        Log expected = mains == 0 ? Log({"clear", "p64"}) : Log({"p64"});
        EXPECT_EQ(f.plugin->log, expected);
    }
    // Resume asks a MIDI plug-in's host for events.
    Fixture f(true);
    f.hostCalls.clear();
    f.dispatch(effMainsChanged, 0, 1);
    EXPECT_TRUE(std::any_of(f.hostCalls.begin(), f.hostCalls.end(),
                            [](const HostCall& call) { return call.opcode == audioMasterWantMidi; }));
    char midiCan[] = "receiveVstMidiEvent";
    EXPECT_EQ(f.dispatch(effCanDo, 0, 0, midiCan), 1);
}

TEST(AdaptorTest, SampleRateAndTempoNotifyOnlyOnChange)
{
    Fixture f(false);
    std::vector<double> rates, tempos;
    f.plugin->sampleRate.addValueListener(new Counter(rates));
    f.plugin->tempo.addValueListener(new Counter(tempos));
    f.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    f.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    f.dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f);
    EXPECT_EQ(rates, std::vector<double>({44100.0, 48000.0, 96000.0})); // the first is the registration
    EXPECT_EQ(f.adaptor().getSampleRate(), 96000.0f);
    EXPECT_EQ(f.adaptor().getBlockSize(), 256);

    f.timeInfo.tempo = 140.0;
    f.timeInfo.flags = 0; // not valid: ignored
    f.block(16);
    f.timeInfo.flags = kVstTempoValid;
    f.block(16);
    f.block(16);
    EXPECT_EQ(tempos, std::vector<double>({60.0, 140.0}));
}

TEST(AdaptorTest, ProgramChangesKeepEditsPerProgram)
{
    Fixture f(false);
    // A bank of three programs arrives through a bank chunk.
    std::string bank = "presetList\n\tPreset\n\t\tName\n\t\t\tOne\n\t\tParameterList\n\t\t\tgain\n\t\t\t\t2\n"
                       "\tPreset\n\t\tName\n\t\t\tTwo\n\t\tParameterList\n\t\t\tgain\n\t\t\t\t3\n"
                       "\tPreset\n\t\tName\n\t\t\tThree\n\t\tParameterList\n\t\t\ton\n\t\t\t\ttrue";
    std::vector<char> bytes(bank.begin(), bank.end());
    bytes.push_back('\0');
    EXPECT_EQ(f.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bytes.size()), bytes.data()), 1);
    EXPECT_EQ(f.plugin->gain.getValue(), 2.0);
    EXPECT_EQ(f.plugin->presetBank.presetList.size(), 3u); // the list grows; the count announced stays

    f.setKnob(0, 0.25f); // edit program 0
    double edited = f.plugin->gain.getValue();
    f.adaptor().setProgram(1);
    EXPECT_EQ(f.plugin->gain.getValue(), 3.0);
    EXPECT_FALSE(f.plugin->on.getValue());
    f.adaptor().setProgram(2);
    EXPECT_EQ(f.plugin->gain.getValue(), 1.0); // missing from the program: default
    EXPECT_TRUE(f.plugin->on.getValue());
    f.adaptor().setProgram(0);
    EXPECT_EQ(f.plugin->gain.getValue(), edited);

    // copyProgram copies the program as last stored, not the edit made since.
    f.setKnob(0, 1.0f);
    EXPECT_TRUE(f.adaptor().copyProgram(1));
    EXPECT_EQ(f.plugin->presetBank.presetList[1].values["gain"],
              f.plugin->presetBank.presetList[0].values["gain"]);
    EXPECT_NE(f.plugin->presetBank.presetList[1].values["gain"], "4");

    char name[40];
    EXPECT_TRUE(f.adaptor().getProgramNameIndexed(99, 2, name));
    EXPECT_STREQ(name, "Three");
    char product[80];
    EXPECT_TRUE(f.adaptor().getProductString(product));
    EXPECT_STREQ(product, "Recorder Product");
}

TEST(AdaptorTest, ChunkBufferBelongsToTheAdaptorUntilTheNextRequest)
{
    Fixture f(false);
    void* first = nullptr;
    VstIntPtr firstBytes = f.dispatch(effGetChunk, 1, 0, &first);
    std::string firstText(static_cast<const char*>(first));
    EXPECT_EQ(firstBytes, static_cast<VstIntPtr>(firstText.size() + 1));
    f.setKnob(0, 1.0f);
    void* second = nullptr;
    f.dispatch(effGetChunk, 1, 0, &second);
    EXPECT_NE(std::string(static_cast<const char*>(second)), firstText);
    EXPECT_NE(std::string(static_cast<const char*>(second)).find("\t\t4"), std::string::npos);
}

// The bridges that store one string write the VST 2 chunks byte for byte, and read them back the same way.
TEST(AdaptorTest, PluginStateTextsEqualTheChunks)
{
    Fixture f(false);
    f.setKnob(0, 0.3f);
    f.setKnob(1, 1.0f);
    RecordingPlugin other(false);
    other.gain.setValue(f.plugin->gain.getValue());
    other.on.setValue(true);
    for (bool isPreset : {true, false}) {
        void* chunk = nullptr;
        f.dispatch(effGetChunk, isPreset ? 1 : 0, 0, &chunk);
        const std::string text =
            isPreset ? PluginState::saveProgram(other, 0) : PluginState::saveBank(other, 0);
        EXPECT_EQ(text, static_cast<const char*>(chunk));
    }

    RecordingPlugin restored(false);
    EXPECT_TRUE(PluginState::loadBank(restored, 0, PluginState::saveBank(other, 0)));
    EXPECT_EQ(restored.gain.getValue(), other.gain.getValue());
    EXPECT_TRUE(restored.on.getValue());
    EXPECT_FALSE(PluginState::loadBank(restored, 0, "Name\n\tX")); // no presetList: refused, nothing changes
    EXPECT_TRUE(restored.on.getValue());
    EXPECT_TRUE(PluginState::loadProgram(restored, 0, "Name\n\tX\nParameterList\n\tgain\n\t\t2"));
    EXPECT_EQ(restored.gain.getValue(), 2.0);
    EXPECT_FALSE(restored.on.getValue()); // absent from the program: default
    EXPECT_EQ(PluginState::saveBank(restored, 5), "");
    EXPECT_FALSE(PluginState::loadProgram(restored, -1, "Name\n\tX"));
}

// The meters reach an open editor as the largest reading since it last took them, and only while one is
// open; what piled up while it was closed is dropped on the first block after it opens. Blocks of 2048
// frames: each is more than the 1/30 s of audio between two readings.
TEST(AdaptorTest, MeterFeedCarriesTheLargestReadingWhileWanted)
{
    class Metered : public RecordingPlugin
    {
    public:
        Metered() : RecordingPlugin(false) {}
        int numMeters() const override { return 1; }
        double takeMeterReading(int) noexcept override { return readings.empty() ? 0.0 : readings[taken++]; }
        std::vector<double> readings;
        std::size_t taken = 0;
    };
    auto* plugin = new Metered;
    InProcessHost host(plugin);
    host.start(44100.0f, 2048);
    const Stereo block{std::vector<float>(2048, 0.5f), std::vector<float>(2048, 0.5f)};
    MeterFeed& feed = host.adaptor().meterFeed();
    plugin->readings = {9.0};
    host.processReplacing(block, 2048);
    EXPECT_EQ(plugin->taken, 0u) << "no readings taken while no editor wants them";
    feed.setWanted(true);
    plugin->readings = {9.0, 3.0, 7.0, 2.0};
    for (int i = 0; i < 4; ++i)
        host.processReplacing(block, 2048);
    EXPECT_EQ(feed.take(0), 7.0) << "9 piled up before; then the largest of 3, 7 and 2";
    EXPECT_FALSE(feed.take(0).has_value()) << "nothing processed since";
    EXPECT_FALSE(feed.take(1).has_value()) << "no such meter";
}
