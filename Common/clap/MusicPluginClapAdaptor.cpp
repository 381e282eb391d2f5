#include "Common/clap/MusicPluginClapAdaptor.h"

#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/IntegerParam.h"
#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/ParamValue.h"
#include "Common/musicplugin/PluginState.h"
#include "Common/musicplugin/RealParam.h"
#include "Common/musicplugin/UserValue.h"

#include <clap/ext/latency.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace
{
using Adaptor = MusicPluginClapAdaptor;

// Frames of the stand-in buffers: a run that needs them goes in pieces of this length.
constexpr std::uint32_t standInFrames = 1024;
// Longest run handed to MusicPlugin::process, whose frame count is an int.
constexpr std::uint32_t maxRunFrames = 1u << 20;

Adaptor* adaptorOf(const clap_plugin_t* plugin)
{
    return plugin != nullptr ? static_cast<Adaptor*>(plugin->plugin_data) : nullptr;
}

// The C callbacks: each refuses a null handle; nothing leaves them as an exception.
bool init(const clap_plugin_t* plugin)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr && adaptor->init();
}

void destroy(const clap_plugin_t* plugin)
{
    delete adaptorOf(plugin);
}

bool activate(const clap_plugin_t* plugin, double sampleRateHz, uint32_t minFrames, uint32_t maxFrames)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr && adaptor->activate(sampleRateHz, minFrames, maxFrames);
}

void deactivate(const clap_plugin_t* plugin)
{
    if (Adaptor* adaptor = adaptorOf(plugin)) adaptor->deactivate();
}

bool startProcessing(const clap_plugin_t* plugin)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr && adaptor->startProcessing();
}

// Nothing to stop: the next block simply comes or does not.
void stopProcessing(const clap_plugin_t*) {}

void reset(const clap_plugin_t* plugin)
{
    if (Adaptor* adaptor = adaptorOf(plugin)) adaptor->reset();
}

clap_process_status process(const clap_plugin_t* plugin, const clap_process_t* process)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr ? adaptor->process(process) : CLAP_PROCESS_ERROR;
}

const void* getExtension(const clap_plugin_t* plugin, const char* id)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr ? adaptor->extension(id) : nullptr;
}

// No work is ever deferred to the main thread.
void onMainThread(const clap_plugin_t*) {}

uint32_t audioPortCount(const clap_plugin_t* plugin, bool isInput)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr ? adaptor->audioPortCount(isInput) : 0;
}

bool audioPortInfo(const clap_plugin_t* plugin, uint32_t index, bool isInput, clap_audio_port_info_t* info)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr && adaptor->audioPortInfo(index, isInput, info);
}

uint32_t paramCount(const clap_plugin_t* plugin)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr ? adaptor->paramCount() : 0;
}

bool paramInfo(const clap_plugin_t* plugin, uint32_t index, clap_param_info_t* info)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr && adaptor->paramInfo(index, info);
}

bool paramValue(const clap_plugin_t* plugin, clap_id id, double* value)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr && adaptor->paramValue(id, value);
}

bool valueToText(const clap_plugin_t* plugin, clap_id id, double value, char* text, uint32_t size)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr && adaptor->valueToText(id, value, text, size);
}

bool textToValue(const clap_plugin_t* plugin, clap_id id, const char* text, double* value)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr && adaptor->textToValue(id, text, value);
}

void flush(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out)
{
    if (Adaptor* adaptor = adaptorOf(plugin)) adaptor->flush(in, out);
}

bool saveState(const clap_plugin_t* plugin, const clap_ostream_t* stream)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr && adaptor->saveState(stream);
}

bool loadState(const clap_plugin_t* plugin, const clap_istream_t* stream)
{
    Adaptor* adaptor = adaptorOf(plugin);
    return adaptor != nullptr && adaptor->loadState(stream);
}

// Nothing is delayed: every output frame answers the input frame of the same instant.
uint32_t latency(const clap_plugin_t*)
{
    return 0;
}

const clap_plugin_audio_ports_t audioPortsExtension = {&audioPortCount, &audioPortInfo};
const clap_plugin_params_t paramsExtension = {&paramCount,  &paramInfo,   &paramValue,
                                              &valueToText, &textToValue, &flush};
const clap_plugin_state_t stateExtension = {&saveState, &loadState};
const clap_plugin_latency_t latencyExtension = {&latency};

