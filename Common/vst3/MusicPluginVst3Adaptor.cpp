#include "Common/vst3/MusicPluginVst3Adaptor.h"

#include "Common/musicplugin/MusicPlugin.h"
#include "Common/vst3/Vst3StateStream.h"
#include "Common/vst3/Vst3Text.h"

#include <cmath>
#include <cstring>
#include <new>

using namespace vst3;

namespace
{
std::unique_ptr<MusicPlugin> make(const MusicPluginVst3Adaptor::Descriptor& descriptor)
{
    std::unique_ptr<MusicPlugin> plugin(descriptor.createPlugin());
    if (plugin == nullptr) throw std::bad_alloc();
    return plugin;
}

SpeakerArrangement arrangementOf(int channels)
{
    if (channels == 1) return SpeakerArr::kMono;
    if (channels == 2) return SpeakerArr::kStereo;
    return channels >= 64 ? ~SpeakerArrangement(0) : (SpeakerArrangement(1) << channels) - 1;
}

// Every host call that may allocate runs behind this: an exception becomes a refusal.
template <typename Call> tresult guarded(Call&& call)
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (...) {
        return kInternalError;
    }
}

// The same for calls that answer a value: 0 then.
template <typename Call> ParamValue valueOrZero(Call&& call)
{
    try {
        return call();
    } catch (...) {
        return 0.0;
    }
}
} // namespace

MusicPluginVst3Adaptor::MusicPluginVst3Adaptor(const Descriptor& descriptor)
    : MusicPluginVst3Adaptor(descriptor, make(descriptor))
{}

// The shadow, fresh from the factory, describes the plug-in before the controller takes it.
MusicPluginVst3Adaptor::MusicPluginVst3Adaptor(const Descriptor& descriptor,
                                               std::unique_ptr<MusicPlugin> shadow)
    : descriptor(descriptor), table(*shadow), inputBuses(inputBusesOf(*shadow)),
      outputBuses(mainBus("Output", shadow->numAudioOutputs)),
      processor(make(descriptor), table, channelsOf(inputBuses), channelsOf(outputBuses)),
      controller(std::move(shadow), make(descriptor), table, processor)
{}

MusicPluginVst3Adaptor::~MusicPluginVst3Adaptor()
{
    if (handler != nullptr) handler->release();
}

std::vector<MusicPluginVst3Adaptor::Bus> MusicPluginVst3Adaptor::mainBus(const char* name, int channels)
{
    // Later buses (a side-chain) follow the main one; every bus maps onto the plug-in's channels in order.
    if (channels <= 0) return {};
    return {Bus{name, channels, kMain, true}};
}

std::vector<MusicPluginVst3Adaptor::Bus> MusicPluginVst3Adaptor::inputBusesOf(const MusicPlugin& plugin)
{
    std::vector<Bus> list = mainBus("Input", plugin.numAudioInputs);
    // Off until the host switches it on, as hosts expect of an auxiliary bus.
    if (plugin.numKeyInputs > 0) list.push_back(Bus{"Side-chain", plugin.numKeyInputs, kAux, false});
    return list;
}

std::vector<int> MusicPluginVst3Adaptor::channelsOf(const std::vector<Bus>& list)
{
    std::vector<int> counts;
    for (const Bus& bus : list)
        counts.push_back(bus.channels);
    return counts;
}

std::vector<MusicPluginVst3Adaptor::Bus>* MusicPluginVst3Adaptor::buses(MediaType type, BusDirection dir)
{
    if (type != kAudio) return nullptr;
    if (dir == kInput) return &inputBuses;
    return dir == kOutput ? &outputBuses : nullptr;
}

// --- FUnknown ---

tresult MusicPluginVst3Adaptor::queryInterface(const TUID iid, void** obj)
{
    if (obj == nullptr) return kInvalidArgument;
    *obj = nullptr;
    if (iid == nullptr) return kInvalidArgument;
    if (FUnknown::iid.matches(iid) || IPluginBase::iid.matches(iid) || IComponent::iid.matches(iid))
        *obj = static_cast<IComponent*>(this);
    else if (IAudioProcessor::iid.matches(iid))
        *obj = static_cast<IAudioProcessor*>(this);
    else if (IEditController::iid.matches(iid))
        *obj = static_cast<IEditController*>(this);
    else if (IProcessContextRequirements::iid.matches(iid))
        *obj = static_cast<IProcessContextRequirements*>(this);
    else
        return kNoInterface;
    addRef();
    return kResultOk;
}

