// clap-test-host: a headless CLAP host built against the format's official headers only (Debian's
// dpf-source), with nothing of the plug-in's own code, so that what it finds about a plug-in is the
// format's word and not ours. It drives any CLAP plug-in as a host does, on a main and an audio thread,
// answers the thread-check extension truthfully, and prints what it saw; tests/clap/run.sh first checks it
// against a peer plug-in built from DPF, then against ours.
//
// Usage: clap-test-host PLUGIN.clap [options]
//   --describe            descriptor, features, ports and parameters, one line each
//   --check-texts         value_to_text/text_to_value round trips over every parameter's range
//   --robustness          calls out of order, null pointers, bad IDs, values and state streams
//   --in FILE.wav         32-bit float stereo input (default: 1 s of a 1 kHz sine at 0.5, 48 kHz); a
//                         four-channel file's last two channels feed the second input port (a side-chain)
//   --out FILE.wav        the output of the last cycle, 32-bit float
//   --blocks A,B,...      frames per block, taken in turn (default 256); the largest is the maximum
//   --set NAME=TEXT[@F]   a parameter (by name or ID) set from text through text_to_value, as an event at
//                         frame F (default 0) of the file; events alternate with and without the cookie
//   --value NAME=V[@F]    the same with a plain value V
//   --stream-bytes N      bytes a state stream moves per call (default 3)
//   --load FILE           the state loaded before activation
//   --load-during FILE@F  the state loaded on the main thread while the audio thread is at frame F
//   --save FILE           the state saved after the last cycle while still active
//   --inputs N            input buffers handed over (default: the declared ports)
//   --in-place            output buffers are the input buffers
//   --cycles N            activate, process the file, deactivate, N times (default 1)
//   --no-stop             never calls stop_processing (as qtractor)
//   --wrong-thread-save   also calls state.save from a third thread and reports whether it was refused
// Prints "errors N" last: N counts failed calls, thread violations and broken promises; exits 0 when 0.
//
// Usage: clap-test-host --gui PLUGIN.clap STEP...
//   The plug-in's editor (clap.gui) in a frame window of the host's own (X11, or Win32 under wine), for the
//   display tests (tests/editor/display.sh): the steps of tests/editor/EditorHostSession.h, with plain
//   values ("set I VALUE", "param I VALUE", "automate I VALUE").
//   Each instance is active from its open on, with an audio thread that answers the plug-in's
//   request_flush with a flush (or runs blocks of a 1 kHz sine during "process MS AMPLITUDE"); the main
//   thread runs the plug-in's timers some 30 times a second. The last instance is destroyed with its
//   editor still created unless a "close" came last.

#include <clap/entry.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>
#include <clap/plugin-factory.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#if CLAP_HOST_GUI
#include "EditorHostSession.h"
#include "HostFrame.h"
#endif

namespace
{
int errors = 0;

void error(const std::string& what)
{
    std::printf("ERROR %s\n", what.c_str());
    ++errors;
}

// --- the library ---

const clap_plugin_entry_t* openEntry(const std::string& path)
{
#if defined(_WIN32)
    HMODULE library = LoadLibraryA(path.c_str());
    void* symbol =
        library != nullptr ? reinterpret_cast<void*>(GetProcAddress(library, "clap_entry")) : nullptr;
#else
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* symbol = library != nullptr ? dlsym(library, "clap_entry") : nullptr;
#endif
    return static_cast<const clap_plugin_entry_t*>(symbol);
}

// --- the host: threads and its extensions ---

std::thread::id mainThread;
std::atomic<std::thread::id> audioThread{};
// The GUI mode's audio threads, one per instance.
thread_local bool isInstanceAudioThread = false;
std::atomic<int> threadViolations{0};
std::atomic<int> rescans{0};

bool isMainThread(const clap_host_t*)
{
    return std::this_thread::get_id() == mainThread;
}
bool isAudioThread(const clap_host_t*)
{
    return isInstanceAudioThread || std::this_thread::get_id() == audioThread.load();
}
void mainThreadOnly(const char* call)
{
    if (std::this_thread::get_id() == mainThread) return;
    std::printf("ERROR %s called off the main thread\n", call);
    ++threadViolations;
}

// What the plug-in asks of one instance's host: the GUI mode's instances are host_data of their own
// clap_host_t; the other modes have none and answer for themselves.
struct InstanceHost
{
    virtual ~InstanceHost() = default;
    virtual void requestFlush() = 0;
    virtual bool requestResize(uint32_t width, uint32_t height) = 0;
};
InstanceHost* instanceOf(const clap_host_t* h)
{
    return h != nullptr ? static_cast<InstanceHost*>(h->host_data) : nullptr;
}
// The plug-in's timers by ID, with the instance whose loop runs them (none: only counted).
std::map<clap_id, InstanceHost*> timers;
clap_id nextTimer = 1;

const clap_host_thread_check_t threadCheck = {&isMainThread, &isAudioThread};
const clap_host_params_t hostParams = {
    [](const clap_host_t*, clap_param_rescan_flags) {
        mainThreadOnly("params.rescan");
        ++rescans;
    },
    [](const clap_host_t*, clap_id, clap_param_clear_flags) { mainThreadOnly("params.clear"); },
    [](const clap_host_t* h) {
        if (InstanceHost* instance = instanceOf(h)) instance->requestFlush();
    }};
const clap_host_gui_t hostGui = {[](const clap_host_t*) {},
                                 [](const clap_host_t* h, uint32_t width, uint32_t height) {
                                     InstanceHost* instance = instanceOf(h);
                                     return instance != nullptr && instance->requestResize(width, height);
                                 },
                                 [](const clap_host_t*) { return false; },
                                 [](const clap_host_t*) { return false; }, [](const clap_host_t*, bool) {}};
const clap_host_timer_support_t hostTimers = {[](const clap_host_t* h, uint32_t, clap_id* id) {
                                                  mainThreadOnly("timer_support.register_timer");
                                                  if (id == nullptr) return false;
                                                  *id = nextTimer++;
                                                  timers[*id] = instanceOf(h);
                                                  return true;
                                              },
                                              [](const clap_host_t*, clap_id id) {
                                                  mainThreadOnly("timer_support.unregister_timer");
                                                  return timers.erase(id) == 1;
                                              }};
const clap_host_state_t hostState = {[](const clap_host_t*) { mainThreadOnly("state.mark_dirty"); }};
const clap_host_latency_t hostLatency = {[](const clap_host_t*) { mainThreadOnly("latency.changed"); }};
const clap_host_audio_ports_t hostAudioPorts = {
    [](const clap_host_t*, uint32_t) { return false; },
    [](const clap_host_t*, uint32_t) { mainThreadOnly("audio_ports.rescan"); }};

const void* hostExtension(const clap_host_t*, const char* id)
{
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0) return &threadCheck;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &hostParams;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &hostState;
    if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &hostLatency;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &hostAudioPorts;
    if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &hostGui;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &hostTimers;
    return nullptr;
}