// The extensions the plug-in offers, by ID: the one place that lists them.
struct Extension
{
    const char* id;
    const void* table;
};
const Extension extensions[] = {
    {CLAP_EXT_AUDIO_PORTS, &audioPortsExtension},
    {CLAP_EXT_PARAMS, &paramsExtension},
    {CLAP_EXT_STATE, &stateExtension},
    {CLAP_EXT_LATENCY, &latencyExtension},
};

// Copies text into a host's buffer of size bytes, cut to fit and always terminated.
void copyText(const std::string& text, char* dest, std::size_t size)
{
    if (size == 0) return;
    const std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(dest, text.data(), length);
    dest[length] = '\0';
}

std::string withUnit(const std::string& value, const std::string& unit)
{
    return unit.empty() ? value : value + " " + unit;
}

clap_event_header_t header(std::uint32_t size, std::uint32_t time, std::uint16_t type)
{
    return clap_event_header_t{size, time, CLAP_CORE_EVENT_SPACE_ID, type, 0};
}

bool sendValue(const clap_output_events_t* out, std::uint32_t time, clap_id id, double value)
{
    clap_event_param_value_t event{};
    event.header = header(sizeof event, time, CLAP_EVENT_PARAM_VALUE);
    event.param_id = id;
    event.cookie = nullptr;
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = value;
    return out->try_push(out, &event.header);
}

bool sendGesture(const clap_output_events_t* out, std::uint16_t type, clap_id id)
{
    clap_event_param_gesture_t event{};
    event.header = header(sizeof event, 0, type);
    event.param_id = id;
    return out->try_push(out, &event.header);
}
} // namespace

MusicPluginClapAdaptor::MusicPluginClapAdaptor(const clap_plugin_descriptor_t* descriptor,
                                               const clap_host_t* host,
                                               std::unique_ptr<MusicPlugin> effectInstance,
                                               std::unique_ptr<MusicPlugin> shadowInstance)
    : clap{descriptor,
           this,
           &::init,
           &destroy,
           &::activate,
           &::deactivate,
           &::startProcessing,
           &stopProcessing,
           &::reset,
           &::process,
           &getExtension,
           &::onMainThread},
      host(host), effect(std::move(effectInstance)), shadow(std::move(shadowInstance)),
      effectParams(effect->paramList.params()), shadowParams(shadow->paramList.params()),
      hostInputs(static_cast<std::size_t>(effect->numAudioInputs + effect->numKeyInputs), nullptr),
      hostOutputs(static_cast<std::size_t>(effect->numAudioOutputs), nullptr), silence(standInFrames, 0.0f),
      discard(standInFrames, 0.0f), published(static_cast<int>(effectParams.size())),
      meterReadings(effect->numMeters()), loaded(static_cast<int>(effectParams.size())),
      loadedValues(effectParams.size()), takenValues(effectParams.size()), meters(*effect),
      gestures(gestureCapacity, static_cast<int>(effectParams.size()))
{
    if (effectParams.size() != shadowParams.size() || effect->numAudioInputs != shadow->numAudioInputs)
        throw std::logic_error("the factory made two different plug-ins");
    // The main ports carry every channel the plug-in has; its key comes through a port of its own.
    if (effect->numAudioInputs > 0) inputPorts.push_back(Port{"Main In", 0, effect->numAudioInputs, true});
    if (effect->numKeyInputs > 0)
        inputPorts.push_back(Port{"Side-chain", effect->numAudioInputs, effect->numKeyInputs, false});
    if (effect->numAudioOutputs > 0)
        outputPorts.push_back(Port{"Main Out", 0, effect->numAudioOutputs, true});
    channelInputs.assign(static_cast<std::size_t>(effect->numAudioInputs), nullptr);
    channelKeys.assign(static_cast<std::size_t>(effect->numKeyInputs), nullptr);
    channelOutputs.assign(static_cast<std::size_t>(effect->numAudioOutputs), nullptr);
    for (int j = 0; j < effect->numMeters(); ++j)
        (effect->meterInfo(j).editorOnly ? editorMeters : exposedMeters).push_back(j);
    for (std::size_t i = 0; i < effectParams.size(); ++i)
        initialValues.push_back(::paramValue(*effectParams[i]));
    published.writeAll(initialValues.data());
    for (int j : exposedMeters) {
        const MusicPlugin::MeterInfo info = effect->meterInfo(j);
        meterRanges.push_back(MeterRange{info.minValue, info.maxValue});
    }
    for (const MeterRange& range : meterRanges)
        lastSentMeters.push_back(range.minValue);
}

