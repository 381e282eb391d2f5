// A VST 3 test host compiled against the interface headers of the SDK itself (JUCE's copy in Debian's
// juce-modules-source-data, used only here and never shipped), not against the project's own
// declarations: it proves the bundle's binary interface (IDs, layouts, result codes, calling convention)
// from the other side. Built by tests/vst3/hosts/build-sdk-host.sh for Windows (run under wine) and Linux.
// The same commands as the JUCE test host; state files hold the component state's bytes. A plug-in's second
// input bus (a side-chain) gets buffers always, as Ardour gives them, and is switched on only to carry a
// four-channel file's last two channels.
//
//   sdk-vst3-host info BUNDLE
//   sdk-vst3-host render BUNDLE IN.wav OUT.wav [--block N] [--set ID=NORMALISED]... [--load-state FILE]
//                 [--save-state FILE]
//   sdk-vst3-host editor BUNDLE STEP...   the plug-in's view in a window of the host's (X11, or Win32 under
//                 wine), driven by the display tests' steps (tests/editor/EditorHostSession.h); normalised
//                 values are the knob positions those steps speak of

#include "FloatWav.h"

#include "EditorHostSession.h"
#include "HostFrame.h"

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
// Host objects live on the stack: their counts are kept, never acted on.
template <typename Interface> class HostObject : public Interface
{
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        *obj = nullptr;
        if (!FUnknownPrivate::iidEqual(iid, FUnknown_iid) && !FUnknownPrivate::iidEqual(iid, iidOf()))
            return kNoInterface;
        *obj = this;
        addRef();
        return kResultOk;
    }
    uint32 PLUGIN_API addRef() override { return ++references; }
    uint32 PLUGIN_API release() override { return --references; }
    virtual const TUID& iidOf() const = 0;
    uint32 references = 1;
};

class Stream : public HostObject<IBStream>
{
public:
    const TUID& iidOf() const override { return IBStream_iid; }
    tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override
    {
        const auto n = static_cast<int32>(std::min<std::size_t>(numBytes, data.size() - position));
        std::memcpy(buffer, data.data() + position, static_cast<std::size_t>(n));
        position += static_cast<std::size_t>(n);
        if (numBytesRead) *numBytesRead = n;
        return kResultOk;
    }
    tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override
    {
        data.append(static_cast<const char*>(buffer), static_cast<std::size_t>(numBytes));
        position = data.size();
        if (numBytesWritten) *numBytesWritten = numBytes;
        return kResultOk;
    }
    tresult PLUGIN_API seek(int64 pos, int32 mode, int64* result) override
    {
        const int64 base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? int64(position) : int64(data.size());
        if (base + pos < 0 || base + pos > int64(data.size())) return kInvalidArgument;
        position = static_cast<std::size_t>(base + pos);
        if (result) *result = int64(position);
        return kResultOk;
    }
    tresult PLUGIN_API tell(int64* pos) override
    {
        *pos = int64(position);
        return kResultOk;
    }
    std::string data;
    std::size_t position = 0;
};

class Queue : public HostObject<IParamValueQueue>
{
public:
    explicit Queue(ParamID id) : id(id) {}
    const TUID& iidOf() const override { return IParamValueQueue_iid; }
    ParamID PLUGIN_API getParameterId() override { return id; }
    int32 PLUGIN_API getPointCount() override { return static_cast<int32>(points.size()); }
    tresult PLUGIN_API getPoint(int32 index, int32& offset, ParamValue& value) override
    {
        if (index < 0 || index >= getPointCount()) return kInvalidArgument;
        offset = points[static_cast<std::size_t>(index)].first;
        value = points[static_cast<std::size_t>(index)].second;
        return kResultOk;
    }
    tresult PLUGIN_API addPoint(int32 offset, ParamValue value, int32& index) override
    {
        index = getPointCount();
        points.emplace_back(offset, value);
        return kResultOk;
    }
    ParamID id;
    std::vector<std::pair<int32, ParamValue>> points;
};