const clap_host_t host = {CLAP_VERSION_INIT,
                          nullptr,
                          "clap-test-host",
                          "ZaRoruraroze tests",
                          "",
                          "1.0",
                          &hostExtension,
                          [](const clap_host_t*) {},
                          [](const clap_host_t*) {},
                          [](const clap_host_t*) {}};

// --- state streams that move at most streamBytes a call ---

uint64_t streamBytes = 3;

struct Bytes
{
    std::vector<char> data;
    std::size_t readAt = 0;
};

int64_t writeSome(const clap_ostream_t* stream, const void* buffer, uint64_t size)
{
    auto& bytes = *static_cast<Bytes*>(stream->ctx);
    const uint64_t n = std::min<uint64_t>(size, streamBytes);
    bytes.data.insert(bytes.data.end(), static_cast<const char*>(buffer),
                      static_cast<const char*>(buffer) + n);
    return static_cast<int64_t>(n);
}

int64_t readSome(const clap_istream_t* stream, void* buffer, uint64_t size)
{
    auto& bytes = *static_cast<Bytes*>(stream->ctx);
    const uint64_t n = std::min<uint64_t>({size, streamBytes, bytes.data.size() - bytes.readAt});
    if (n > 0) std::memcpy(buffer, bytes.data.data() + bytes.readAt, n);
    bytes.readAt += n;
    return static_cast<int64_t>(n);
}

std::vector<char> readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::vector<char>& data)
{
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// --- events ---

struct InEvents
{
    std::vector<clap_event_param_value_t> events;
    clap_input_events_t list{this,
                             [](const clap_input_events_t* l) {
                                 return static_cast<uint32_t>(static_cast<InEvents*>(l->ctx)->events.size());
                             },
                             [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
                                 auto& events = static_cast<InEvents*>(l->ctx)->events;
                                 return i < events.size() ? &events[i].header : nullptr;
                             }};
};

// What a plug-in sent out: per parameter ID, how many value events and the last value.
struct OutEvents
{
    uint32_t frames = 0;
    uint32_t lastTime = 0;
    std::map<clap_id, std::pair<int, double>> values;
    int misplaced = 0;
    clap_output_events_t list{this, [](const clap_output_events_t* l, const clap_event_header_t* e) {
                                  auto& self = *static_cast<OutEvents*>(l->ctx);
                                  if (e == nullptr) return false;
                                  if (e->time >= self.frames || e->time < self.lastTime) ++self.misplaced;
                                  self.lastTime = e->time;
                                  if (e->space_id == CLAP_CORE_EVENT_SPACE_ID &&
                                      e->type == CLAP_EVENT_PARAM_VALUE) {
                                      const auto* v = reinterpret_cast<const clap_event_param_value_t*>(e);
                                      auto& entry = self.values[v->param_id];
                                      ++entry.first;
                                      entry.second = v->value;
                                  }
                                  return true;
                              }};
};

clap_event_param_value_t paramEvent(uint32_t time, clap_id id, void* cookie, double value)
{
    clap_event_param_value_t e{};
    e.header = {sizeof e, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    e.param_id = id;
    e.cookie = cookie;
    e.note_id = -1;
    e.port_index = -1;
    e.channel = -1;
    e.key = -1;
    e.value = value;
    return e;
}

// --- audio files: 32-bit float WAV ---

struct Audio
{
    double rateHz = 48000.0;
    std::vector<float> channels[2];
    std::vector<float> key[2]; // a four-channel file's last two channels; empty otherwise
    std::size_t frames() const { return channels[0].size(); }
};

uint32_t le32(const char* p)
{
    return uint32_t(uint8_t(p[0])) | uint32_t(uint8_t(p[1])) << 8 | uint32_t(uint8_t(p[2])) << 16 |
           uint32_t(uint8_t(p[3])) << 24;
}

bool readWav(const std::string& path, Audio& audio)
{
    const std::vector<char> d = readFile(path);
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) != 0 || std::memcmp(d.data() + 8, "WAVE", 4) != 0)
        return false;
    uint32_t channels = 0, bits = 0, tag = 0;
    for (std::size_t pos = 12; pos + 8 <= d.size();) {
        const uint32_t size = le32(&d[pos + 4]);
        const char* body = &d[pos + 8];
        if (pos + 8 + size > d.size()) return false;
        if (std::memcmp(&d[pos], "fmt ", 4) == 0 && size >= 16) {
            tag = uint8_t(body[0]) | uint8_t(body[1]) << 8;
            if (tag == 0xFFFE && size >= 26) tag = uint8_t(body[24]) | uint8_t(body[25]) << 8;
            channels = uint8_t(body[2]) | uint8_t(body[3]) << 8;
            audio.rateHz = le32(body + 4);
            bits = uint8_t(body[14]) | uint8_t(body[15]) << 8;
        } else if (std::memcmp(&d[pos], "data", 4) == 0) {
            if (tag != 3 || bits != 32 || (channels != 2 && channels != 4)) return false;
            const std::size_t frames = size / (4 * channels);
            std::vector<float>* all[4] = {&audio.channels[0], &audio.channels[1], &audio.key[0],
                                          &audio.key[1]};
            for (uint32_t c = 0; c < channels; ++c) {
                all[c]->resize(frames);
                for (std::size_t i = 0; i < frames; ++i)
                    std::memcpy(&(*all[c])[i], body + 4 * (channels * i + c), 4);
            }
            return true;
        }
        pos += 8 + size + (size & 1);
    }
    return false;
}

void writeWav(const std::string& path, const Audio& audio)
{
    const uint32_t dataBytes = static_cast<uint32_t>(audio.frames() * 8);
    std::vector<char> d;
    auto put = [&d](const void* p, std::size_t n) { d.insert(d.end(), (const char*)p, (const char*)p + n); };
    auto put32 = [&put](uint32_t v) {
        const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        put(b, 4);
    };
    auto put16 = [&put](uint16_t v) {
        const char b[2] = {char(v), char(v >> 8)};
        put(b, 2);
    };
    put("RIFF", 4);
    put32(36 + dataBytes);
    put("WAVEfmt ", 8);
    put32(16);
    put16(3);
    put16(2);
    put32(static_cast<uint32_t>(audio.rateHz));
    put32(static_cast<uint32_t>(audio.rateHz) * 8);
    put16(8);
    put16(32);
    put("data", 4);
    put32(dataBytes);
    for (std::size_t i = 0; i < audio.frames(); ++i)
        for (int c = 0; c < 2; ++c)
            put(&audio.channels[c][i], 4);
    writeFile(path, d);
}