MusicPluginClapAdaptor::~MusicPluginClapAdaptor()
{
    // The editor first: it refers to the rest (a host may destroy the plug-in with its editor open).
    guiPart.reset();
}

bool MusicPluginClapAdaptor::onMainThread() const noexcept
{
    // Without the host's word every call is taken to come where CLAP says it does.
    return threadCheck == nullptr || threadCheck->is_main_thread == nullptr ||
           threadCheck->is_main_thread(host);
}

bool MusicPluginClapAdaptor::init() noexcept
{
    if (initialised) return false;
    initialised = true;
    if (host != nullptr && host->get_extension != nullptr) {
        threadCheck =
            static_cast<const clap_host_thread_check_t*>(host->get_extension(host, CLAP_EXT_THREAD_CHECK));
        hostParams = static_cast<const clap_host_params_t*>(host->get_extension(host, CLAP_EXT_PARAMS));
    }
    return true;
}

bool MusicPluginClapAdaptor::activate(double sampleRateHz, std::uint32_t minFrames,
                                      std::uint32_t maxFrames) noexcept
{
    if (!initialised || isActive() || !onMainThread() || !(sampleRateHz >= lowestSampleRate) ||
        !(sampleRateHz <= highestSampleRate) || minFrames > maxFrames || maxFrames == 0)
        return false;
    try {
        effect->sampleRate.setValue(sampleRateHz);
    } catch (...) {
        return false;
    }
    applyLoadedState();
    effect->clear();
    for (int j = 0; j < effect->numMeters(); ++j)
        effect->takeMeterReading(j);
    active.store(true, std::memory_order_release);
    return true;
}

void MusicPluginClapAdaptor::deactivate() noexcept
{
    if (onMainThread()) active.store(false, std::memory_order_release);
}

bool MusicPluginClapAdaptor::startProcessing() noexcept
{
    return isActive();
}

void MusicPluginClapAdaptor::reset() noexcept
{
    if (isActive()) effect->clear();
}

const void* MusicPluginClapAdaptor::extension(const char* id) const noexcept
{
    if (id == nullptr) return nullptr;
    for (const Extension& e : extensions)
        if (std::strcmp(id, e.id) == 0) return e.table;
    return guiPart != nullptr ? guiPart->extension(id) : nullptr;
}

// --- audio ports ---

std::uint32_t MusicPluginClapAdaptor::audioPortCount(bool isInput) const noexcept
{
    return static_cast<std::uint32_t>((isInput ? inputPorts : outputPorts).size());
}

bool MusicPluginClapAdaptor::audioPortInfo(std::uint32_t index, bool isInput,
                                           clap_audio_port_info_t* info) const noexcept
{
    const std::vector<Port>& ports = isInput ? inputPorts : outputPorts;
    if (info == nullptr || index >= ports.size()) return false;
    const Port& port = ports[index];
    info->id = index;
    copyText(port.name, info->name, sizeof info->name);
    info->flags = port.isMain ? CLAP_AUDIO_PORT_IS_MAIN : 0;
    info->channel_count = static_cast<std::uint32_t>(port.channelCount);
    info->port_type = port.channelCount == 2   ? CLAP_PORT_STEREO
                      : port.channelCount == 1 ? CLAP_PORT_MONO
                                               : nullptr;
    // The main ports may share buffers: the plug-in reads a run's input before it writes its output.
    const std::vector<Port>& others = isInput ? outputPorts : inputPorts;
    info->in_place_pair = port.isMain && index < others.size() && others[index].isMain &&
                                  others[index].channelCount == port.channelCount
                              ? index
                              : CLAP_INVALID_ID;
    return true;
}

// --- parameters ---

std::uint32_t MusicPluginClapAdaptor::paramCount() const noexcept
{
    return static_cast<std::uint32_t>(effectParams.size() + exposedMeters.size());
}

int MusicPluginClapAdaptor::exposedMeterOf(clap_id id) const noexcept
{
    if (id < firstMeterId) return -1;
    for (std::size_t k = 0; k < exposedMeters.size(); ++k)
        if (id - firstMeterId == static_cast<clap_id>(exposedMeters[k])) return static_cast<int>(k);
    return -1;
}