class Changes : public HostObject<IParameterChanges>
{
public:
    const TUID& iidOf() const override { return IParameterChanges_iid; }
    int32 PLUGIN_API getParameterCount() override { return static_cast<int32>(queues.size()); }
    IParamValueQueue* PLUGIN_API getParameterData(int32 index) override
    {
        return index >= 0 && index < getParameterCount() ? &queues[static_cast<std::size_t>(index)] : nullptr;
    }
    IParamValueQueue* PLUGIN_API addParameterData(const ParamID& id, int32& index) override
    {
        index = getParameterCount();
        queues.emplace_back(id);
        return &queues.back();
    }
    std::deque<Queue> queues;
};

std::string utf8(const TChar* text)
{
    std::string out;
    for (int i = 0; i < 128 && text[i] != 0; ++i)
        out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    return out;
}

// The loaded module and one instance of its first class, set up as hosts do; null members on failure.
struct Plugin
{
    explicit Plugin(const std::string& bundle)
    {
        std::string name = bundle.substr(bundle.find_last_of("/\\") + 1);
        name = name.substr(0, name.rfind(".vst3"));
#if defined(_WIN32)
        const std::string module =
            bundle + "/Contents/" + (sizeof(void*) == 8 ? "x86_64-win/" : "x86-win/") + name + ".vst3";
        library = LoadLibraryA(module.c_str());
        const auto symbol = [&](const char* s) {
            return library ? (void*)GetProcAddress((HMODULE)library, s) : nullptr;
        };
        if (auto init = reinterpret_cast<bool (*)()>(symbol("InitDll"))) init();
#else
        const std::string module = bundle + "/Contents/x86_64-linux/" + name + ".so";
        library = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        const auto symbol = [&](const char* s) { return library ? dlsym(library, s) : nullptr; };
        if (auto entry = reinterpret_cast<bool (*)(void*)>(symbol("ModuleEntry"))) entry(library);
#endif
        const auto getFactory = reinterpret_cast<GetFactoryProc>(symbol("GetPluginFactory"));
        factory = getFactory ? getFactory() : nullptr;
        if (factory == nullptr) return;
        factory->queryInterface(IPluginFactory2_iid, reinterpret_cast<void**>(&factory2));
        void* obj = nullptr;
        if (factory2 == nullptr || factory2->getClassInfo2(0, &info) != kResultOk ||
            factory->createInstance(info.cid, IComponent_iid, &obj) != kResultOk)
            return;
        component = static_cast<IComponent*>(obj);
        component->initialize(nullptr);
        component->queryInterface(IAudioProcessor_iid, reinterpret_cast<void**>(&processor));
        component->queryInterface(IEditController_iid, reinterpret_cast<void**>(&controller));
    }
    ~Plugin()
    {
        if (component) component->terminate();
        for (FUnknown* object : {static_cast<FUnknown*>(controller), static_cast<FUnknown*>(processor),
                                 static_cast<FUnknown*>(component), static_cast<FUnknown*>(factory2),
                                 static_cast<FUnknown*>(factory)})
            if (object) object->release();
    }
    bool ok() const
    {
        return processor != nullptr && controller != nullptr;
    }

    void* library = nullptr;
    IPluginFactory* factory = nullptr;
    IPluginFactory2* factory2 = nullptr;
    PClassInfo2 info{};
    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
};

int info(const std::string& bundle)
{
    Plugin p(bundle);
    if (!p.ok()) return std::fprintf(stderr, "sdk-vst3-host: cannot load %s\n", bundle.c_str()), 1;
    std::printf("plugin\t%s\t%s\t%s\t%s\n", p.info.name, p.info.vendor, p.info.subCategories, p.info.version);
    for (BusDirection dir : {kInput, kOutput})
        for (int32 b = 0; b < p.component->getBusCount(kAudio, dir); ++b) {
            BusInfo bus{};
            p.component->getBusInfo(kAudio, dir, b, bus);
            std::printf("bus\t%s\t%d\t%s\t%d\n", dir == kInput ? "in" : "out", b, utf8(bus.name).c_str(),
                        bus.channelCount);
        }
    for (int32 i = 0; i < p.controller->getParameterCount(); ++i) {
        ParameterInfo info{};
        p.controller->getParameterInfo(i, info);
        String128 shown{};
        p.controller->getParamStringByValue(info.id, info.defaultNormalizedValue, shown);
        std::printf("param\t%d\t%u\t%s\t%s\t%d\t%d\t%.17g\t%s\n", i, info.id, utf8(info.title).c_str(),
                    utf8(info.units).c_str(), info.stepCount, info.flags, info.defaultNormalizedValue,
                    utf8(shown).c_str());
    }
    return 0;
}