// --- one plug-in instance and its extensions ---

struct Plugin
{
    const clap_plugin_t* plugin = nullptr;
    const clap_plugin_params_t* params = nullptr;
    const clap_plugin_state_t* state = nullptr;
    const clap_plugin_audio_ports_t* ports = nullptr;
    const clap_plugin_latency_t* latency = nullptr;

    Plugin(const clap_plugin_factory_t* factory, const char* id, const clap_host_t* h = &host)
    {
        plugin = factory->create_plugin(factory, h, id);
        if (plugin == nullptr || !plugin->init(plugin)) {
            error("create_plugin or init failed");
            std::exit(1);
        }
        params = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
        state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
        ports = static_cast<const clap_plugin_audio_ports_t*>(
            plugin->get_extension(plugin, CLAP_EXT_AUDIO_PORTS));
        latency = static_cast<const clap_plugin_latency_t*>(plugin->get_extension(plugin, CLAP_EXT_LATENCY));
    }
    ~Plugin() { plugin->destroy(plugin); }

    uint32_t paramCount() const { return params != nullptr ? params->count(plugin) : 0; }
    clap_param_info_t info(uint32_t index) const
    {
        clap_param_info_t i{};
        if (!params->get_info(plugin, index, &i)) error("get_info " + std::to_string(index));
        return i;
    }
    double value(clap_id id) const
    {
        double v = NAN;
        if (!params->get_value(plugin, id, &v)) error("get_value " + std::to_string(id));
        return v;
    }
    std::string text(clap_id id, double value) const
    {
        char buffer[CLAP_NAME_SIZE] = "";
        if (!params->value_to_text(plugin, id, value, buffer, sizeof buffer)) return "?";
        return buffer;
    }
    std::vector<char> save() const
    {
        Bytes bytes;
        clap_ostream_t stream{&bytes, &writeSome};
        if (state == nullptr || !state->save(plugin, &stream)) error("state.save");
        return bytes.data;
    }
    bool load(const std::vector<char>& data) const
    {
        Bytes bytes{data, 0};
        clap_istream_t stream{&bytes, &readSome};
        return state != nullptr && state->load(plugin, &stream);
    }
    uint32_t portCount(bool input) const { return ports != nullptr ? ports->count(plugin, input) : 0; }
};

// --- options ---

struct Setting
{
    std::string name;
    std::string text;
    uint64_t frame = 0;
    bool plain = false; // text is the plain value itself
};

struct Options
{
    std::string path;
    bool describe = false, checkTexts = false, robustness = false, inPlace = false, noStop = false;
    bool wrongThreadSave = false;
    std::string in, out, load, loadDuring, save;
    uint64_t loadDuringFrame = 0;
    std::vector<uint32_t> blocks{256};
    std::vector<Setting> settings;
    int inputs = -1;
    int cycles = 1;
};

std::vector<uint32_t> parseBlocks(const std::string& text)
{
    std::vector<uint32_t> blocks;
    for (std::size_t pos = 0; pos <= text.size();) {
        const std::size_t comma = std::min(text.find(',', pos), text.size());
        blocks.push_back(
            static_cast<uint32_t>(std::strtoul(text.substr(pos, comma - pos).c_str(), nullptr, 10)));
        pos = comma + 1;
    }
    return blocks;
}

// "TEXT@FRAME" split at the last '@'.
std::pair<std::string, uint64_t> atFrame(const std::string& text)
{
    const std::size_t at = text.rfind('@');
    if (at == std::string::npos) return {text, 0};
    return {text.substr(0, at), std::strtoull(text.c_str() + at + 1, nullptr, 10)};
}

// --- describing ---

void describe(const clap_plugin_descriptor_t* d, const Plugin& p)
{
    std::printf("id %s\nname %s\nvendor %s\nversion %s\nfeatures", d->id, d->name, d->vendor ? d->vendor : "",
                d->version ? d->version : "");
    for (const char* const* f = d->features; f != nullptr && *f != nullptr; ++f)
        std::printf(" %s", *f);
    std::printf("\n");
    for (bool input : {true, false})
        for (uint32_t i = 0; i < p.portCount(input); ++i) {
            clap_audio_port_info_t info{};
            if (!p.ports->get(p.plugin, i, input, &info)) error("audio_ports.get");
            std::printf("port %s %u id %u \"%s\" channels %u type %s%s in-place %d\n", input ? "in" : "out",
                        i, info.id, info.name, info.channel_count, info.port_type ? info.port_type : "-",
                        (info.flags & CLAP_AUDIO_PORT_IS_MAIN) ? " main" : "", int(info.in_place_pair));
        }
    for (uint32_t i = 0; i < p.paramCount(); ++i) {
        const clap_param_info_t info = p.info(i);
        std::printf("param %u id %u \"%s\" min %.17g max %.17g default %.17g value %.17g text \"%s\"%s%s%s\n",
                    i, info.id, info.name, info.min_value, info.max_value, info.default_value,
                    p.value(info.id), p.text(info.id, p.value(info.id)).c_str(),
                    (info.flags & CLAP_PARAM_IS_STEPPED) ? " stepped" : "",
                    (info.flags & CLAP_PARAM_IS_READONLY) ? " readonly" : "",
                    (info.flags & CLAP_PARAM_IS_AUTOMATABLE) ? " automatable" : "");
    }
    std::printf("latency %u\n", p.latency != nullptr ? p.latency->get(p.plugin) : 0);
}

// Every text the plug-in writes over a parameter's range reads back to a value that writes the same text.
void checkTexts(const Plugin& p)
{
    int checked = 0;
    for (uint32_t i = 0; i < p.paramCount(); ++i) {
        const clap_param_info_t info = p.info(i);
        for (int step = 0; step <= 64; ++step) {
            const double value = info.min_value + (info.max_value - info.min_value) * step / 64.0;
            const std::string text = p.text(info.id, value);
            double back = NAN;
            if (!p.params->text_to_value(p.plugin, info.id, text.c_str(), &back)) {
                error(std::string(info.name) + ": \"" + text + "\" does not read back");
                continue;
            }
            if (p.text(info.id, back) != text)
                error(std::string(info.name) + ": \"" + text + "\" reads back as \"" + p.text(info.id, back) +
                      "\"");
            ++checked;
        }
    }
    std::printf("texts: %d read back\n", checked);
}