bool MusicPluginClapAdaptor::paramInfo(std::uint32_t index, clap_param_info_t* info) const noexcept
{
    if (info == nullptr || index >= paramCount()) return false;
    try {
        std::memset(info, 0, sizeof *info);
        info->cookie = nullptr;
        if (index < effectParams.size()) {
            // The shadow answers: the live plug-in belongs to the audio thread.
            const Param& param = *shadowParams[index];
            info->id = index;
            info->flags = CLAP_PARAM_IS_AUTOMATABLE;
            copyText(param.getDisplayName(), info->name, sizeof info->name);
            if (const auto* real = dynamic_cast<const RealParam*>(&param)) {
                info->min_value = real->getMinValue();
                info->max_value = real->getMaxValue();
                info->default_value = real->getDefaultValue();
            } else {
                const auto* integer = dynamic_cast<const IntegerParam*>(&param);
                info->flags |= CLAP_PARAM_IS_STEPPED;
                info->min_value = integer != nullptr ? integer->clip(-2147483647 - 1) : 0.0;
                info->max_value = integer != nullptr ? integer->clip(2147483647) : 1.0;
                // A switch or step has no default of its own: the value a new plug-in starts with.
                info->default_value = initialValues[index];
            }
            return true;
        }
        const int meter = exposedMeters[index - effectParams.size()];
        const MusicPlugin::MeterInfo meterInfo = shadow->meterInfo(meter);
        info->id = firstMeterId + static_cast<clap_id>(meter);
        info->flags = CLAP_PARAM_IS_READONLY;
        copyText(meterInfo.name, info->name, sizeof info->name);
        info->min_value = meterInfo.minValue;
        info->max_value = meterInfo.maxValue;
        info->default_value = meterInfo.minValue;
        return true;
    } catch (...) {
        return false;
    }
}

void MusicPluginClapAdaptor::currentValues(double* values) const noexcept
{
    if (loadPending())
        std::copy(loadedValues.begin(), loadedValues.end(), values);
    else
        published.read(values);
}

double MusicPluginClapAdaptor::currentValue(std::size_t index) const noexcept
{
    return loadPending() ? loadedValues[index] : published.value(static_cast<int>(index));
}

bool MusicPluginClapAdaptor::paramValue(clap_id id, double* value) const noexcept
{
    if (value == nullptr) return false;
    if (id < effectParams.size()) {
        *value = currentValue(id);
        return true;
    }
    const int k = exposedMeterOf(id);
    if (k < 0) return false;
    const MeterRange& range = meterRanges[static_cast<std::size_t>(k)];
    *value = std::clamp(meterReadings.value(exposedMeters[static_cast<std::size_t>(k)]), range.minValue,
                        range.maxValue);
    return true;
}

bool MusicPluginClapAdaptor::valueToText(clap_id id, double value, char* text, std::uint32_t size) noexcept
{
    if (text == nullptr || size == 0 || std::isnan(value)) return false;
    try {
        if (id < effectParams.size()) {
            // The shadow's parameter is only a formatter here: save sets every value before it writes.
            Param& param = *shadowParams[id];
            ::setParamValue(param, value);
            copyText(withUnit(param.getDisplayValue(), param.getDisplayLabel()), text, size);
            return true;
        }
        const int k = exposedMeterOf(id);
        if (k < 0) return false;
        char number[32];
        std::snprintf(number, sizeof number, "%.1f", value);
        copyText(withUnit(number, shadow->meterInfo(exposedMeters[static_cast<std::size_t>(k)]).unit), text,
                 size);
        return true;
    } catch (...) {
        return false;
    }
}

bool MusicPluginClapAdaptor::textToValue(clap_id id, const char* text, double* value) noexcept
{
    if (text == nullptr || value == nullptr) return false;
    try {
        if (id < effectParams.size()) {
            Param& param = *shadowParams[id];
            const std::optional<double> parsed = zr::host::parseParamText(param, text);
            if (!parsed || std::isnan(*parsed)) return false;
            *value = ::setParamValue(param, *parsed);
            return true;
        }
        const int k = exposedMeterOf(id);
        if (k < 0) return false;
        const MusicPlugin::MeterInfo info = shadow->meterInfo(exposedMeters[static_cast<std::size_t>(k)]);
        const std::optional<double> parsed =
            zr::host::parseUserValue(text, zr::host::ValueUnit::Plain, info.unit);
        if (!parsed || std::isnan(*parsed)) return false;
        *value = std::clamp(*parsed, info.minValue, info.maxValue);
        return true;
    } catch (...) {
        return false;
    }
}