std::uint32_t MusicPluginVst3Adaptor::addRef()
{
    return references.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint32_t MusicPluginVst3Adaptor::release()
{
    const std::uint32_t left = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

// --- IPluginBase ---

tresult MusicPluginVst3Adaptor::initialize(FUnknown* /*context*/)
{
    // The host context offers nothing the plug-in needs, so no reference to it is kept.
    int count = initializations.load(std::memory_order_acquire);
    while (count < 2 && !initializations.compare_exchange_weak(count, count + 1, std::memory_order_acq_rel))
        ;
    return count < 2 ? kResultOk : kResultFalse;
}

tresult MusicPluginVst3Adaptor::terminate()
{
    int count = initializations.load(std::memory_order_acquire);
    while (count > 0 && !initializations.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel))
        ;
    if (count <= 0) return kResultFalse;
    if (count == 1) setComponentHandler(nullptr);
    return kResultOk;
}

// --- IComponent ---

tresult MusicPluginVst3Adaptor::getControllerClassId(TUID classId)
{
    // One object is both: there is no separate controller class.
    if (classId != nullptr) std::memset(classId, 0, sizeof(TUID));
    return kResultFalse;
}

tresult MusicPluginVst3Adaptor::setIoMode(IoMode /*mode*/)
{
    return initialized() ? kResultOk : kNotInitialized;
}

std::int32_t MusicPluginVst3Adaptor::getBusCount(MediaType type, BusDirection dir)
{
    const std::vector<Bus>* list = buses(type, dir);
    return initialized() && list != nullptr ? static_cast<std::int32_t>(list->size()) : 0;
}

tresult MusicPluginVst3Adaptor::getBusInfo(MediaType type, BusDirection dir, std::int32_t index, BusInfo& bus)
{
    if (!initialized()) return kNotInitialized;
    const std::vector<Bus>* list = buses(type, dir);
    if (list == nullptr || index < 0 || index >= static_cast<std::int32_t>(list->size()))
        return kInvalidArgument;
    const Bus& b = (*list)[static_cast<std::size_t>(index)];
    bus.mediaType = kAudio;
    bus.direction = dir;
    bus.channelCount = b.channels;
    copyToString128(b.name, bus.name);
    bus.busType = b.type;
    bus.flags = b.type == kMain ? std::uint32_t(BusInfo::kDefaultActive) : 0u;
    return kResultOk;
}

tresult MusicPluginVst3Adaptor::getRoutingInfo(RoutingInfo& /*inInfo*/, RoutingInfo& /*outInfo*/)
{
    return kNotImplemented;
}

tresult MusicPluginVst3Adaptor::activateBus(MediaType type, BusDirection dir, std::int32_t index, TBool state)
{
    if (!initialized()) return kNotInitialized;
    std::vector<Bus>* list = buses(type, dir);
    if (list == nullptr || index < 0 || index >= static_cast<std::int32_t>(list->size()))
        return kInvalidArgument;
    Bus& bus = (*list)[static_cast<std::size_t>(index)];
    bus.active = state != 0;
    if (dir == kInput && bus.type == kAux) processor.setKeyActive(bus.active);
    return kResultOk;
}

tresult MusicPluginVst3Adaptor::setActive(TBool state)
{
    if (!initialized()) return kNotInitialized;
    // The audio thread forgets the signal history before its first block after this.
    if (state != 0) processor.requestClear();
    return kResultOk;
}

tresult MusicPluginVst3Adaptor::loadComponentState(IBStream* state)
{
    if (!initialized()) return kNotInitialized;
    return guarded([&] {
        // Never a restartComponent here: a host that loads a preset may wait on its own lock meanwhile.
        const auto text = Vst3StateStream::readText(state);
        return text && controller.loadState(*text) ? kResultOk : kResultFalse;
    });
}

tresult MusicPluginVst3Adaptor::saveComponentState(IBStream* state)
{
    if (!initialized()) return kNotInitialized;
    return guarded(
        [&] { return Vst3StateStream::writeText(state, controller.saveState()) ? kResultOk : kResultFalse; });
}

// --- IAudioProcessor ---

tresult MusicPluginVst3Adaptor::setBusArrangements(SpeakerArrangement* inputs, std::int32_t numIns,
                                                   SpeakerArrangement* outputs, std::int32_t numOuts)
{
    if (!initialized()) return kNotInitialized;
    if ((numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr)) return kInvalidArgument;
    // Only the arrangements the buses have: anything else is refused and they stay as they are. A host
    // may leave out the buses after the main one (the side-chain), which then stay as they are too.
    const auto same = [](const std::vector<Bus>& list, const SpeakerArrangement* asked, std::int32_t count) {
        if (count > static_cast<std::int32_t>(list.size()) || (count < 1 && !list.empty())) return false;
        for (std::int32_t i = 0; i < count; ++i)
            if (asked[i] != arrangementOf(list[static_cast<std::size_t>(i)].channels)) return false;
        return true;
    };
    return same(inputBuses, inputs, numIns) && same(outputBuses, outputs, numOuts) ? kResultTrue
                                                                                   : kResultFalse;
}

tresult MusicPluginVst3Adaptor::getBusArrangement(BusDirection dir, std::int32_t index,
                                                  SpeakerArrangement& arr)
{
    if (!initialized()) return kNotInitialized;
    const std::vector<Bus>* list = buses(kAudio, dir);
    if (list == nullptr || index < 0 || index >= static_cast<std::int32_t>(list->size()))
        return kInvalidArgument;
    arr = arrangementOf((*list)[static_cast<std::size_t>(index)].channels);
    return kResultOk;
}

tresult MusicPluginVst3Adaptor::canProcessSampleSize(std::int32_t symbolicSampleSize)
{
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

std::uint32_t MusicPluginVst3Adaptor::getLatencySamples()
{
    return 0;
}

tresult MusicPluginVst3Adaptor::setupProcessing(ProcessSetup& setup)
{
    if (!initialized()) return kNotInitialized;
    if (setup.symbolicSampleSize != kSample32 || setup.maxSamplesPerBlock <= 0 ||
        !(setup.sampleRate >= lowestSampleRate && setup.sampleRate <= highestSampleRate))
        return kInvalidArgument;
    // Any block size is processed as it comes: nothing is sized by it.
    processor.requestSampleRate(setup.sampleRate);
    return kResultOk;
}

tresult MusicPluginVst3Adaptor::setProcessing(TBool /*state*/)
{
    return initialized() ? kResultOk : kNotInitialized;
}

tresult MusicPluginVst3Adaptor::process(ProcessData& data)
{
    return initialized() ? processor.process(data) : kNotInitialized;
}

std::uint32_t MusicPluginVst3Adaptor::getTailSamples()
{
    // The output follows the input's level: after silence in, silence out.
    return 0;
}

std::uint32_t MusicPluginVst3Adaptor::getProcessContextRequirements()
{
    return IProcessContextRequirements::kNeedTempo;
}

// --- IEditController ---

tresult MusicPluginVst3Adaptor::setComponentState(IBStream* state)
{
    // The controller and the component are one: this is the component's state, which it may already hold.
    return loadComponentState(state);
}

tresult MusicPluginVst3Adaptor::loadControllerState(IBStream* /*state*/)
{
    return initialized() ? kResultOk : kNotInitialized;
}

tresult MusicPluginVst3Adaptor::saveControllerState(IBStream* /*state*/)
{
    return initialized() ? kNotImplemented : kNotInitialized;
}

std::int32_t MusicPluginVst3Adaptor::getParameterCount()
{
    return initialized() ? static_cast<std::int32_t>(table.entries().size()) : 0;
}

tresult MusicPluginVst3Adaptor::getParameterInfo(std::int32_t paramIndex, ParameterInfo& info)
{
    if (!initialized()) return kNotInitialized;
    if (paramIndex < 0 || paramIndex >= getParameterCount()) return kInvalidArgument;
    table.fillInfo(table.entries()[static_cast<std::size_t>(paramIndex)], info);
    return kResultOk;
}

tresult MusicPluginVst3Adaptor::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                      String128 string)
{
    if (!initialized()) return kNotInitialized;
    if (string == nullptr) return kInvalidArgument;
    return guarded([&] {
        std::string text;
        if (!controller.textOf(id, valueNormalized, text)) return kInvalidArgument;
        copyToString128(text, string);
        return kResultOk;
    });
}

tresult MusicPluginVst3Adaptor::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized)
{
    if (!initialized()) return kNotInitialized;
    if (string == nullptr) return kInvalidArgument;
    return guarded([&] {
        // A host's text is a String128 at most; one without its terminator must not lead us further.
        return controller.normalizedOfText(id, utf8Of(string, 128), valueNormalized) ? kResultOk
                                                                                     : kResultFalse;
    });
}