// --- running audio ---

struct Run
{
    const Options& options;
    Plugin& p;
    Audio input;
    Audio output;
    std::vector<clap_event_param_value_t> schedule; // by frame of the file
    OutEvents out;
    int processErrors = 0;
    std::vector<std::vector<char>> loadedDuring;

    // The main thread's part of --load-during: waits for the audio thread to reach the frame.
    std::mutex mutex;
    std::condition_variable reached;
    bool atLoadFrame = false;
    std::atomic<bool> loadDone{false};

    Run(const Options& o, Plugin& plugin) : options(o), p(plugin) {}

    void audioLoop()
    {
        audioThread.store(std::this_thread::get_id());
        if (!p.plugin->start_processing(p.plugin)) error("start_processing");
        const uint32_t inputCount = options.inputs >= 0 ? uint32_t(options.inputs) : p.portCount(true);
        const uint32_t outputCount = p.portCount(false);
        // Buffers for every declared port: the main ones carry the file, the others silence, or the second
        // a four-channel file's key.
        const uint32_t maxFrames = *std::max_element(options.blocks.begin(), options.blocks.end());
        std::vector<std::vector<float>> inData(2 * std::max(inputCount, 1u), std::vector<float>(maxFrames));
        std::vector<std::vector<float>> outData(2 * std::max(outputCount, 1u), std::vector<float>(maxFrames));
        std::vector<float*> inPtr, outPtr;
        for (auto& c : inData)
            inPtr.push_back(c.data());
        for (auto& c : outData)
            outPtr.push_back(c.data());
        std::vector<clap_audio_buffer_t> inBuf(inputCount), outBuf(outputCount);
        for (uint32_t i = 0; i < inputCount; ++i)
            inBuf[i] = {&inPtr[2 * i], nullptr, 2, 0, 0};
        for (uint32_t i = 0; i < outputCount; ++i)
            outBuf[i] = {options.inPlace && i < inputCount ? &inPtr[2 * i] : &outPtr[2 * i], nullptr, 2, 0,
                         0};
        InEvents events;
        std::size_t next = 0;
        std::size_t block = 0;
        bool loadSignalled = options.loadDuring.empty();
        for (uint64_t pos = 0; pos < input.frames(); ++block) {
            const uint32_t frames = uint32_t(
                std::min<uint64_t>(options.blocks[block % options.blocks.size()], input.frames() - pos));
            if (!loadSignalled && pos >= options.loadDuringFrame) {
                std::lock_guard<std::mutex> lock(mutex);
                atLoadFrame = true;
                reached.notify_one();
                loadSignalled = true;
            }
            // Blocks go on while the load runs, at a pace that lets it end well before the file does.
            if (loadSignalled && !options.loadDuring.empty() && !loadDone.load())
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            for (int c = 0; c < 2; ++c)
                std::copy_n(&input.channels[c][pos], frames, inData[c].data());
            for (int c = 0; c < 2 && !input.key[c].empty() && inputCount > 1; ++c)
                std::copy_n(&input.key[c][pos], frames, inData[2 + c].data());
            events.events.clear();
            while (next < schedule.size() && schedule[next].header.time < pos + frames) {
                events.events.push_back(schedule[next]);
                events.events.back().header.time = uint32_t(schedule[next].header.time - pos);
                ++next;
            }
            out.frames = frames;
            out.lastTime = 0;
            clap_process_t process{};
            process.steady_time = int64_t(pos);
            process.frames_count = frames;
            process.audio_inputs = inBuf.data();
            process.audio_outputs = outBuf.data();
            process.audio_inputs_count = inputCount;
            process.audio_outputs_count = outputCount;
            process.in_events = &events.list;
            process.out_events = &out.list;
            if (p.plugin->process(p.plugin, &process) == CLAP_PROCESS_ERROR) ++processErrors;
            for (int c = 0; c < 2 && outputCount > 0; ++c)
                std::copy_n(outBuf[0].data32[c], frames, &output.channels[c][pos]);
            pos += frames;
        }
        if (!loadSignalled) {
            std::lock_guard<std::mutex> lock(mutex);
            atLoadFrame = true;
            reached.notify_one();
        }
        if (!options.noStop) p.plugin->stop_processing(p.plugin);
        audioThread.store(std::thread::id());
    }

    void cycle()
    {
        const uint32_t maxFrames = *std::max_element(options.blocks.begin(), options.blocks.end());
        const uint32_t minFrames = *std::min_element(options.blocks.begin(), options.blocks.end());
        for (auto& c : output.channels)
            c.assign(input.frames(), 0.0f);
        if (!p.plugin->activate(p.plugin, input.rateHz, minFrames, maxFrames)) error("activate");
        atLoadFrame = false;
        loadDone = false;
        std::thread audio([this] { audioLoop(); });
        if (!options.loadDuring.empty()) {
            std::unique_lock<std::mutex> lock(mutex);
            reached.wait(lock, [this] { return atLoadFrame; });
            lock.unlock();
            if (!p.load(readFile(options.loadDuring))) error("state.load while processing");
            loadDone = true;
        }
        audio.join();
        if (options.wrongThreadSave) {
            bool refused = false;
            std::thread([&] {
                Bytes bytes;
                clap_ostream_t stream{&bytes, &writeSome};
                refused = !p.state->save(p.plugin, &stream);
            }).join();
            std::printf("state.save off the main thread: %s\n", refused ? "refused" : "taken");
        }
        if (!options.save.empty()) writeFile(options.save, p.save());
        p.plugin->deactivate(p.plugin);
    }
};

// --- robustness: a plug-in that must take all of this without crashing and keep its state ---