void MusicPluginClapAdaptor::flush(const clap_input_events_t* in, const clap_output_events_t* out) noexcept
{
    // While active only the audio thread may touch the live plug-in; a host that says otherwise is ignored.
    if (isActive() && threadCheck != nullptr && threadCheck->is_audio_thread != nullptr &&
        !threadCheck->is_audio_thread(host))
        return;
    applyLoadedState();
    applyGestures(out);
    applyEvents(in);
}

// --- an editor's gestures ---

void MusicPluginClapAdaptor::requestFlush() const noexcept
{
    if (hostParams != nullptr && hostParams->request_flush != nullptr) hostParams->request_flush(host);
}

void MusicPluginClapAdaptor::beginGesture(int index) noexcept
{
    gestures.begin(index);
    requestFlush();
}

void MusicPluginClapAdaptor::gestureValue(int index, double value) noexcept
{
    if (std::isnan(value)) return;
    gestures.value(index, value);
    requestFlush();
}

void MusicPluginClapAdaptor::endGesture(int index) noexcept
{
    gestures.end(index);
    requestFlush();
}

void MusicPluginClapAdaptor::endGestures() noexcept
{
    if (gestures.endAll()) requestFlush();
}

double MusicPluginClapAdaptor::editorValue(int index) const noexcept
{
    if (index < 0 || static_cast<std::size_t>(index) >= effectParams.size()) return 0.0;
    const std::optional<double> pending = gestures.pending(index);
    return pending ? *pending : currentValue(static_cast<std::size_t>(index));
}

void MusicPluginClapAdaptor::applyGestures(const clap_output_events_t* out) noexcept
{
    const bool tell = out != nullptr && out->try_push != nullptr;
    GestureQueue::Entry entry{};
    while (gestures.peek(entry)) {
        const auto id = static_cast<clap_id>(entry.index);
        // Applied again when the host's queue is full and the entry waits for the next block: no harm.
        const double value =
            entry.hasValue ? applyValue(static_cast<std::size_t>(entry.index), entry.value) : 0.0;
        if (tell) {
            if (entry.kind == GestureQueue::Kind::begin &&
                !sendGesture(out, CLAP_EVENT_PARAM_GESTURE_BEGIN, id))
                return;
            if (entry.hasValue && !sendValue(out, 0, id, value)) return;
            if (entry.kind == GestureQueue::Kind::end && !sendGesture(out, CLAP_EVENT_PARAM_GESTURE_END, id))
                return;
        }
        gestures.pop();
    }
}

// --- processing ---

void MusicPluginClapAdaptor::applyLoadedState() noexcept
{
    const std::uint32_t offered = loadsOffered.load(std::memory_order_acquire);
    if (offered == loadsTaken.load(std::memory_order_relaxed)) return;
    // A load being written meanwhile is taken at the next block.
    if (!loaded.tryRead(takenValues.data())) return;
    for (std::size_t i = 0; i < effectParams.size(); ++i)
        published.write(static_cast<int>(i), ::setParamValue(*effectParams[i], takenValues[i]));
    // Release: whoever sees the count also sees the values published before it.
    loadsTaken.store(offered, std::memory_order_release);
}

void MusicPluginClapAdaptor::applyEvent(const clap_event_header_t* event) noexcept
{
    if (event == nullptr || event->space_id != CLAP_CORE_EVENT_SPACE_ID) return;
    if (event->type == CLAP_EVENT_PARAM_VALUE && event->size >= sizeof(clap_event_param_value_t)) {
        const auto* change = reinterpret_cast<const clap_event_param_value_t*>(event);
        if (change->param_id >= effectParams.size() || std::isnan(change->value)) return;
        applyValue(change->param_id, change->value);
    } else if (event->type == CLAP_EVENT_TRANSPORT && event->size >= sizeof(clap_event_transport_t)) {
        applyTransport(*reinterpret_cast<const clap_event_transport_t*>(event));
    }
}

double MusicPluginClapAdaptor::applyValue(std::size_t index, double value) noexcept
{
    value = ::setParamValue(*effectParams[index], value);
    published.write(static_cast<int>(index), value);
    return value;
}

