#pragma once
// A small VST 3 host for the tests, in process: the compressor's factory through the adaptor, a memory
// stream that can hand out a few bytes per read, parameter-change lists, and one instance set up the way
// hosts do (initialise, set up processing, activate) with stereo buffers of its own. The compressor as the
// VST 3 module makes it, with a key, is `keyedDescriptor`'s.

#include "Common/vst3/Vst3Factory.h"
#include "ZaRorurarozePlugin.h"
#include "vst3/ZaRorurarozeVst3.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace vst3test
{
using namespace vst3;

inline MusicPlugin* createPlugin()
{
    return new ZaRorurarozePlugin();
}

inline const MusicPluginVst3Adaptor::Descriptor descriptor{
    makeUid(zaRorurarozeVst3ClassId[0], zaRorurarozeVst3ClassId[1], zaRorurarozeVst3ClassId[2],
            zaRorurarozeVst3ClassId[3]),
    "ZaRoruraroze",
    "Orrel @ Quenderlab",
    zaRorurarozeVst3SubCategories,
    "1.0.0",
    &createPlugin,
    nullptr};

inline MusicPlugin* createKeyedPlugin()
{
    return new ZaRorurarozePlugin(ZaRorurarozePlugin::KeyInput::stereo);
}

inline const MusicPluginVst3Adaptor::Descriptor keyedDescriptor{
    descriptor.classId, descriptor.name, descriptor.vendor, descriptor.subCategories, descriptor.version,
    &createKeyedPlugin, nullptr};

// Host objects live on the stack or in fixtures: their reference counts are checked, never acted on.
template <typename Interface> class HostObject : public Interface
{
public:
    tresult ZR_VST3_API queryInterface(const TUID iid, void** obj) override
    {
        if (obj == nullptr) return kInvalidArgument;
        *obj = nullptr;
        if (!FUnknown::iid.matches(iid) && !Interface::iid.matches(iid)) return kNoInterface;
        *obj = this;
        addRef();
        return kResultOk;
    }
    std::uint32_t ZR_VST3_API addRef() override { return ++references; }
    std::uint32_t ZR_VST3_API release() override { return --references; }
    std::uint32_t references = 1;
};

// A byte stream; reads hand out at most bytesPerRead bytes each.
class MemoryStream : public HostObject<IBStream>
{
public:
    explicit MemoryStream(std::string bytes = {}, int bytesPerRead = 1 << 30)
        : data(std::move(bytes)), bytesPerRead(bytesPerRead)
    {}
    tresult ZR_VST3_API read(void* buffer, std::int32_t numBytes, std::int32_t* numBytesRead) override
    {
        const auto n = static_cast<std::int32_t>(std::min<std::size_t>(
            {std::size_t(std::max(numBytes, 0)), std::size_t(bytesPerRead), data.size() - position}));
        std::memcpy(buffer, data.data() + position, static_cast<std::size_t>(n));
        position += static_cast<std::size_t>(n);
        if (numBytesRead != nullptr) *numBytesRead = n;
        return kResultOk;
    }
    tresult ZR_VST3_API write(void* buffer, std::int32_t numBytes, std::int32_t* numBytesWritten) override
    {
        data.replace(position, std::min<std::size_t>(data.size() - position, std::size_t(numBytes)),
                     static_cast<const char*>(buffer), static_cast<std::size_t>(numBytes));
        position += static_cast<std::size_t>(numBytes);
        if (numBytesWritten != nullptr) *numBytesWritten = numBytes;
        return kResultOk;
    }
    tresult ZR_VST3_API seek(std::int64_t pos, std::int32_t mode, std::int64_t* result) override
    {
        const std::int64_t base = mode == kIBSeekSet   ? 0
                                  : mode == kIBSeekCur ? std::int64_t(position)
                                                       : std::int64_t(data.size());
        if (base + pos < 0 || base + pos > std::int64_t(data.size())) return kInvalidArgument;
        position = static_cast<std::size_t>(base + pos);
        if (result != nullptr) *result = std::int64_t(position);
        return kResultOk;
    }
    tresult ZR_VST3_API tell(std::int64_t* pos) override
    {
        if (pos == nullptr) return kInvalidArgument;
        *pos = std::int64_t(position);
        return kResultOk;
    }

    std::string data;
    std::size_t position = 0;
    int bytesPerRead;
};

class ValueQueue : public HostObject<IParamValueQueue>
{
public:
    explicit ValueQueue(ParamID id) : id(id) {}
    ParamID ZR_VST3_API getParameterId() override { return id; }
    std::int32_t ZR_VST3_API getPointCount() override { return static_cast<std::int32_t>(points.size()); }
    tresult ZR_VST3_API getPoint(std::int32_t index, std::int32_t& offset, ParamValue& value) override
    {
        if (index < 0 || index >= getPointCount()) return kInvalidArgument;
        offset = points[static_cast<std::size_t>(index)].first;
        value = points[static_cast<std::size_t>(index)].second;
        return kResultOk;
    }
    tresult ZR_VST3_API addPoint(std::int32_t offset, ParamValue value, std::int32_t& index) override
    {
        index = getPointCount();
        points.emplace_back(offset, value);
        return kResultOk;
    }
    ParamID id;
    std::vector<std::pair<std::int32_t, ParamValue>> points;
};

// Queues by ID, in the order first added, at most `capacity` of them.
class ParameterChanges : public HostObject<IParameterChanges>
{
public:
    std::int32_t ZR_VST3_API getParameterCount() override { return static_cast<std::int32_t>(queues.size()); }
    IParamValueQueue* ZR_VST3_API getParameterData(std::int32_t index) override
    {
        return index >= 0 && index < getParameterCount() ? &queues[static_cast<std::size_t>(index)] : nullptr;
    }
    IParamValueQueue* ZR_VST3_API addParameterData(const ParamID& id, std::int32_t& index) override
    {
        for (std::size_t i = 0; i < queues.size(); ++i)
            if (queues[i].id == id) return &queues[static_cast<std::size_t>(index = std::int32_t(i))];
        if (queues.size() == capacity) return nullptr;
        index = getParameterCount();
        queues.emplace_back(id);
        return &queues.back();
    }
    void add(ParamID id, std::int32_t offset, double value)
    {
        std::int32_t index = 0;
        if (IParamValueQueue* queue = addParameterData(id, index)) queue->addPoint(offset, value, index);
    }
    static constexpr std::size_t capacity = 32;
    std::deque<ValueQueue> queues;
};

// One instance, set up as hosts do, with stereo input and output buffers of maxFrames.
struct Instance
{
    explicit Instance(double rateHz = 48000.0, int maxFrames = 1024,
                      const MusicPluginVst3Adaptor::Descriptor& made = descriptor)
        : in(2), out(2)
    {
        Vst3Factory factory(made, "");
        void* obj = nullptr;
        factory.createInstance(made.classId.bytes, IComponent::iid.bytes, &obj);
        component = static_cast<IComponent*>(obj);
        component->queryInterface(IAudioProcessor::iid.bytes, &obj);
        processor = static_cast<IAudioProcessor*>(obj);
        component->queryInterface(IEditController::iid.bytes, &obj);
        controller = static_cast<IEditController*>(obj);
        component->initialize(nullptr);
        ProcessSetup setup{kRealtime, kSample32, maxFrames, rateHz};
        processor->setupProcessing(setup);
        component->setActive(1);
        processor->setProcessing(1);
        for (int c = 0; c < 2; ++c) {
            in[c].assign(static_cast<std::size_t>(maxFrames), 0.0f);
            out[c].assign(static_cast<std::size_t>(maxFrames), 0.0f);
        }
    }
    ~Instance()
    {
        processor->setProcessing(0);
        component->setActive(0);
        component->terminate();
        controller->release();
        processor->release();
        component->release();
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    // Runs `frames` frames from `offset` in the buffers (in place when inPlace), with the given changes;
    // with key buffers (two channels), as a second input bus.
    tresult process(int frames, ParameterChanges* changes = nullptr, int offset = 0, bool inPlace = false,
                    std::vector<std::vector<float>>* key = nullptr)
    {
        float* inputs[2] = {in[0].data() + offset, in[1].data() + offset};
        float* outputs[2] = {out[0].data() + offset, out[1].data() + offset};
        float* keys[2] = {key != nullptr ? (*key)[0].data() + offset : nullptr,
                          key != nullptr ? (*key)[1].data() + offset : nullptr};
        AudioBusBuffers inBuses[2]{};
        inBuses[0].numChannels = 2;
        inBuses[0].channelBuffers32 = inPlace ? outputs : inputs;
        inBuses[1].numChannels = 2;
        inBuses[1].channelBuffers32 = keys;
        AudioBusBuffers outBus{};
        outBus.numChannels = 2;
        outBus.channelBuffers32 = outputs;
        outputChanges.queues.clear();
        ProcessData data{kRealtime, kSample32, frames,  key != nullptr ? 2 : 1, 1,
                         inBuses,   &outBus,   changes, &outputChanges,         nullptr,
                         nullptr,   nullptr};
        const tresult result = processor->process(data);
        silenceFlags = outBus.silenceFlags;
        return result;
    }
    std::string state()
    {
        MemoryStream stream;
        component->getState(&stream);
        return stream.data;
    }
    tresult setState(const std::string& bytes, int bytesPerRead = 1 << 30)
    {
        MemoryStream stream(bytes, bytesPerRead);
        return component->setState(&stream);
    }

    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
    std::vector<std::vector<float>> in, out;
    ParameterChanges outputChanges;
    std::uint64_t silenceFlags = 0;
};
} // namespace vst3test
