// Nanoseconds per stereo frame, and the realtime factor at 44.1 kHz, of the detector, the plug-in in process
// and the plug-in binary driven through its VST 2 interface, on every detector path this CPU has (and the
// LV2, VST 3 and CLAP builds beside the VST 2 one); then the same host loop over installed peer compressors,
// with their cost relative to ours; then ours over a minute of digital silence against the test signal (a
// denormal slow-down would show there).
//
// Every figure is the thread's CPU time around the whole loop, after a warm-up run, median of several runs,
// divided by the frames processed. Build in Release (bench.sh does).

#include "Common/musicplugin/MusicPluginVstAdaptor.h"
#include "Src/Compressor.h"
#include "ZaRorurarozeParam.h"
#include "ZaRorurarozePlugin.h"
#include "tools/render/VstHost.h"

#if ZR_BENCH_LV2
#include "Common/lv2/Lv2PortTable.h"

#include <dlfcn.h>
#include <lv2/core/lv2.h>
#endif

#if ZR_BENCH_VST3
#include "Common/vst3/Vst3Interfaces.h"

#include <dlfcn.h>
#endif

#if ZR_BENCH_CLAP
#include <clap/entry.h>
#include <clap/plugin-factory.h>
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{
constexpr double sampleRateHz = 44100.0;
constexpr int blockFrames = 512;
constexpr int signalSeconds = 10;
constexpr int signalFrames = signalSeconds * 44100;
constexpr int silenceRepeats = 6; // six passes over the ten-second buffer: a minute
constexpr int timedRuns = 9;

const DetectorPath allPaths[] = {DetectorPath::scalar, DetectorPath::sse2, DetectorPath::avx2,
                                 DetectorPath::avx512};

const char* pathName(DetectorPath path)
{
    switch (path) {
    case DetectorPath::scalar:
        return "scalar";
    case DetectorPath::sse2:
        return "sse2";
    case DetectorPath::avx2:
        return "avx2";
    case DetectorPath::avx512:
        return "avx512";
    }
    return "?";
}

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Median ns per frame of timedRuns runs of runOnce (which processes framesPerRun frames), after one warm-up.
double nsPerFrame(const std::function<void()>& runOnce, double framesPerRun)
{
    runOnce();
    std::vector<double> ns;
    for (int run = 0; run < timedRuns; ++run) {
        const double start = threadSeconds();
        runOnce();
        ns.push_back((threadSeconds() - start) * 1e9 / framesPerRun);
    }
    std::sort(ns.begin(), ns.end());
    return ns[ns.size() / 2];
}

void report(const std::string& name, double ns, const std::string& note = "")
{
    const double realtime = 1e9 / sampleRateHz / ns;
    std::printf("  %-46s %9.1f ns %9.0f x realtime%s\n", name.c_str(), ns, realtime, note.c_str());
    std::fflush(stdout);
}

// A test signal that keeps the compressor working: two tones, a tone burst every half second and some noise,
// different on the two channels, peaks near 0.9.
struct Signal
{
    std::vector<float> left, right;

    explicit Signal(bool silent) : left(signalFrames, 0.0f), right(signalFrames, 0.0f)
    {
        if (silent) return;
        const double pi = std::acos(-1.0);
        std::uint32_t seed = 12345;
        auto noise = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return static_cast<double>(seed) / 4294967296.0 - 0.5;
        };
        for (int n = 0; n < signalFrames; ++n) {
            const double t = n / sampleRateHz;
            const double burst = std::fmod(t, 0.5) < 0.1 ? 0.4 * std::sin(2.0 * pi * 3000.0 * t) : 0.0;
            left[n] = static_cast<float>(0.3 * std::sin(2.0 * pi * 110.0 * t) +
                                         0.15 * std::sin(2.0 * pi * 1234.5 * t) + burst + 0.05 * noise());
            right[n] = static_cast<float>(0.25 * std::sin(2.0 * pi * 220.0 * t + 1.0) +
                                          0.15 * std::sin(2.0 * pi * 777.7 * t) + burst + 0.05 * noise());
        }
    }
};