void MusicPluginClapAdaptor::applyTransport(const clap_event_transport_t& transport) noexcept
{
    if ((transport.flags & CLAP_TRANSPORT_HAS_TEMPO) != 0 && transport.tempo > 0.0 &&
        std::isfinite(transport.tempo))
        effect->tempo.setValue(transport.tempo);
}

void MusicPluginClapAdaptor::applyEvents(const clap_input_events_t* in) noexcept
{
    if (in == nullptr || in->size == nullptr || in->get == nullptr) return;
    const std::uint32_t count = in->size(in);
    for (std::uint32_t i = 0; i < count; ++i)
        applyEvent(in->get(in, i));
}

clap_process_status MusicPluginClapAdaptor::process(const clap_process_t* process) noexcept
{
    if (process == nullptr || !isActive()) return CLAP_PROCESS_ERROR;
    applyLoadedState();
    // The block's transport comes without a header a host need fill in.
    if (process->transport != nullptr) applyTransport(*process->transport);
    // The editor's gestures at the block's start, before the host's events (and the meters) go out.
    applyGestures(process->out_events);
    const std::uint32_t frames = process->frames_count;
    // Each event takes effect at its frame: the audio before it runs first. Events out of order take
    // effect where the audio stands.
    const clap_input_events_t* in = process->in_events;
    const std::uint32_t count = in != nullptr && in->size != nullptr && in->get != nullptr ? in->size(in) : 0;
    std::uint32_t done = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const clap_event_header_t* event = in->get(in, i);
        if (event == nullptr) continue;
        const std::uint32_t at = std::min(event->time, frames);
        if (at > done) {
            runAudio(process, done, at - done);
            done = at;
        }
        applyEvent(event);
    }
    if (frames > done) runAudio(process, done, frames - done);
    sendMeters(process);
    return CLAP_PROCESS_CONTINUE;
}

void MusicPluginClapAdaptor::runAudio(const clap_process_t* process, std::uint32_t offset,
                                      std::uint32_t frames) noexcept
{
    // Channels a host leaves out read silence or write into the discard buffer, a piece at a time.
    bool standIns = false;
    for (std::size_t p = 0; p < inputPorts.size(); ++p) {
        const clap_audio_buffer_t* buffer =
            process->audio_inputs != nullptr && p < process->audio_inputs_count ? &process->audio_inputs[p]
                                                                                : nullptr;
        const bool usable = buffer != nullptr && buffer->data32 != nullptr && buffer->channel_count > 0;
        for (int c = 0; c < inputPorts[p].channelCount; ++c) {
            // A mono buffer feeds every channel of its port.
            const float* data =
                usable ? buffer->data32[std::min(static_cast<std::uint32_t>(c), buffer->channel_count - 1)]
                       : nullptr;
            hostInputs[static_cast<std::size_t>(inputPorts[p].firstChannel + c)] = data;
            standIns = standIns || (data == nullptr && inputPorts[p].isMain);
        }
    }
    bool keyed = !channelKeys.empty();
    for (std::size_t c = 0; c < channelKeys.size(); ++c)
        keyed = keyed && hostInputs[channelInputs.size() + c] != nullptr;
    for (std::size_t p = 0; p < outputPorts.size(); ++p) {
        clap_audio_buffer_t* buffer = process->audio_outputs != nullptr && p < process->audio_outputs_count
                                          ? &process->audio_outputs[p]
                                          : nullptr;
        if (buffer != nullptr) buffer->constant_mask = 0;
        for (int c = 0; c < outputPorts[p].channelCount; ++c) {
            float* data = buffer != nullptr && buffer->data32 != nullptr &&
                                  static_cast<std::uint32_t>(c) < buffer->channel_count
                              ? buffer->data32[c]
                              : nullptr;
            hostOutputs[static_cast<std::size_t>(outputPorts[p].firstChannel + c)] = data;
            standIns = standIns || data == nullptr;
        }
    }
    const std::uint32_t pieceFrames = standIns ? standInFrames : maxRunFrames;
    for (std::uint32_t start = 0; start < frames;) {
        const std::uint32_t n = std::min(pieceFrames, frames - start);
        const std::uint32_t at = offset + start;
        for (std::size_t c = 0; c < channelInputs.size(); ++c)
            channelInputs[c] = hostInputs[c] != nullptr ? hostInputs[c] + at : silence.data();
        for (std::size_t c = 0; c < hostOutputs.size(); ++c)
            channelOutputs[c] = hostOutputs[c] != nullptr ? hostOutputs[c] + at : discard.data();
        for (std::size_t c = 0; keyed && c < channelKeys.size(); ++c)
            channelKeys[c] = hostInputs[channelInputs.size() + c] + at;
        effect->processWithKey(channelInputs.data(), keyed ? channelKeys.data() : nullptr,
                               channelOutputs.data(), static_cast<int>(n));
        start += n;
    }
}