void robustness(const clap_plugin_factory_t* factory, const char* id)
{
    int refusals = 0;
    auto refused = [&refusals](bool accepted, const char* what) {
        if (accepted) error(std::string("accepted: ") + what);
        ++refusals;
    };
    refused(factory->get_plugin_descriptor(factory, 99) != nullptr, "descriptor 99");
    refused(factory->create_plugin(factory, &host, "no.such.plugin") != nullptr, "unknown plug-in ID");
    refused(factory->create_plugin(factory, &host, nullptr) != nullptr, "null plug-in ID");
    {
        // Destroyed without init, and while active.
        const clap_plugin_t* raw = factory->create_plugin(factory, &host, id);
        raw->destroy(raw);
        Plugin p(factory, id);
        refused(p.plugin->init(p.plugin), "init twice");
        refused(p.plugin->get_extension(p.plugin, nullptr) != nullptr, "null extension ID");
        refused(p.plugin->get_extension(p.plugin, "clap.nothing") != nullptr, "unknown extension ID");
        clap_process_t empty{};
        empty.frames_count = 16;
        refused(p.plugin->process(p.plugin, &empty) != CLAP_PROCESS_ERROR, "process before activate");
        refused(p.plugin->process(p.plugin, nullptr) != CLAP_PROCESS_ERROR, "null process");
        for (double rate : {0.0, -48000.0, double(NAN), double(INFINITY), 1e12})
            refused(p.plugin->activate(p.plugin, rate, 1, 256), "activate at a bad rate");
        refused(p.plugin->activate(p.plugin, 48000.0, 512, 1), "activate with min above max");
        // flush applies its events while inactive too.
        {
            const clap_param_info_t first = p.info(0);
            InEvents events;
            events.events.push_back(paramEvent(0, first.id, nullptr, first.max_value));
            p.params->flush(p.plugin, &events.list, nullptr);
            if (p.value(first.id) != first.max_value) error("flush while inactive did not apply its event");
            events.events[0].value = first.default_value;
            p.params->flush(p.plugin, &events.list, nullptr);
        }
        const std::vector<char> before = p.save();

        // Parameters: bad IDs, buffers and texts.
        clap_param_info_t info{};
        double value = 0.0;
        char text[8];
        refused(p.params->get_info(p.plugin, p.paramCount(), &info), "get_info past the end");
        refused(p.params->get_info(p.plugin, 0, nullptr), "get_info into null");
        refused(p.params->get_value(p.plugin, 99999, &value), "get_value of an unknown ID");
        refused(p.params->get_value(p.plugin, 0, nullptr), "get_value into null");
        refused(p.params->value_to_text(p.plugin, 99999, 0.0, text, sizeof text),
                "value_to_text, unknown ID");
        refused(p.params->value_to_text(p.plugin, 0, 0.0, nullptr, 8), "value_to_text into null");
        refused(p.params->value_to_text(p.plugin, 0, NAN, text, sizeof text), "value_to_text of NaN");
        if (p.params->value_to_text(p.plugin, 0, 1000.0, text, 4) && std::strlen(text) > 3)
            error("value_to_text overran a 4-byte buffer");
        for (const char* garbage : {"", "zz", "1e999999 dB", "--3", "nan"})
            refused(p.params->text_to_value(p.plugin, 0, garbage, &value), "text_to_value of garbage");
        refused(p.params->text_to_value(p.plugin, 0, nullptr, &value), "text_to_value of null");
        refused(p.params->text_to_value(p.plugin, 99999, "1", &value), "text_to_value, unknown ID");

        // Damaged state streams: each refused, the state kept.
        const std::vector<std::vector<char>> damaged = {
            {},
            std::vector<char>(before.begin(), before.begin() + std::min<std::size_t>(before.size(), 10)),
            std::vector<char>(4096, '\x7f'),
            std::vector<char>(20u << 20, 'a')};
        for (const auto& d : damaged)
            refused(p.load(d), "a damaged state");
        Bytes failing;
        clap_istream_t broken{&failing, [](const clap_istream_t*, void*, uint64_t) -> int64_t { return -1; }};
        refused(p.state->load(p.plugin, &broken), "a state stream that fails");
        clap_istream_t lying{&failing, [](const clap_istream_t*, void*, uint64_t size) -> int64_t {
                                 return int64_t(size) + 1;
                             }};
        refused(p.state->load(p.plugin, &lying), "a state stream that claims more than asked");
        refused(p.state->load(p.plugin, nullptr), "a null state stream");
        clap_ostream_t full{&failing,
                            [](const clap_ostream_t*, const void*, uint64_t) -> int64_t { return 0; }};
        refused(p.state->save(p.plugin, &full), "a state stream that takes nothing");
        if (p.save() != before) error("a refused state load changed the state");

        // Hostile events and buffers while active: out-of-range IDs and values, events past the block,
        // out of order and cut short, missing and NaN buffers. The output stays finite.
        if (!p.plugin->activate(p.plugin, 48000.0, 1, 64)) error("activate");
        refused(p.plugin->activate(p.plugin, 48000.0, 1, 64), "activate twice");
        InEvents events;
        for (double v : {double(NAN), double(INFINITY), -double(INFINITY), 1e300, -1e300})
            for (clap_id pid : {0u, 1u, 2u, 99999u})
                events.events.push_back(paramEvent(3, pid, nullptr, v));
        events.events.push_back(paramEvent(1000, 1, nullptr, 0.5));
        events.events.push_back(paramEvent(0, 1, nullptr, 0.5));
        events.events.back().header.size = 8;
        std::vector<float> left(64, NAN), right(64, INFINITY), outL(64), outR(64);
        float* in[2] = {left.data(), right.data()};
        float* outs[2] = {outL.data(), outR.data()};
        clap_audio_buffer_t inBuf{in, nullptr, 2, 0, 0}, outBuf{outs, nullptr, 2, 0, 0};
        OutEvents out;
        out.frames = 64;
        clap_process_t process{};
        process.frames_count = 64;
        process.in_events = &events.list;
        process.out_events = &out.list;
        p.plugin->start_processing(p.plugin);
        for (uint32_t inputs : {0u, 1u}) {
            process.audio_inputs = inputs != 0 ? &inBuf : nullptr;
            process.audio_inputs_count = inputs;
            process.audio_outputs = &outBuf;
            process.audio_outputs_count = 1;
            p.plugin->process(p.plugin, &process);
            for (std::size_t i = 0; i < 64; ++i)
                if (!std::isfinite(outL[i]) || !std::isfinite(outR[i])) {
                    error("output not finite");
                    break;
                }
        }
        process.audio_outputs_count = 0;
        process.audio_outputs = nullptr;
        p.plugin->process(p.plugin, &process);
        clap_audio_buffer_t nullBuf{nullptr, nullptr, 2, 0, 0};
        process.audio_inputs = &nullBuf;
        process.audio_inputs_count = 1;
        process.audio_outputs = &nullBuf;
        process.audio_outputs_count = 1;
        p.plugin->process(p.plugin, &process);
        for (uint32_t i = 0; i < p.paramCount(); ++i) {
            const clap_param_info_t pi = p.info(i);
            const double v = p.value(pi.id);
            if (!(v >= pi.min_value && v <= pi.max_value))
                error(std::string(pi.name) + " left its range: " + std::to_string(v));
        }
        p.params->flush(p.plugin, nullptr, nullptr);
        p.plugin->reset(p.plugin);

        // An editor: floating windows and unknown APIs refused, sizes its own, destroyed without a parent,
        // then created again and left for the plug-in's destroy.
        if (const auto* gui =
                static_cast<const clap_plugin_gui_t*>(p.plugin->get_extension(p.plugin, CLAP_EXT_GUI))) {
            const char* api = nullptr;
            bool floating = true;
            if (!gui->get_preferred_api(p.plugin, &api, &floating) || floating)
                error("gui: no embedded window");
            uint32_t width = 0, height = 0;
            refused(gui->get_size(p.plugin, &width, &height), "gui.get_size before create");
            refused(gui->is_api_supported(p.plugin, api, true), "a floating window");
            refused(gui->create(p.plugin, api, true), "a floating window created");
            refused(gui->create(p.plugin, "no-such-api", false), "an unknown window API");
            if (!gui->create(p.plugin, api, false)) error("gui.create");
            refused(gui->create(p.plugin, api, false), "gui.create twice");
            clap_window_t elsewhere{"no-such-api", {}};
            refused(gui->set_parent(p.plugin, &elsewhere), "a parent of an unknown window API");
            refused(gui->set_parent(p.plugin, nullptr), "a null parent");
            if (!gui->get_size(p.plugin, &width, &height) || width == 0 || height == 0) error("gui.get_size");
            refused(gui->set_size(p.plugin, width + 1, height), "a size not the editor's");
            refused(gui->can_resize(p.plugin), "can_resize");
            gui->destroy(p.plugin);
            if (!timers.empty()) error("a timer left registered after gui.destroy");
            if (!gui->create(p.plugin, api, false)) error("gui.create again");
        }
        // Left active, its editor created: destroy must cope.
    }
    if (!timers.empty()) error("a timer left registered after the plug-in's destroy");
    std::printf("robustness: %d refusals as expected\n", refusals);
}

