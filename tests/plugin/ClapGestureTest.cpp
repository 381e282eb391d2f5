// The CLAP adaptor's side of an editor, without a window: gestures reach the live plug-in and the host (as
// begin, values and end) from flush or process, also while the audio thread runs (under ThreadSanitizer in
// the concurrency suite), a full queue never loses a begin or an end, and the meters reach an editor while
// it wants them; on Linux, no editor for a host without timers.

#include "Common/clap/MusicPluginClapAdaptor.h"
#if ZR_TEST_CLAP_GUI
#include "Common/clap/MusicPluginClapGui.h"
#include "editor/ZaRorurarozeEditor.h"
#endif
#include "ZaRorurarozeParam.h"
#include "ZaRorurarozePlugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Adaptor = MusicPluginClapAdaptor;
using Log = std::vector<std::string>;
constexpr int gain = ZaRorurarozeParam::outputGain;
constexpr int mix = ZaRorurarozeParam::mix;
// The values a full queue holds: its room less a gesture's begin and end.
constexpr int queued = Adaptor::gestureCapacity - 2;

int flushRequests = 0;
const clap_host_params_t hostParams = {nullptr, nullptr, [](const clap_host_t*) { ++flushRequests; }};
const clap_host_t host = {CLAP_VERSION_INIT,
                          nullptr,
                          "test",
                          "",
                          "",
                          "1",
                          [](const clap_host_t*, const char* id) -> const void* {
                              return std::strcmp(id, CLAP_EXT_PARAMS) == 0 ? &hostParams : nullptr;
                          },
                          nullptr,
                          nullptr,
                          nullptr};
const clap_plugin_descriptor_t descriptor = {
    CLAP_VERSION_INIT, "test.gestures", "Gestures", "", "", "", "", "1", "", nullptr};

// The parameter events the adaptor sends, as "begin 9", "value 9 0.25", "end 9".
struct Out
{
    Log log;
    clap_output_events_t list{
        this, [](const clap_output_events_t* l, const clap_event_header_t* e) {
            auto& self = *static_cast<Out*>(l->ctx);
            const auto* gesture = reinterpret_cast<const clap_event_param_gesture_t*>(e);
            const auto* value = reinterpret_cast<const clap_event_param_value_t*>(e);
            if (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN)
                self.log.push_back("begin " + std::to_string(gesture->param_id));
            if (e->type == CLAP_EVENT_PARAM_GESTURE_END)
                self.log.push_back("end " + std::to_string(gesture->param_id));
            if (e->type == CLAP_EVENT_PARAM_VALUE && value->param_id < Adaptor::firstMeterId)
                self.log.push_back("value " + std::to_string(value->param_id) + " " +
                                   std::to_string(value->value));
            return true;
        }};
};
// One block of 64 frames at a constant level.
void process(Adaptor& adaptor, Out& out, float level)
{
    std::vector<float> in(64, level), left(64), right(64);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {left.data(), right.data()};
    clap_audio_buffer_t inBuffer{ins, nullptr, 2, 0, 0};
    clap_audio_buffer_t outBuffer{outs, nullptr, 2, 0, 0};
    clap_process_t process{};
    process.frames_count = 64;
    process.audio_inputs = &inBuffer;
    process.audio_outputs = &outBuffer;
    process.audio_inputs_count = process.audio_outputs_count = 1;
    process.out_events = &out.list;
    EXPECT_EQ(adaptor.process(&process), CLAP_PROCESS_CONTINUE);
}
} // namespace

TEST(ClapGestureTest, GesturesReachThePlugInAndTheHostWhole)
{
    Log full{"begin 9"};
    for (int i = 1; i <= queued; ++i)
        full.push_back("value 9 " + std::to_string(i / 1000.0));
    full.insert(full.end(), {"value 9 0.999000", "end 9"});
    const struct
    {
        const char* name;
        bool active;
        std::function<void(Adaptor&)> edit;
        Log sent;
        double lastGain;
    } cases[] = {
        {"a drag, flushed while inactive",
         false,
         [](Adaptor& a) {
             a.beginGesture(gain);
             a.gestureValue(gain, 0.5);
             a.gestureValue(gain, 0.25);
             a.endGesture(gain);
         },
         {"begin 9", "value 9 0.500000", "value 9 0.250000", "end 9"},
         0.25},
        {"a click and a drag cut short, sent by the next block",
         true,
         [](Adaptor& a) {
             a.beginGesture(mix);
             a.gestureValue(mix, 0.5);
             a.endGesture(mix);
             a.beginGesture(gain);
             a.gestureValue(gain, 2.0);
             a.endGestures();
         },
         {"begin 10", "value 10 0.500000", "end 10", "begin 9", "value 9 2.000000", "end 9"},
         2.0},
        {"a full queue: the middle values dropped, the last carried by the end; no room for another begin "
         "and its end beside the first gesture's end",
         false,
         [](Adaptor& a) {
             a.beginGesture(gain);
             for (int i = 1; i < 1000; ++i) {
                 a.gestureValue(gain, i / 1000.0);
                 // Two entries left: one for a value, one for the end.
                 if (i == queued - 1) a.beginGesture(mix);
             }
             a.gestureValue(mix, 0.5);
             a.endGesture(mix);
             a.endGesture(gain);
         },
         full, 0.999},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Adaptor adaptor(&descriptor, &host, std::make_unique<ZaRorurarozePlugin>(),
                        std::make_unique<ZaRorurarozePlugin>());
        ASSERT_TRUE(adaptor.init());
        ASSERT_TRUE(!c.active || adaptor.activate(48000.0, 1, 64));
        flushRequests = 0;
        c.edit(adaptor);
        EXPECT_GT(flushRequests, 0);
        double held = 0.0;
        adaptor.paramValue(gain, &held);
        EXPECT_EQ(held, 1.0) << "nothing applied before the flush";
        EXPECT_EQ(adaptor.editorValue(gain), c.lastGain) << "the editor shows what it sent";
        Out out;
        if (c.active)
            process(adaptor, out, 0.0f);
        else
            adaptor.flush(nullptr, &out.list);
        EXPECT_EQ(out.log, c.sent);
        adaptor.paramValue(gain, &held);
        EXPECT_EQ(held, c.lastGain) << "applied as a host event is";
        out.log.clear();
        adaptor.flush(nullptr, &out.list);
        EXPECT_TRUE(out.log.empty()) << "each sent once";
    }
}