ParamValue MusicPluginVst3Adaptor::normalizedParamToPlain(ParamID id, ParamValue valueNormalized)
{
    return initialized() ? valueOrZero([&] { return controller.plainOf(id, valueNormalized); }) : 0.0;
}

ParamValue MusicPluginVst3Adaptor::plainParamToNormalized(ParamID id, ParamValue plainValue)
{
    return initialized() ? valueOrZero([&] { return controller.normalizedOfPlain(id, plainValue); }) : 0.0;
}

ParamValue MusicPluginVst3Adaptor::getParamNormalized(ParamID id)
{
    return initialized() ? valueOrZero([&] { return controller.normalized(id); }) : 0.0;
}

tresult MusicPluginVst3Adaptor::setParamNormalized(ParamID id, ParamValue value)
{
    if (!initialized()) return kNotInitialized;
    return guarded([&] { return controller.setNormalized(id, value) ? kResultOk : kInvalidArgument; });
}

tresult MusicPluginVst3Adaptor::setComponentHandler(IComponentHandler* newHandler)
{
    if (newHandler != nullptr && !initialized()) return kNotInitialized;
    if (newHandler == handler) return kResultOk;
    if (newHandler != nullptr) newHandler->addRef();
    IComponentHandler* old = handler;
    handler = newHandler;
    if (old != nullptr) old->release();
    return kResultOk;
}

IPlugView* MusicPluginVst3Adaptor::createView(FIDString name)
{
    if (!initialized() || name == nullptr || std::strcmp(name, kEditorViewType) != 0 ||
        descriptor.createView == nullptr)
        return nullptr;
    try {
        return descriptor.createView(*this);
    } catch (...) {
        return nullptr;
    }
}