#if CLAP_HOST_GUI
// --- the GUI mode: the plug-in's editor in a window of the host's ---

constexpr double guiSampleRateHz = 48000.0;
constexpr uint32_t guiBlockFrames = 512;
#if defined(_WIN32)
const char* const windowApi = CLAP_WINDOW_API_WIN32;
#else
const char* const windowApi = CLAP_WINDOW_API_X11;
#endif

// The plug-in's output events as log lines; the meters' values are left out.
struct LogEvents
{
    const std::set<clap_id>& readOnly;
    std::vector<std::string> lines;
    clap_output_events_t list{
        this, [](const clap_output_events_t* l, const clap_event_header_t* e) {
            auto& self = *static_cast<LogEvents*>(l->ctx);
            if (e == nullptr) return false;
            char line[80] = "";
            const bool core = e->space_id == CLAP_CORE_EVENT_SPACE_ID;
            if (core &&
                (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || e->type == CLAP_EVENT_PARAM_GESTURE_END))
                std::snprintf(line, sizeof line, "%s %u",
                              e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN ? "begin" : "end",
                              reinterpret_cast<const clap_event_param_gesture_t*>(e)->param_id);
            if (core && e->type == CLAP_EVENT_PARAM_VALUE) {
                const auto* v = reinterpret_cast<const clap_event_param_value_t*>(e);
                if (self.readOnly.count(v->param_id) == 0)
                    std::snprintf(line, sizeof line, "automate %u %.6f", v->param_id, v->value);
            }
            if (line[0] != '\0') self.lines.emplace_back(line);
            return true;
        }};
};

class GuiInstance : public InstanceHost
{
public:
    GuiInstance(const clap_plugin_factory_t* factory, const char* id, int offset)
        : host_(makeHost()), plugin_(factory, id, &host_), offset_(offset)
    {
        gui_ = static_cast<const clap_plugin_gui_t*>(
            plugin_.plugin->get_extension(plugin_.plugin, CLAP_EXT_GUI));
        timer_ = static_cast<const clap_plugin_timer_support_t*>(
            plugin_.plugin->get_extension(plugin_.plugin, CLAP_EXT_TIMER_SUPPORT));
        if (gui_ == nullptr) editorHostFailed("the plug-in has no clap.gui");
        for (uint32_t i = 0; i < plugin_.paramCount(); ++i) {
            const clap_param_info_t info = plugin_.info(i);
            if ((info.flags & CLAP_PARAM_IS_READONLY) != 0) readOnly_.insert(info.id);
        }
        if (!plugin_.plugin->activate(plugin_.plugin, guiSampleRateHz, 1, guiBlockFrames))
            editorHostFailed("activate");
        audio_ = std::thread([this] { audioLoop(); });
    }
    ~GuiInstance() override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        audio_.join();
        plugin_.plugin->deactivate(plugin_.plugin);
        report();
    }

    void open()
    {
        create();
        uint32_t width = 0, height = 0;
        if (!gui_->get_size(plugin_.plugin, &width, &height)) editorHostFailed("gui.get_size");
        frame_ = std::make_unique<HostFrame>(40, 40 + offset_, int(width), int(height));
        attach();
        int x = 0, y = 0;
        frame_->origin(x, y);
        std::printf("window %lu %d %d %u %u\n", static_cast<unsigned long>(frame_->id()), x, y, width,
                    height);
        std::fflush(stdout);
    }
    void reopen()
    {
        if (!frame_) editorHostFailed("no frame to reopen in");
        create();
        attach();
    }
    void close() { gui_->destroy(plugin_.plugin); }
    void destroyParent()
    {
        if (frame_) frame_->destroy();
    }

    // One idle period: the sound on or off, the plug-in's timers, the frame's events and the log.
    void idle(double amplitude)
    {
        sound(amplitude);
        std::vector<clap_id> mine;
        for (const auto& [id, owner] : timers)
            if (owner == this) mine.push_back(id);
        for (clap_id id : mine)
            if (timer_ != nullptr) timer_->on_timer(plugin_.plugin, id);
        if (frame_) frame_->pump();
        report();
    }
    // Host automation: a value event, taken by the audio thread's next flush or block.
    void set(int id, double value)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(paramEvent(0, clap_id(id), nullptr, value));
        wake_.notify_all();
    }
    void print(int id)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        settled_.wait(lock, [this] { return events_.empty() && !flushWanted_ && !busy_; });
        lock.unlock();
        std::printf("param %d %.6f\n", id, plugin_.value(clap_id(id)));
        std::fflush(stdout);
    }

    void requestFlush() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        flushWanted_ = true;
        wake_.notify_all();
    }
    bool requestResize(uint32_t width, uint32_t height) override
    {
        std::printf("size %u %u\n", width, height);
        std::fflush(stdout);
        if (frame_) frame_->resize(int(width), int(height));
        return true;
    }