void MusicPluginClapAdaptor::sendMeters(const clap_process_t* process) noexcept
{
    // The exposed meters' readings are taken once a block and go to the host when they move; the others
    // only while an editor wants them, at its pace (they cost the audio thread some work).
    const bool editorDue = meters.due(*effect, static_cast<int>(process->frames_count));
    const clap_output_events_t* out = process->out_events;
    const bool canSend = out != nullptr && out->try_push != nullptr;
    for (std::size_t k = 0; k < exposedMeters.size(); ++k) {
        const int j = exposedMeters[k];
        const double taken = effect->takeMeterReading(j);
        meters.offer(j, taken);
        // Within the range the host was told, NaN at its floor.
        const MeterRange& range = meterRanges[k];
        const double reading = taken > range.minValue ? std::min(taken, range.maxValue) : range.minValue;
        meterReadings.write(j, reading);
        if (reading == lastSentMeters[k] || !canSend) continue;
        // A full queue keeps the old value as sent, so the next block tries again.
        if (sendValue(out, process->frames_count > 0 ? process->frames_count - 1 : 0,
                      firstMeterId + static_cast<clap_id>(j), reading))
            lastSentMeters[k] = reading;
    }
    if (editorDue)
        for (int j : editorMeters)
            meters.offer(j, effect->takeMeterReading(j));
}

// --- state ---

bool MusicPluginClapAdaptor::saveState(const clap_ostream_t* stream) noexcept
{
    if (stream == nullptr || stream->write == nullptr || !onMainThread()) return false;
    try {
        std::vector<double> values(effectParams.size());
        currentValues(values.data());
        for (std::size_t i = 0; i < values.size(); ++i)
            ::setParamValue(*shadowParams[i], values[i]);
        // The bank chunk's bytes exactly, its terminating zero included.
        const std::string text = PluginState::saveBank(*shadow, 0);
        const char* bytes = text.c_str();
        std::uint64_t left = text.size() + 1;
        while (left > 0) {
            const std::int64_t written = stream->write(stream, bytes, left);
            if (written <= 0 || static_cast<std::uint64_t>(written) > left) return false;
            bytes += written;
            left -= static_cast<std::uint64_t>(written);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool MusicPluginClapAdaptor::loadState(const clap_istream_t* stream) noexcept
{
    if (stream == nullptr || stream->read == nullptr || !onMainThread()) return false;
    try {
        std::string bytes;
        char buffer[4096];
        for (;;) {
            const std::int64_t n = stream->read(stream, buffer, sizeof buffer);
            if (n == 0) break;
            if (n < 0 || static_cast<std::uint64_t>(n) > sizeof buffer ||
                bytes.size() + static_cast<std::size_t>(n) > maxStateBytes)
                return false;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        // The text ends at its zero byte; a stream that ends before it was cut short. What follows the
        // zero byte is ignored, as a VST 2 setChunk does.
        const std::size_t end = bytes.find('\0');
        if (end == std::string::npos || end == 0 || !PluginState::loadBank(*shadow, 0, bytes.substr(0, end)))
            return false;
        for (std::size_t i = 0; i < loadedValues.size(); ++i)
            loadedValues[i] = ::paramValue(*shadowParams[i]);
        loaded.writeAll(loadedValues.data());
        loadsOffered.store(loadsOffered.load(std::memory_order_relaxed) + 1, std::memory_order_release);
        // While inactive the main thread owns the live plug-in and takes the values itself.
        if (!isActive()) applyLoadedState();
        if (hostParams != nullptr && hostParams->rescan != nullptr)
            hostParams->rescan(host, CLAP_PARAM_RESCAN_VALUES);
        return true;
    } catch (...) {
        return false;
    }
}