int render(const std::string& bundle, const std::string& in, const std::string& out, int blockFrames,
           const std::map<ParamID, double>& settings, const std::string& loadState,
           const std::string& saveState)
{
    floatwav::Wav wav;
    if (!floatwav::read(in, wav) || (wav.channels.size() != 2 && wav.channels.size() != 4))
        return std::fprintf(stderr, "sdk-vst3-host: %s is no float WAV file of 2 or 4 channels\n",
                            in.c_str()),
               1;
    const bool keyed = wav.channels.size() == 4;
    Plugin p(bundle);
    if (!p.ok()) return std::fprintf(stderr, "sdk-vst3-host: cannot load %s\n", bundle.c_str()), 1;
    if (!loadState.empty()) {
        Stream state;
        std::ifstream file(loadState, std::ios::binary);
        state.data.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        if (p.component->setState(&state) != kResultOk)
            return std::fprintf(stderr, "sdk-vst3-host: state refused\n"), 1;
        state.position = 0;
        p.controller->setComponentState(&state);
    }
    ProcessSetup setup{kRealtime, kSample32, blockFrames, wav.rateHz};
    SpeakerArrangement stereo[2] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
    const int32 inputBuses = std::min(p.component->getBusCount(kAudio, kInput), int32(2));
    if (inputBuses < 1 || (keyed && inputBuses < 2))
        return std::fprintf(stderr, "sdk-vst3-host: the plug-in has too few input buses\n"), 1;
    if (p.processor->setupProcessing(setup) != kResultOk ||
        p.processor->setBusArrangements(stereo, inputBuses, stereo, 1) != kResultTrue)
        return std::fprintf(stderr, "sdk-vst3-host: set-up refused\n"), 1;
    p.component->activateBus(kAudio, kInput, 0, true);
    if (keyed) p.component->activateBus(kAudio, kInput, 1, true);
    p.component->activateBus(kAudio, kOutput, 0, true);
    p.component->setActive(true);
    p.processor->setProcessing(true);
    Changes first;
    for (const auto& [id, value] : settings) {
        p.controller->setParamNormalized(id, value);
        int32 index = 0;
        first.addParameterData(id, index)->addPoint(0, value, index);
    }
    const std::size_t frames = wav.channels[0].size();
    std::vector<std::vector<float>> output(2, std::vector<float>(frames));
    if (!keyed) wav.channels.resize(4, std::vector<float>(frames));
    for (std::size_t at = 0; at < frames; at += static_cast<std::size_t>(blockFrames)) {
        float* ins[4] = {wav.channels[0].data() + at, wav.channels[1].data() + at,
                         wav.channels[2].data() + at, wav.channels[3].data() + at};
        float* outs[2] = {output[0].data() + at, output[1].data() + at};
        AudioBusBuffers inBuses[2], outBus;
        inBuses[0].numChannels = inBuses[1].numChannels = outBus.numChannels = 2;
        inBuses[0].channelBuffers32 = ins;
        inBuses[1].channelBuffers32 = ins + 2;
        outBus.channelBuffers32 = outs;
        Changes none, meters;
        ProcessData data;
        data.numSamples = static_cast<int32>(std::min<std::size_t>(blockFrames, frames - at));
        data.numInputs = inputBuses;
        data.numOutputs = 1;
        data.inputs = inBuses;
        data.outputs = &outBus;
        data.inputParameterChanges = at == 0 ? &first : &none;
        data.outputParameterChanges = &meters;
        if (p.processor->process(data) != kResultOk)
            return std::fprintf(stderr, "sdk-vst3-host: process refused\n"), 1;
    }
    p.processor->setProcessing(false);
    p.component->setActive(false);
    if (!saveState.empty()) {
        Stream state;
        if (p.component->getState(&state) != kResultOk) return 1;
        std::ofstream(saveState, std::ios::binary)
            .write(state.data.data(), static_cast<std::streamsize>(state.data.size()));
    }
    wav.channels = output;
    return floatwav::write(out, wav) ? 0 : 1;
}