private:
    void sound(double amplitude)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (amplitude_ != amplitude) wake_.notify_all();
        amplitude_ = amplitude;
    }
    clap_host_t makeHost()
    {
        clap_host_t h = host;
        h.host_data = static_cast<InstanceHost*>(this);
        return h;
    }
    void create()
    {
        if (!gui_->is_api_supported(plugin_.plugin, windowApi, false) ||
            !gui_->create(plugin_.plugin, windowApi, false))
            editorHostFailed("gui.create");
        // What an X11 or Win32 host says for a screen at 100 %.
        gui_->set_scale(plugin_.plugin, 1.0);
    }
    void attach()
    {
        clap_window_t window{windowApi, {}};
#if defined(_WIN32)
        window.win32 = frame_->handle();
#else
        window.x11 = frame_->id();
#endif
        if (!gui_->set_parent(plugin_.plugin, &window) || !gui_->show(plugin_.plugin))
            editorHostFailed("the editor did not open");
        frame_->pump();
    }
    void report()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& line : lines_) {
            std::printf("%s\n", line.c_str());
            if (line.compare(0, 5, "ERROR") == 0) ++errors;
        }
        lines_.clear();
        std::fflush(stdout);
    }

    // The audio thread: a flush when the plug-in asks for one or the host has events, blocks of a sine
    // in real time while sound is on.
    void audioLoop()
    {
        isInstanceAudioThread = true;
        std::vector<float> left(guiBlockFrames), right(guiBlockFrames), outLeft(guiBlockFrames),
            outRight(guiBlockFrames);
        float* in[2] = {left.data(), right.data()};
        float* out[2] = {outLeft.data(), outRight.data()};
        clap_audio_buffer_t inBuffer{in, nullptr, 2, 0, 0}, outBuffer{out, nullptr, 2, 0, 0};
        const bool started = plugin_.plugin->start_processing(plugin_.plugin);
        std::unique_lock<std::mutex> lock(mutex_);
        if (!started) lines_.push_back("ERROR start_processing");
        for (;;) {
            wake_.wait(lock,
                       [this] { return stop_ || flushWanted_ || !events_.empty() || amplitude_ > 0.0; });
            if (stop_) break;
            InEvents events;
            events.events.swap(events_);
            flushWanted_ = false;
            busy_ = true;
            const double amplitude = amplitude_;
            lock.unlock();
            LogEvents log{readOnly_, {}};
            if (amplitude > 0.0) {
                for (uint32_t i = 0; i < guiBlockFrames; ++i, ++phase_)
                    left[i] = right[i] = float(amplitude * std::sin(2.0 * 3.141592653589793 * 1000.0 *
                                                                    double(phase_) / guiSampleRateHz));
                clap_process_t process{};
                process.frames_count = guiBlockFrames;
                process.audio_inputs = &inBuffer;
                process.audio_outputs = &outBuffer;
                process.audio_inputs_count = 1;
                process.audio_outputs_count = 1;
                process.in_events = &events.list;
                process.out_events = &log.list;
                if (plugin_.plugin->process(plugin_.plugin, &process) == CLAP_PROCESS_ERROR)
                    log.lines.push_back("ERROR process");
                std::this_thread::sleep_for(
                    std::chrono::microseconds(int(1e6 * guiBlockFrames / guiSampleRateHz)));
            } else {
                plugin_.params->flush(plugin_.plugin, &events.list, &log.list);
            }
            lock.lock();
            lines_.insert(lines_.end(), log.lines.begin(), log.lines.end());
            busy_ = false;
            settled_.notify_all();
        }
        lock.unlock();
        plugin_.plugin->stop_processing(plugin_.plugin);
    }

    clap_host_t host_;
    // Before the plug-in: the frame outlives the editor in it.
    std::unique_ptr<HostFrame> frame_;
    Plugin plugin_;
    const clap_plugin_gui_t* gui_ = nullptr;
    const clap_plugin_timer_support_t* timer_ = nullptr;
    std::set<clap_id> readOnly_;
    int offset_;

    std::thread audio_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable settled_;
    bool stop_ = false;
    bool flushWanted_ = false;
    bool busy_ = false;
    double amplitude_ = 0.0;
    long phase_ = 0; // audio thread only
    std::vector<clap_event_param_value_t> events_;
    std::vector<std::string> lines_;
};

int guiMain(int argc, char** argv)
{
    mainThread = std::this_thread::get_id();
    if (argc < 1) editorHostFailed("usage: clap-test-host --gui PLUGIN.clap STEP...");
    const clap_plugin_entry_t* entry = openEntry(argv[0]);
    if (entry == nullptr || !entry->init(argv[0]))
        editorHostFailed(std::string("no clap_entry in ") + argv[0]);
    const auto* factory =
        static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    if (factory == nullptr || factory->get_plugin_count(factory) < 1) editorHostFailed("no plug-in factory");
    {
        const char* id = factory->get_plugin_descriptor(factory, 0)->id;
        EditorHostSession<GuiInstance> session(
            [&](int offset) { return std::make_unique<GuiInstance>(factory, id, offset); });
        session.run(argc - 1, argv + 1);
    }
    entry->deinit();
    const int total = errors + threadViolations.load();
    if (total == 0) std::printf("done\n");
    return total == 0 ? 0 : 1;
}
#endif

// --- the whole run ---

