#pragma once
// Presents one MusicPlugin to a CLAP host: audio ports (a side-chain port for a plug-in's key after the main
// one), the parameters in ParamList order with their IDs
// equal to their index, the meters a host may show as read-only parameters after them, and the state as
// the bank chunk text a VST 2 host stores, so a session can move between formats by its chunk.
//
// Threads, as CLAP defines them and real hosts behave (a state load while audio runs; no stop_processing
// or on_main_thread guaranteed): the audio thread owns the live plug-in while it is active and is never
// locked; the main thread owns it while inactive. The main thread keeps a shadow instance for texts and
// the state. Values the audio thread applies are published through a ValueSnapshot; a loaded state's
// values travel the other way through another one, which the audio thread takes at its next block. An
// editor's gestures reach the live plug-in the same way a host's events do, through a GestureQueue drained
// by whoever owns it (process, or flush while inactive), and go out to the host from there.

#include "Common/clap/ClapPluginGui.h"
#include "Common/clap/GestureQueue.h"
#include "Common/musicplugin/MeterFeed.h"
#include "Common/musicplugin/ValueSnapshot.h"

#include <clap/ext/audio-ports.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/plugin.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MusicPlugin;
class Param;

class MusicPluginClapAdaptor
{
public:
    // The first meter's parameter ID; a meter's ID is this plus its index among the plug-in's meters, so
    // parameters added later never move it.
    static constexpr clap_id firstMeterId = 0x10000;
    // Sample rates activate accepts, Hz; others are refused as damaged host input.
    static constexpr double lowestSampleRate = 1000.0;
    static constexpr double highestSampleRate = 1536000.0;
    // Longest state stream load reads; a longer one is refused.
    static constexpr std::size_t maxStateBytes = 1u << 24;
    // Gesture entries an editor may queue between two blocks (or flushes).
    static constexpr int gestureCapacity = 256;

    // effect and shadow: two new instances of one plug-in. Throws std::logic_error when they differ.
    MusicPluginClapAdaptor(const clap_plugin_descriptor_t* descriptor, const clap_host_t* host,
                           std::unique_ptr<MusicPlugin> effectInstance,
                           std::unique_ptr<MusicPlugin> shadowInstance);
    ~MusicPluginClapAdaptor();
    MusicPluginClapAdaptor(const MusicPluginClapAdaptor&) = delete;
    MusicPluginClapAdaptor& operator=(const MusicPluginClapAdaptor&) = delete;

    // The host's handle: its callbacks are the adaptor's, and destroy deletes the adaptor.
    const clap_plugin_t* clapPlugin() const { return &clap; }

    // The plug-in's interface, each on the thread CLAP names; none throws.
    bool init() noexcept;
    bool activate(double sampleRateHz, std::uint32_t minFrames, std::uint32_t maxFrames) noexcept;
    void deactivate() noexcept;
    bool startProcessing() noexcept;
    void reset() noexcept;
    clap_process_status process(const clap_process_t* process) noexcept;
    const void* extension(const char* id) const noexcept;

    std::uint32_t audioPortCount(bool isInput) const noexcept;
    bool audioPortInfo(std::uint32_t index, bool isInput, clap_audio_port_info_t* info) const noexcept;

    std::uint32_t paramCount() const noexcept;
    bool paramInfo(std::uint32_t index, clap_param_info_t* info) const noexcept;
    bool paramValue(clap_id id, double* value) const noexcept;
    bool valueToText(clap_id id, double value, char* text, std::uint32_t size) noexcept;
    bool textToValue(clap_id id, const char* text, double* value) noexcept;
    void flush(const clap_input_events_t* in, const clap_output_events_t* out) noexcept;

    bool saveState(const clap_ostream_t* stream) noexcept;
    bool loadState(const clap_istream_t* stream) noexcept;

    // The editor's side, where the build has one (set once, by the factory).
    void setGui(std::unique_ptr<ClapPluginGui> gui) { guiPart = std::move(gui); }
    ClapPluginGui* gui() const { return guiPart.get(); }
    const clap_host_t* clapHost() const { return host; }