// --- the editor ---

#if !defined(_WIN32)
// The host's run loop: the view's timers, fired from the steps' idle.
class RunLoop : public HostObject<Linux::IRunLoop>
{
public:
    const TUID& iidOf() const override { return Linux::IRunLoop_iid; }
    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler*, Linux::FileDescriptor) override
    {
        return kResultOk;
    }
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler*) override { return kResultOk; }
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval) override
    {
        timers.push_back(handler);
        return kResultOk;
    }
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override
    {
        for (auto& timer : timers)
            if (timer == handler) timer = nullptr;
        return kResultOk;
    }
    void fire()
    {
        for (std::size_t i = 0; i < timers.size(); ++i)
            if (timers[i] != nullptr) timers[i]->onTimer();
    }
    std::vector<Linux::ITimerHandler*> timers;
};
#endif

// The plug-in's edits, logged in the display tests' words and handed to the processor at the next block.
class Handler : public HostObject<IComponentHandler>
{
public:
    const TUID& iidOf() const override { return IComponentHandler_iid; }
    tresult PLUGIN_API beginEdit(ParamID id) override
    {
        std::printf("begin %u\n", id);
        return kResultOk;
    }
    tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override
    {
        std::printf("automate %u %.6f\n", id, value);
        int32 index = 0;
        pending.addParameterData(id, index)->addPoint(0, value, index);
        return kResultOk;
    }
    tresult PLUGIN_API endEdit(ParamID id) override
    {
        std::printf("end %u\n", id);
        std::fflush(stdout);
        return kResultOk;
    }
    tresult PLUGIN_API restartComponent(int32) override { return kResultOk; }
    Changes pending;
};

class EditorInstance;

class Frame : public HostObject<IPlugFrame>
{
public:
    const TUID& iidOf() const override { return IPlugFrame_iid; }
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
#if !defined(_WIN32)
        if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop_iid)) {
            *obj = &runLoop;
            runLoop.addRef();
            return kResultOk;
        }
#endif
        return HostObject<IPlugFrame>::queryInterface(iid, obj);
    }
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* size) override
    {
        if (view == nullptr || size == nullptr) return kInvalidArgument;
        std::printf("size %d %d\n", size->getWidth(), size->getHeight());
        std::fflush(stdout);
        return view->onSize(size) == kResultTrue ? kResultTrue : kResultFalse;
    }
#if !defined(_WIN32)
    RunLoop runLoop;
#endif
};

// One instance for the display tests' steps: the component, its view in a window of ours.
class EditorInstance
{
public:
    EditorInstance(const std::string& bundle, int offset) : plugin(bundle), offset(offset)
    {
        if (!plugin.ok()) editorHostFailed("cannot load " + bundle);
        plugin.controller->setComponentHandler(&handler);
        ProcessSetup setup{kRealtime, kSample32, 512, sampleRateHz};
        SpeakerArrangement stereo = SpeakerArr::kStereo;
        plugin.processor->setupProcessing(setup);
        plugin.processor->setBusArrangements(&stereo, 1, &stereo, 1);
        plugin.component->activateBus(kAudio, kInput, 0, true);
        plugin.component->activateBus(kAudio, kOutput, 0, true);
        plugin.component->setActive(true);
        plugin.processor->setProcessing(true);
    }
    ~EditorInstance()
    {
        if (view != nullptr) {
            if (attached) view->removed();
            view->setFrame(nullptr);
            view->release();
        }
        plugin.processor->setProcessing(false);
        plugin.component->setActive(false);
        plugin.controller->setComponentHandler(nullptr);
    }
    void open()
    {
        view = plugin.controller->createView(ViewType::kEditor);
        if (view == nullptr || view->isPlatformTypeSupported(platform) != kResultTrue)
            editorHostFailed("no editor view");
        view->setFrame(&frame);
        ViewRect size;
        if (view->getSize(&size) != kResultOk) editorHostFailed("no editor size");
        window.reset(new HostFrame(40, 40 + offset, size.getWidth(), size.getHeight()));
        reopen();
        window->pump();
        int x = 0, y = 0;
        window->origin(x, y);
        std::printf("window %lu %d %d %d %d\n",
                    static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(window->handle())), x, y,
                    size.getWidth(), size.getHeight());
        std::fflush(stdout);
    }
    void idle(double amplitude)
    {
        process(amplitude);
#if !defined(_WIN32)
        frame.runLoop.fire();
#endif
        if (window) window->pump();
    }
    void set(int index, float position)
    {
        plugin.controller->setParamNormalized(static_cast<ParamID>(index), position);
    }
    void print(int index)
    {
        std::printf("param %d %.6f\n", index,
                    plugin.controller->getParamNormalized(static_cast<ParamID>(index)));
        std::fflush(stdout);
    }
    void destroyParent()
    {
        if (window) window->destroy();
    }
    void close()
    {
        if (view != nullptr && attached) view->removed();
        attached = false;
    }
    void reopen()
    {
        if (view == nullptr || !window || view->attached(window->handle(), platform) != kResultOk)
            editorHostFailed("the editor did not open");
        attached = true;
    }