// Medians of two loops timed in alternation, so that a machine getting busier or quieter during the runs
// shifts both alike.
std::pair<double, double> nsPerFramePair(const std::function<void()>& first,
                                         const std::function<void()>& second, double framesPerRun)
{
    first();
    second();
    std::vector<double> a, b;
    for (int run = 0; run < timedRuns; ++run) {
        double start = threadSeconds();
        first();
        a.push_back((threadSeconds() - start) * 1e9 / framesPerRun);
        start = threadSeconds();
        second();
        b.push_back((threadSeconds() - start) * 1e9 / framesPerRun);
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return {a[a.size() / 2], b[b.size() / 2]};
}

// Output buffers written once before timing, so page faults stay out of the figures.
std::vector<float> touched(int frames)
{
    std::vector<float> buffer(static_cast<size_t>(frames));
    std::fill(buffer.begin(), buffer.end(), 1.0f);
    return buffer;
}

double detectorNs(DetectorPath path, bool hilbert, const Signal& signal)
{
    MultibandPowerDetector detector;
    detector.hilbert(hilbert);
    detector.attackTime(0.2);
    detector.releaseTime(0.2);
    detector.selectPath(path);
    const std::vector<double> left(signal.left.begin(), signal.left.end());
    const std::vector<double> right(signal.right.begin(), signal.right.end());
    std::vector<double> totals(signalFrames, 1.0);
    volatile double sink = 0.0;
    const auto run = [&] {
        if (path == DetectorPath::scalar) {
            // The reference itself, one call per frame.
            for (int n = 0; n < signalFrames; ++n)
                totals[n] = detector.tick(left[n], right[n]);
        } else {
            for (int n = 0; n < signalFrames; n += blockFrames)
                detector.tickBlock(&left[n], &right[n], &totals[n], std::min(blockFrames, signalFrames - n));
        }
        sink = sink + totals[signalFrames - 1];
    };
    return nsPerFrame(run, signalFrames);
}

// The plug-in in process, block by block over repeats passes of the signal.
struct InProcess
{
    ZaRorurarozePlugin plugin;
    std::vector<float> outLeft = touched(signalFrames), outRight = touched(signalFrames);

    InProcess(DetectorPath path, double attackKnob, double releaseKnob)
    {
        plugin.selectDetectorPath(path);
        if (attackKnob >= 0.0)
            plugin.paramList.vstSetParameter(ZaRorurarozeParam::attack, static_cast<float>(attackKnob));
        if (releaseKnob >= 0.0)
            plugin.paramList.vstSetParameter(ZaRorurarozeParam::release, static_cast<float>(releaseKnob));
    }
    void run(const Signal& signal, int repeats)
    {
        for (int r = 0; r < repeats; ++r)
            for (int n = 0; n < signalFrames; n += blockFrames) {
                const float* inputs[2] = {&signal.left[n], &signal.right[n]};
                float* outputs[2] = {&outLeft[n], &outRight[n]};
                plugin.process(inputs, outputs, std::min(blockFrames, signalFrames - n));
            }
    }
};

double inProcessNs(DetectorPath path, const Signal& signal, int repeats, double attackKnob = -1.0,
                   double releaseKnob = -1.0)
{
    InProcess loop(path, attackKnob, releaseKnob);
    return nsPerFrame([&] { loop.run(signal, repeats); }, static_cast<double>(signalFrames) * repeats);
}

// The VST 2 adaptor in process, with an open editor's meter feed wanted or not.
struct AdaptorLoop
{
    MusicPluginVstAdaptor adaptor{nullptr, new ZaRorurarozePlugin()};
    std::vector<float> outLeft = touched(signalFrames), outRight = touched(signalFrames);

    explicit AdaptorLoop(bool feedWanted)
    {
        adaptor.setSampleRate(static_cast<float>(sampleRateHz));
        adaptor.setBlockSize(blockFrames);
        adaptor.resume();
        adaptor.meterFeed().setWanted(feedWanted);
    }
    void run(const Signal& signal)
    {
        for (int n = 0; n < signalFrames; n += blockFrames) {
            float* inputs[2] = {const_cast<float*>(&signal.left[n]), const_cast<float*>(&signal.right[n])};
            float* outputs[2] = {&outLeft[n], &outRight[n]};
            adaptor.processReplacing(inputs, outputs, std::min(blockFrames, signalFrames - n));
        }
        // What an editor does between blocks: take the readings, so the feed keeps working.
        for (int m = 0; m < ZaRorurarozeMeter::count; ++m)
            adaptor.meterFeed().take(m);
    }
};

// The host loop: the binary loaded and driven through its AEffect record, block 512, inputs beyond the
// first two (a side-chain) silent. Negative when the binary cannot be loaded.
double hostedNs(const std::string& binary, const Signal& signal, int repeats)
{
    try {
        zr::host::VstHost host(binary);
        host.setSampleRate(sampleRateHz);
        host.setBlockSize(blockFrames);
        host.resume();
        const std::vector<float> silence(signalFrames, 0.0f);
        std::vector<const float*> inputs;
        for (int c = 0; c < host.numInputs(); ++c)
            inputs.push_back(c == 0 ? signal.left.data() : c == 1 ? signal.right.data() : silence.data());
        std::vector<std::vector<float>> outputs;
        std::vector<float*> outputPointers;
        for (int c = 0; c < host.numOutputs(); ++c)
            outputs.push_back(touched(signalFrames));
        for (auto& channel : outputs)
            outputPointers.push_back(channel.data());
        const auto run = [&] {
            for (int r = 0; r < repeats; ++r)
                host.process(const_cast<float* const*>(inputs.data()), outputPointers.data(), signalFrames);
        };
        return nsPerFrame(run, static_cast<double>(signalFrames) * repeats);
    } catch (const zr::host::HostError& error) {
        std::printf("  (%s)\n", error.what());
        return -1.0;
    }
}

#if ZR_BENCH_LV2
// The LV2 module loaded and run through its descriptor, every control at its declared default, block 512.
// The loop over the signal runs as the host loop does: a pointer offset per block.
class Lv2Loop
{
public:
    explicit Lv2Loop(const std::string& module)
    {
        library_ = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        const auto entry =
            library_ ? reinterpret_cast<LV2_Descriptor_Function>(dlsym(library_, "lv2_descriptor")) : nullptr;
        descriptor_ = entry ? entry(0) : nullptr;
        handle_ = descriptor_ ? descriptor_->instantiate(descriptor_, sampleRateHz, "", nullptr) : nullptr;
        if (handle_ == nullptr) return;
        const ZaRorurarozePlugin plugin;
        const Lv2PortTable table(plugin);
        for (const auto& c : table.controls())
            controls_.push_back(c.defaultValue);
        for (size_t i = 0; i < controls_.size(); ++i)
            descriptor_->connect_port(handle_, static_cast<uint32_t>(4 + i), &controls_[i]);
        descriptor_->connect_port(handle_, static_cast<uint32_t>(4 + controls_.size()), &meter_);
        descriptor_->activate(handle_);
    }
    ~Lv2Loop()
    {
        if (handle_ != nullptr) descriptor_->cleanup(handle_);
        if (library_ != nullptr) dlclose(library_);
    }
    bool loaded() const { return handle_ != nullptr; }
    void run(const Signal& signal, int repeats)
    {
        for (int r = 0; r < repeats; ++r)
            for (int n = 0; n < signalFrames; n += blockFrames) {
                descriptor_->connect_port(handle_, 0, const_cast<float*>(&signal.left[n]));
                descriptor_->connect_port(handle_, 1, const_cast<float*>(&signal.right[n]));
                descriptor_->connect_port(handle_, 2, &outLeft_[n]);
                descriptor_->connect_port(handle_, 3, &outRight_[n]);
                descriptor_->run(handle_, static_cast<uint32_t>(std::min(blockFrames, signalFrames - n)));
            }
    }

private:
    void* library_ = nullptr;
    const LV2_Descriptor* descriptor_ = nullptr;
    LV2_Handle handle_ = nullptr;
    std::vector<float> controls_;
    float meter_ = 0.0f;
    std::vector<float> outLeft_ = touched(signalFrames), outRight_ = touched(signalFrames);
};
#endif

#if ZR_BENCH_CLAP
// The CLAP plug-in loaded and run as a host does, block 512, no events: the file's own loop over the
// signal, a pointer offset per block.
class ClapLoop
{
public:
    explicit ClapLoop(const std::string& file)
    {
        library_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        entry_ = library_ ? static_cast<const clap_plugin_entry_t*>(dlsym(library_, "clap_entry")) : nullptr;
        if (entry_ != nullptr && !entry_->init(file.c_str())) entry_ = nullptr; // deinit only after an init
        if (entry_ == nullptr) return;
        const auto* factory =
            static_cast<const clap_plugin_factory_t*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
        const clap_plugin_descriptor_t* descriptor =
            factory ? factory->get_plugin_descriptor(factory, 0) : nullptr;
        plugin_ = descriptor ? factory->create_plugin(factory, &host_, descriptor->id) : nullptr;
        if (plugin_ == nullptr || !plugin_->init(plugin_) ||
            !plugin_->activate(plugin_, sampleRateHz, 1, blockFrames) ||
            !plugin_->start_processing(plugin_)) {
            if (plugin_ != nullptr) plugin_->destroy(plugin_);
            plugin_ = nullptr;
        }
    }
    ~ClapLoop()
    {
        if (plugin_ != nullptr) plugin_->destroy(plugin_);
        if (entry_ != nullptr) entry_->deinit();
        if (library_ != nullptr) dlclose(library_);
    }
    bool loaded() const { return plugin_ != nullptr; }
    void run(const Signal& signal, int repeats)
    {
        clap_process_t process{};
        process.audio_inputs = &input_;
        process.audio_outputs = &output_;
        process.audio_inputs_count = 1;
        process.audio_outputs_count = 1;
        process.in_events = &noEvents_;
        process.out_events = &anyEvents_;
        for (int r = 0; r < repeats; ++r)
            for (int n = 0; n < signalFrames; n += blockFrames) {
                inputs_[0] = const_cast<float*>(&signal.left[n]);
                inputs_[1] = const_cast<float*>(&signal.right[n]);
                outputs_[0] = &outLeft_[n];
                outputs_[1] = &outRight_[n];
                process.frames_count = static_cast<uint32_t>(std::min(blockFrames, signalFrames - n));
                plugin_->process(plugin_, &process);
            }
    }

private:
    const clap_host_t host_ = {CLAP_VERSION_INIT,
                               nullptr,
                               "bench",
                               "",
                               "",
                               "1",
                               [](const clap_host_t*, const char*) -> const void* { return nullptr; },
                               [](const clap_host_t*) {},
                               [](const clap_host_t*) {},
                               [](const clap_host_t*) {}};
    const clap_input_events_t noEvents_ = {
        nullptr, [](const clap_input_events_t*) -> uint32_t { return 0; },
        [](const clap_input_events_t*, uint32_t) -> const clap_event_header_t* { return nullptr; }};
    const clap_output_events_t anyEvents_ = {
        nullptr, [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};
    void* library_ = nullptr;
    const clap_plugin_entry_t* entry_ = nullptr;
    const clap_plugin_t* plugin_ = nullptr;
    float* inputs_[2] = {};
    float* outputs_[2] = {};
    clap_audio_buffer_t input_{inputs_, nullptr, 2, 0, 0};
    clap_audio_buffer_t output_{outputs_, nullptr, 2, 0, 0};
    std::vector<float> outLeft_ = touched(signalFrames), outRight_ = touched(signalFrames);
};
#endif

#if ZR_BENCH_VST3
// The VST 3 module loaded and run through its audio processor as hosts do: blocks of 512 frames, no
// parameter changes in, the meter written into an output list each block (hosts always pass one).
class Vst3Loop
{
public:
    explicit Vst3Loop(const std::string& module)
    {
        library_ = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        const auto entry =
            library_ ? reinterpret_cast<bool (*)(void*)>(dlsym(library_, "ModuleEntry")) : nullptr;
        const auto getFactory =
            library_ ? reinterpret_cast<vst3::IPluginFactory* (*)()>(dlsym(library_, "GetPluginFactory"))
                     : nullptr;
        if (entry == nullptr || getFactory == nullptr || !entry(library_)) return;
        factory_ = getFactory();
        vst3::PClassInfo info{};
        void* obj = nullptr;
        if (factory_ == nullptr || factory_->getClassInfo(0, &info) != vst3::kResultOk ||
            factory_->createInstance(info.cid, vst3::IComponent::iid.bytes, &obj) != vst3::kResultOk)
            return;
        component_ = static_cast<vst3::IComponent*>(obj);
        component_->initialize(nullptr);
        if (component_->queryInterface(vst3::IAudioProcessor::iid.bytes, &obj) != vst3::kResultOk) return;
        processor_ = static_cast<vst3::IAudioProcessor*>(obj);
        vst3::ProcessSetup setup{vst3::kRealtime, vst3::kSample32, blockFrames, sampleRateHz};
        processor_->setupProcessing(setup);
        component_->setActive(1);
        processor_->setProcessing(1);
    }
    ~Vst3Loop()
    {
        if (processor_ != nullptr) {
            processor_->setProcessing(0);
            component_->setActive(0);
            processor_->release();
        }
        if (component_ != nullptr) {
            component_->terminate();
            component_->release();
        }
        if (factory_ != nullptr) factory_->release();
        if (library_ != nullptr) dlclose(library_);
    }
    bool loaded() const { return processor_ != nullptr; }
    void run(const Signal& signal, int repeats)
    {
        for (int r = 0; r < repeats; ++r)
            for (int n = 0; n < signalFrames; n += blockFrames) {
                float* inputs[2] = {const_cast<float*>(&signal.left[n]),
                                    const_cast<float*>(&signal.right[n])};
                float* outputs[2] = {&outLeft_[n], &outRight_[n]};
                vst3::AudioBusBuffers in{2, 0, {inputs}};
                vst3::AudioBusBuffers out{2, 0, {outputs}};
                meters_.used = false;
                vst3::ProcessData data{vst3::kRealtime,
                                       vst3::kSample32,
                                       std::min(blockFrames, signalFrames - n),
                                       1,
                                       1,
                                       &in,
                                       &out,
                                       nullptr,
                                       &meters_,
                                       nullptr,
                                       nullptr,
                                       nullptr};
                processor_->process(data);
            }
    }

private:
    // One queue holding the last point: what a host's output list costs at the least.
    struct Queue : vst3::IParamValueQueue
    {
        vst3::tresult queryInterface(const vst3::TUID, void**) override { return vst3::kNoInterface; }
        std::uint32_t addRef() override { return 1; }
        std::uint32_t release() override { return 1; }
        vst3::ParamID getParameterId() override { return id; }
        std::int32_t getPointCount() override { return 1; }
        vst3::tresult getPoint(std::int32_t, std::int32_t& offset, double& v) override
        {
            offset = 0;
            v = value;
            return vst3::kResultOk;
        }
        vst3::tresult addPoint(std::int32_t, double v, std::int32_t& index) override
        {
            value = v;
            index = 0;
            return vst3::kResultOk;
        }
        vst3::ParamID id = 0;
        double value = 0.0;
    };
    struct Changes : vst3::IParameterChanges
    {
        vst3::tresult queryInterface(const vst3::TUID, void**) override { return vst3::kNoInterface; }
        std::uint32_t addRef() override { return 1; }
        std::uint32_t release() override { return 1; }
        std::int32_t getParameterCount() override { return used ? 1 : 0; }
        vst3::IParamValueQueue* getParameterData(std::int32_t index) override
        {
            return used && index == 0 ? &queue : nullptr;
        }
        vst3::IParamValueQueue* addParameterData(const vst3::ParamID& id, std::int32_t& index) override
        {
            used = true;
            queue.id = id;
            index = 0;
            return &queue;
        }
        Queue queue;
        bool used = false;
    };

    void* library_ = nullptr;
    vst3::IPluginFactory* factory_ = nullptr;
    vst3::IComponent* component_ = nullptr;
    vst3::IAudioProcessor* processor_ = nullptr;
    Changes meters_;
    std::vector<float> outLeft_ = touched(signalFrames), outRight_ = touched(signalFrames);
};
#endif

bool exists(const std::string& path)
{
    struct stat info
    {};
    return stat(path.c_str(), &info) == 0;
}

std::string binaryFor(DetectorPath path)
{
    return path == DetectorPath::avx512
               ? std::string(ZR_BENCH_PLUGIN)
               : std::string(ZR_BENCH_PLUGIN_DIR) + "/ZaRoruraroze-" + pathName(path) + ".so";
}

// Another format's module (a loop with loaded() and run(signal, repeats)) timed in turn with the VST 2 host
// loop on the widest path, and reported with its cost relative to the VST 2 one.
template <typename Loop>
void reportBesideVst2(const char* format, const char* module, Loop& loop, const Signal& signal,
                      DetectorPath widest)
{
    if (!loop.loaded()) {
        std::printf("  (the %s module %s did not load)\n", format, module);
        return;
    }
    zr::host::VstHost host(binaryFor(widest));
    host.setSampleRate(sampleRateHz);
    host.setBlockSize(blockFrames);
    host.resume();
    std::vector<float> outLeft = touched(signalFrames), outRight = touched(signalFrames);
    const float* inputs[2] = {signal.left.data(), signal.right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    const auto [ns, vstNs] = nsPerFramePair(
        [&] { loop.run(signal, 1); },
        [&] { host.process(const_cast<float* const*>(inputs), outputs, signalFrames); }, signalFrames);
    char note[64];
    std::snprintf(note, sizeof note, "   vst %.1f ns: %+.1f%%", vstNs, 100.0 * (ns / vstNs - 1.0));
    report(std::string(format) + ", " + pathName(widest), ns, note);
}
} // namespace

int main()
{
    std::vector<DetectorPath> paths;
    std::string available;
    for (DetectorPath path : allPaths)
        if (MultibandPowerDetector::pathAvailable(path)) {
            paths.push_back(path);
            available += std::string(" ") + pathName(path);
        }
    const DetectorPath widest = MultibandPowerDetector::widestPath();
    std::printf("44100 Hz, block %d, %d s of test signal per run, median of %d runs after a warm-up,\n"
                "CPU time of the processing thread. Paths this CPU runs:%s (widest: %s)\n\n",
                blockFrames, signalSeconds, timedRuns, available.c_str(), pathName(widest));
    const Signal signal(false);

    std::printf("MultibandPowerDetector::tick (scalar: tick per frame; others: tickBlock per 512 frames)\n");
    for (bool hilbert : {false, true})
        for (DetectorPath path : paths)
            report(std::string("tick, hilbert ") + (hilbert ? "on,  " : "off, ") + pathName(path),
                   detectorNs(path, hilbert, signal));

    std::printf("ZaRorurarozePlugin::process in process\n");
    for (DetectorPath path : paths)
        report(std::string("process, ") + pathName(path), inProcessNs(path, signal, 1));

    // The defaults have equal attack and release times, for which the kernels skip the per-band choice of
    // coefficient; unequal times show the general cost.
    InProcess unequal(widest, 0.1, -1.0);
    report(std::string("process, ") + pathName(widest) + ", attack " +
               unequal.plugin.paramList.getDisplayValue(ZaRorurarozeParam::attack) +
               unequal.plugin.paramList.getDisplayUnits(ZaRorurarozeParam::attack) + ", release 0.2 s",
           nsPerFrame([&] { unequal.run(signal, 1); }, signalFrames));

    std::printf("ZaRoruraroze binary through the VST 2 host loop\n");
    double oursNs = -1.0;
    for (DetectorPath path : paths) {
        const std::string binary = binaryFor(path);
        const double ns = hostedNs(binary, signal, 1);
        if (ns > 0.0) report(std::string("vst, ") + pathName(path), ns);
        if (path == widest) oursNs = ns;
    }

#if ZR_BENCH_LV2
    std::printf("ZaRoruraroze LV2 module through its descriptor, timed in turn with the VST 2 host loop\n");
    {
        Lv2Loop lv2(ZR_BENCH_LV2_MODULE);
        reportBesideVst2("lv2", ZR_BENCH_LV2_MODULE, lv2, signal, widest);
    }
#endif

#if ZR_BENCH_VST3
    std::printf(
        "ZaRoruraroze VST 3 module through its audio processor, timed in turn with the VST 2 host loop\n");
    {
        Vst3Loop vst3(ZR_BENCH_VST3_MODULE);
        reportBesideVst2("vst3", ZR_BENCH_VST3_MODULE, vst3, signal, widest);
    }
#endif

#if ZR_BENCH_CLAP
    std::printf("ZaRoruraroze CLAP plug-in through its entry, timed in turn with the VST 2 host loop\n");
    {
        ClapLoop clap(ZR_BENCH_CLAP_FILE);
        reportBesideVst2("clap", ZR_BENCH_CLAP_FILE, clap, signal, widest);
    }
#endif

    std::printf("The VST 2 adaptor in process with an open editor's meter feed, timed in turn without it\n");
    {
        AdaptorLoop withFeed(true), withoutFeed(false);
        const auto [feedNs, plainNs] =
            nsPerFramePair([&] { withFeed.run(signal); }, [&] { withoutFeed.run(signal); }, signalFrames);
        char note[64];
        std::snprintf(note, sizeof note, "   without %.1f ns: %+.1f%%", plainNs,
                      100.0 * (feedNs / plainNs - 1.0));
        report(std::string("adaptor, editor open, ") + pathName(widest), feedNs, note);
    }

    std::printf("Peers through the same host loop (ratio: their ns per frame over ours on the %s path)\n",
                pathName(widest));
    const char* peers[][2] = {
        {"ZamCompX2 (single-band)", "/usr/lib/vst/ZamCompX2-vst.so"},
        {"ZaMultiCompX2 (3 bands)", "/usr/lib/vst/ZaMultiCompX2-vst.so"},
        {"LSP Compressor Stereo (single-band)", "/usr/lib/vst/lsp-plugins/compressor-stereo.so"},
        {"LSP Multiband Compressor Stereo (8 bands)", "/usr/lib/vst/lsp-plugins/mb-compressor-stereo.so"}};
    for (const auto& peer : peers) {
        if (!exists(peer[1])) {
            std::printf("  %-46s not installed (%s): skipped\n", peer[0], peer[1]);
            continue;
        }
        const double ns = hostedNs(peer[1], signal, 1);
        if (ns <= 0.0) continue;
        char ratio[64] = "";
        if (oursNs > 0.0) std::snprintf(ratio, sizeof ratio, "   %.2f x ours", ns / oursNs);
        report(peer[0], ns, ratio);
    }

    std::printf("Digital silence, one minute, against the test signal (must stay within 10%%)\n");
    const Signal silence(true);
    for (DetectorPath path : paths) {
        InProcess loudLoop(path, -1.0, -1.0), quietLoop(path, -1.0, -1.0);
        const auto [loud, quiet] = nsPerFramePair([&] { loudLoop.run(signal, silenceRepeats); },
                                                  [&] { quietLoop.run(silence, silenceRepeats); },
                                                  static_cast<double>(signalFrames) * silenceRepeats);
        char note[64];
        std::snprintf(note, sizeof note, "   signal %.1f ns: %+.1f%%", loud, 100.0 * (quiet / loud - 1.0));
        report(std::string("process, silence, ") + pathName(path), quiet, note);
    }
    const double loud = hostedNs(binaryFor(widest), signal, silenceRepeats);
    const double quiet = hostedNs(binaryFor(widest), silence, silenceRepeats);
    char note[64];
    std::snprintf(note, sizeof note, "   signal %.1f ns: %+.1f%%", loud, 100.0 * (quiet / loud - 1.0));
    report(std::string("vst, silence, ") + pathName(widest), quiet, note);
    return 0;
}