    // Main thread, for an editor: one gesture's begin, values (plain, as a parameter holds them) and end,
    // each followed by a request for a flush; the end of every gesture begun (the editor is going away);
    // the value to show (a gesture's not yet applied, a loaded state's not yet taken, else the value the
    // live plug-in holds); the meters, which it takes while an editor wants them.
    void beginGesture(int index) noexcept;
    void gestureValue(int index, double value) noexcept;
    void endGesture(int index) noexcept;
    void endGestures() noexcept;
    double editorValue(int index) const noexcept;
    MeterFeed& meterFeed() { return meters; }

private:
    struct MeterRange
    {
        double minValue;
        double maxValue;
    };
    struct Port
    {
        std::string name;
        int firstChannel;
        int channelCount;
        bool isMain;
    };
    bool onMainThread() const noexcept;
    bool isActive() const noexcept { return active.load(std::memory_order_acquire); }
    // The owner of the live plug-in (the audio thread while active) takes a loaded state's values.
    void applyLoadedState() noexcept;
    void applyEvents(const clap_input_events_t* in) noexcept;
    void applyEvent(const clap_event_header_t* event) noexcept;
    // A value set on the live plug-in and published; answers what the parameter then holds.
    double applyValue(std::size_t index, double value) noexcept;
    // The editor's gestures on the live plug-in, told to the host through out (when it has one).
    void applyGestures(const clap_output_events_t* out) noexcept;
    void requestFlush() const noexcept;
    void applyTransport(const clap_event_transport_t& transport) noexcept;
    void runAudio(const clap_process_t* process, std::uint32_t offset, std::uint32_t frames) noexcept;
    void sendMeters(const clap_process_t* process) noexcept;
    // Main thread: whether the audio thread has yet to take the state loaded last.
    bool loadPending() const noexcept
    {
        return loadsTaken.load(std::memory_order_acquire) != loadsOffered.load(std::memory_order_relaxed);
    }
    // The main thread's view: a loaded state not yet taken by the audio thread, else what it published.
    void currentValues(double* values) const noexcept;
    double currentValue(std::size_t index) const noexcept;
    // The meter a parameter ID names, or -1.
    int exposedMeterOf(clap_id id) const noexcept;

    clap_plugin_t clap;
    const clap_host_t* host;
    const clap_host_thread_check_t* threadCheck = nullptr;
    const clap_host_params_t* hostParams = nullptr;
    bool initialised = false;
    std::atomic<bool> active{false};

    std::unique_ptr<MusicPlugin> effect;
    std::unique_ptr<MusicPlugin> shadow;
    std::vector<Param*> effectParams;
    std::vector<Param*> shadowParams;
    std::vector<Port> inputPorts;
    std::vector<Port> outputPorts;
    // The plug-in's meters that a host's generic interface shows, by their index among its meters, and
    // the others, which only an editor shows.
    std::vector<int> exposedMeters;
    std::vector<int> editorMeters;
    std::vector<MeterRange> meterRanges;

    // A new plug-in's values, the defaults of its switches and steps.
    std::vector<double> initialValues;

    // The channels the host handed over (null where it left one out; the inputs' followed by the key's),
    // the channel pointers for one call of MusicPlugin::processWithKey, and the stand-ins for channels left
    // out: silence to read and a buffer to write into. A key the host leaves out is no key. Allocated once.
    std::vector<const float*> hostInputs;
    std::vector<float*> hostOutputs;
    std::vector<const float*> channelInputs;
    std::vector<float*> channelOutputs;
    std::vector<const float*> channelKeys;
    std::vector<float> silence;
    std::vector<float> discard;

    // Audio thread to main thread: every parameter value applied, and each exposed meter's latest reading
    // (by its index among the plug-in's meters). What went out to the host last, at first the meters'
    // minimum, which get_value answers before any audio ran.
    ValueSnapshot published;
    ValueSnapshot meterReadings;
    std::vector<double> lastSentMeters;
    // Main thread to audio thread: a loaded state's values, counted by loadsOffered (written by the main
    // thread only); the audio thread answers with the count it took.
    ValueSnapshot loaded;
    std::vector<double> loadedValues; // the main thread's copy
    std::vector<double> takenValues;  // the audio thread's scratch
    std::atomic<std::uint32_t> loadsOffered{0};
    std::atomic<std::uint32_t> loadsTaken{0};

    // An editor's meters and gestures, and the editor itself (it refers to the rest: last, ended first).
    MeterFeed meters;
    GestureQueue gestures;
    std::unique_ptr<ClapPluginGui> guiPart;
};