private:
    // One idle period of three tones (silence at amplitude 0), with the edits since the last block.
    void process(double amplitude)
    {
        const auto frames = static_cast<std::size_t>(sampleRateHz * editorIdleMilliseconds / 1000.0);
        std::vector<float> left(frames), right(frames), outLeft(frames), outRight(frames);
        for (std::size_t i = 0; i < frames; ++i, ++phase) {
            const double t = 2.0 * 3.141592653589793 * static_cast<double>(phase) / sampleRateHz;
            left[i] = right[i] = static_cast<float>(
                amplitude * (std::sin(100.0 * t) + 0.5 * std::sin(1000.0 * t) + 0.25 * std::sin(6000.0 * t)));
        }
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {outLeft.data(), outRight.data()};
        AudioBusBuffers inBus, outBus;
        inBus.numChannels = outBus.numChannels = 2;
        inBus.channelBuffers32 = ins;
        outBus.channelBuffers32 = outs;
        Changes meters;
        ProcessData data;
        data.numSamples = static_cast<int32>(frames);
        data.numInputs = data.numOutputs = 1;
        data.inputs = &inBus;
        data.outputs = &outBus;
        data.inputParameterChanges = &handler.pending;
        data.outputParameterChanges = &meters;
        plugin.processor->process(data);
        handler.pending.queues.clear();
    }

    static constexpr double sampleRateHz = 44100.0;
#if defined(_WIN32)
    const char* platform = kPlatformTypeHWND;
#else
    const char* platform = kPlatformTypeX11EmbedWindowID;
#endif
    Plugin plugin;
    int offset;
    Handler handler;
    Frame frame;
    IPlugView* view = nullptr;
    std::unique_ptr<HostFrame> window;
    bool attached = false;
    long phase = 0;
};
} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::string(argv[1]) == "editor") {
        const std::string bundle = argv[2];
        {
            EditorHostSession<EditorInstance> session(
                [&](int offset) { return std::make_unique<EditorInstance>(bundle, offset); });
            session.run(argc - 3, argv + 3);
        }
        std::printf("done\n");
        return 0;
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "info") return info(args[1]);
    if (args.size() >= 4 && args[0] == "render" && (args.size() - 4) % 2 == 0) {
        int blockFrames = 1024;
        std::map<ParamID, double> settings;
        std::string loadState, saveState;
        for (std::size_t i = 4; i < args.size(); i += 2) {
            const std::string& value = args[i + 1];
            if (args[i] == "--block") {
                blockFrames = std::stoi(value);
            } else if (args[i] == "--set" && value.find('=') != std::string::npos) {
                settings[static_cast<ParamID>(std::stoul(value))] =
                    std::stod(value.substr(value.find('=') + 1));
            } else if (args[i] == "--load-state") {
                loadState = value;
            } else if (args[i] == "--save-state") {
                saveState = value;
            } else {
                return std::fprintf(stderr, "sdk-vst3-host: unknown option %s\n", args[i].c_str()), 2;
            }
        }
        return blockFrames > 0
                   ? render(args[1], args[2], args[3], blockFrames, settings, loadState, saveState)
                   : 2;
    }
    std::fprintf(stderr, "usage: sdk-vst3-host info BUNDLE | render BUNDLE IN.wav OUT.wav [options] | editor "
                         "BUNDLE STEP...\n");
    return 2;
}