int run(const Options& o)
{
    mainThread = std::this_thread::get_id();
    const clap_plugin_entry_t* entry = openEntry(o.path);
    if (entry == nullptr) {
        error("no clap_entry in " + o.path);
        return 1;
    }
    std::printf("clap_entry: CLAP %u.%u.%u\n", entry->clap_version.major, entry->clap_version.minor,
                entry->clap_version.revision);
    if (!entry->init(o.path.c_str())) error("init");
    // A pair more, as CLAP 1.2 allows: the module must count them (DPF 1.6's does not; --robustness only).
    if (o.robustness && (!entry->init(o.path.c_str()) || (entry->deinit(), false))) error("init again");
    const auto* factory =
        static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    if (factory == nullptr || factory->get_plugin_count(factory) < 1) {
        error("no plug-in factory");
        return 1;
    }
    if (entry->get_factory("clap.no-such-factory") != nullptr) error("an unknown factory ID answered");
    const clap_plugin_descriptor_t* descriptor = factory->get_plugin_descriptor(factory, 0);
    {
        Plugin p(factory, descriptor->id);
        if (o.describe) describe(descriptor, p);
        if (o.checkTexts) checkTexts(p);

        Run r(o, p);
        if (!o.in.empty()) {
            if (!readWav(o.in, r.input)) {
                error("cannot read " + o.in + " (32-bit float stereo WAV)");
                return 1;
            }
        } else {
            for (auto& c : r.input.channels) {
                c.resize(48000);
                for (std::size_t i = 0; i < c.size(); ++i)
                    c[i] = float(0.5 * std::sin(2.0 * 3.141592653589793 * 1000.0 * double(i) / 48000.0));
            }
        }
        if (!o.load.empty() && !p.load(readFile(o.load))) error("state.load");
        // Texts become values on the main thread; events go out in frame order, alternately with and
        // without the cookie the plug-in gave.
        int n = 0;
        for (const Setting& s : o.settings) {
            uint32_t index = 0;
            clap_param_info_t info{};
            for (; index < p.paramCount(); ++index) {
                info = p.info(index);
                if (s.name == info.name || s.name == std::to_string(info.id)) break;
            }
            double value = s.plain ? std::strtod(s.text.c_str(), nullptr) : NAN;
            if (index == p.paramCount() ||
                (!s.plain && !p.params->text_to_value(p.plugin, info.id, s.text.c_str(), &value))) {
                error("cannot set " + s.name + " to " + s.text);
                continue;
            }
            r.schedule.push_back(
                paramEvent(uint32_t(s.frame), info.id, n++ % 2 == 0 ? info.cookie : nullptr, value));
        }
        std::stable_sort(r.schedule.begin(), r.schedule.end(),
                         [](const auto& a, const auto& b) { return a.header.time < b.header.time; });

        // Audio runs unless the host was only asked to describe or to check.
        const bool runs = !(o.describe || o.checkTexts || o.robustness) || !o.out.empty() || !o.save.empty();
        Audio first;
        double cycleDifference = 0.0;
        for (int c = 0; runs && c < o.cycles; ++c) {
            r.cycle();
            if (c == 0) first = r.output;
            for (int ch = 0; ch < 2; ++ch)
                for (std::size_t i = 0; i < first.frames(); ++i)
                    cycleDifference = std::max(
                        cycleDifference, double(std::fabs(first.channels[ch][i] - r.output.channels[ch][i])));
        }
        if (runs) {
            double sum[2] = {0, 0};
            for (int ch = 0; ch < 2; ++ch)
                for (float x : r.output.channels[ch])
                    sum[ch] += double(x) * x;
            const double frames = double(std::max<std::size_t>(r.output.frames(), 1));
            std::printf("processed %zu frames in %d cycle(s); process errors %d; rms %.4f %.4f\n",
                        r.output.frames(), o.cycles, r.processErrors, std::sqrt(sum[0] / frames),
                        std::sqrt(sum[1] / frames));
            if (o.cycles > 1) std::printf("largest difference between cycles %.3g\n", cycleDifference);
            for (const auto& [pid, entry] : r.out.values)
                std::printf("out events: param %u sent %d values, last %.4f\n", pid, entry.first,
                            entry.second);
            if (r.out.misplaced > 0)
                error(std::to_string(r.out.misplaced) + " out events outside or out of order");
            for (uint32_t i = 0; i < p.paramCount(); ++i) {
                const clap_param_info_t info = p.info(i);
                std::printf("value %u %.17g \"%s\"\n", info.id, p.value(info.id),
                            p.text(info.id, p.value(info.id)).c_str());
            }
            if (!o.out.empty()) writeWav(o.out, r.output);
        }
        std::printf("params.rescan calls %d\n", rescans.load());
    }
    if (o.robustness) robustness(factory, descriptor->id);
    entry->deinit();
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--gui") == 0) {
#if CLAP_HOST_GUI
        return guiMain(argc - 2, argv + 2);
#else
        std::fprintf(stderr, "clap-test-host: this build has no window to give an editor\n");
        return 2;
#endif
    }
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "clap-test-host: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--describe")
            o.describe = true;
        else if (a == "--check-texts")
            o.checkTexts = true;
        else if (a == "--robustness")
            o.robustness = true;
        else if (a == "--in-place")
            o.inPlace = true;
        else if (a == "--no-stop")
            o.noStop = true;
        else if (a == "--wrong-thread-save")
            o.wrongThreadSave = true;
        else if (a == "--in")
            o.in = next();
        else if (a == "--out")
            o.out = next();
        else if (a == "--load")
            o.load = next();
        else if (a == "--save")
            o.save = next();
        else if (a == "--blocks")
            o.blocks = parseBlocks(next());
        else if (a == "--stream-bytes")
            streamBytes = std::max(1ul, std::strtoul(next().c_str(), nullptr, 10));
        else if (a == "--inputs")
            o.inputs = std::atoi(next().c_str());
        else if (a == "--cycles")
            o.cycles = std::max(1, std::atoi(next().c_str()));
        else if (a == "--load-during")
            std::tie(o.loadDuring, o.loadDuringFrame) = atFrame(next());
        else if (a == "--set" || a == "--value") {
            const std::string s = next();
            const std::size_t eq = s.find('=');
            if (eq == std::string::npos) {
                std::fprintf(stderr, "clap-test-host: --set NAME=TEXT[@FRAME]\n");
                return 2;
            }
            const auto [text, frame] = atFrame(s.substr(eq + 1));
            o.settings.push_back({s.substr(0, eq), text, frame, a == "--value"});
        } else if (o.path.empty() && a[0] != '-')
            o.path = a;
        else {
            std::fprintf(stderr, "clap-test-host: unknown option %s\n", a.c_str());
            return 2;
        }
    }
    for (uint32_t b : o.blocks)
        if (b == 0) {
            std::fprintf(stderr, "clap-test-host: a block has at least one frame\n");
            return 2;
        }
    if (o.path.empty()) {
        std::fprintf(stderr, "usage: clap-test-host PLUGIN.clap [options] (see the source's head)\n");
        return 2;
    }
    run(o);
    std::printf("thread violations %d\nerrors %d\n", threadViolations.load(),
                errors + threadViolations.load());
    return errors + threadViolations.load() == 0 ? 0 : 1;
}