// The meters only an editor shows are taken while one wants them; what piled up before is not shown.
TEST(ClapGestureTest, MetersReachAnEditorWhileItWantsThem)
{
    using Meter = ZaRorurarozeMeter;
    Adaptor adaptor(&descriptor, &host, std::make_unique<ZaRorurarozePlugin>(),
                    std::make_unique<ZaRorurarozePlugin>());
    ASSERT_TRUE(adaptor.init() && adaptor.activate(48000.0, 1, 64));
    Out out;
    MeterFeed& feed = adaptor.meterFeed();
    process(adaptor, out, 1.0f); // a peak at 0 dBFS while no editor is open
    feed.setWanted(true);
    process(adaptor, out, 0.5f);
    EXPECT_FALSE(feed.take(Meter::inputLevel).has_value()) << "the first block only clears";
    // The editor's meters are read 30 times a second of audio: 1/30 s is 25 blocks of 64 frames at 48 kHz.
    for (int block = 0; block < 25; ++block)
        process(adaptor, out, 0.5f);
    const std::optional<double> input = feed.take(Meter::inputLevel);
    ASSERT_TRUE(input.has_value());
    EXPECT_NEAR(*input, -6.02, 0.01) << "20 log10(0.5), not the 0 dB before";
    EXPECT_TRUE(feed.take(Meter::firstBand).has_value());
    feed.setWanted(false);
    process(adaptor, out, 0.5f);
    EXPECT_FALSE(feed.take(Meter::inputLevel).has_value());
}

// Gestures while the audio thread runs blocks: each reaches the host whole and in order, whatever the
// queue had to drop, and the host hears last the value the plug-in holds.
TEST(ClapGestureTest, GesturesWhileAudioRuns)
{
    Adaptor adaptor(&descriptor, &host, std::make_unique<ZaRorurarozePlugin>(),
                    std::make_unique<ZaRorurarozePlugin>());
    ASSERT_TRUE(adaptor.init() && adaptor.activate(48000.0, 1, 64));
    Out out;
    std::atomic<bool> done{false};
    // Counted relaxed: the wait for a block below orders nothing that ThreadSanitizer should not check.
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        while (!done.load()) {
            process(adaptor, out, 0.1f);
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
        process(adaptor, out, 0.1f);
    });
    for (int g = 0; g < 300; ++g) {
        const int before = blocks.load(std::memory_order_relaxed);
        // Two gestures in three wait for a block, so blocks take gestures as they come; the third overfills
        // the queue.
        const int values = g % 3 == 0 ? 2 * Adaptor::gestureCapacity : 30;
        adaptor.beginGesture(gain);
        for (int i = 1; i <= values; ++i)
            adaptor.gestureValue(gain, (g % 2 == 0 ? i : values + 1 - i) / 1000.0);
        adaptor.endGesture(gain);
        while (g % 3 != 0 && blocks.load(std::memory_order_relaxed) <= before + 1)
            std::this_thread::yield();
    }
    done.store(true);
    audio.join();
    ASSERT_FALSE(out.log.empty());
    bool open = false;
    for (const std::string& line : out.log) {
        const bool begin = line == "begin 9";
        // A begin only between gestures; values and the end only inside one.
        ASSERT_EQ(open, !begin) << line;
        open = begin || (open && line != "end 9");
    }
    EXPECT_EQ(out.log.back(), "end 9");
    double held = 0.0;
    adaptor.paramValue(gain, &held);
    EXPECT_EQ(out.log[out.log.size() - 2], "value 9 " + std::to_string(held));
}

#if ZR_TEST_CLAP_GUI
// On Linux the editor runs on the host's timers: a host without them gets a clear no.
TEST(ClapGestureTest, NoEditorForAHostWithoutTimers)
{
    Adaptor adaptor(&descriptor, &host, std::make_unique<ZaRorurarozePlugin>(),
                    std::make_unique<ZaRorurarozePlugin>());
    adaptor.setGui(std::make_unique<MusicPluginClapGui>(
        adaptor, []() -> MusicPlugin* { return new ZaRorurarozePlugin; }, &ZaRorurarozeEditor::create));
    ASSERT_TRUE(adaptor.init());
    const auto* gui = static_cast<const clap_plugin_gui_t*>(adaptor.extension(CLAP_EXT_GUI));
    ASSERT_NE(gui, nullptr);
    const clap_plugin_t* plugin = adaptor.clapPlugin();
    EXPECT_TRUE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
    std::uint32_t width = 0, height = 0;
    EXPECT_FALSE(gui->get_size(plugin, &width, &height));
}
#endif
