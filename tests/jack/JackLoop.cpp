// jackloop: plays a sound file through a JACK client and records what it gives back, frame-aligned, in
// freewheel mode (the dummy driver's clock is no use on a loaded machine). Two clients of ours: a source
// feeding CLIENT:in_left/in_right (and, from a four-channel file's last two channels, CLIENT:key_left/
// key_right) and a sink on CLIENT:out_left/out_right, so the sink hears the file's first frame in the cycle
// the source plays it.
//
// Usage: jackloop [--preroll SECONDS] [--realtime] CLIENT IN.wav OUT.wav   (server: $JACK_DEFAULT_SERVER)
//        CLIENT may also be IN_LEFT,IN_RIGHT,OUT_LEFT,OUT_RIGHT[,KEY_LEFT,KEY_RIGHT]: full port names.
//        --realtime plays at the driver's pace, for clients that stop listening to their inputs in
//        freewheel mode (qtractor). IN.wav has two channels, or four with the key.
// Exits 0 when OUT.wav (32-bit float, IN's length) was written, 1 otherwise.

#include <jack/jack.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace
{
struct Loop
{
    std::vector<std::vector<float>> in; // 2 channels, or 4 with the key
    std::vector<float> out[2];
    std::size_t frames = 0;
    jack_nframes_t prerollFrames = 0;
    bool freewheel = true;
    jack_client_t* source = nullptr;
    jack_client_t* sink = nullptr;
    jack_port_t* sourcePorts[4] = {};
    jack_port_t* sinkPorts[2] = {};
    std::atomic<bool> go{false}; // connected and freewheeling
    std::atomic<bool> started{false};
    std::atomic<jack_nframes_t> firstFrame{0}; // the frame time of the file's first frame
    std::atomic<bool> done{false};
    std::size_t played = 0;
};

int silence(Loop& loop, jack_nframes_t n)
{
    for (std::size_t c = 0; c < loop.in.size(); ++c)
        std::fill_n(static_cast<float*>(jack_port_get_buffer(loop.sourcePorts[c], n)), n, 0.0f);
    return 0;
}

int playSource(jack_nframes_t n, void* arg)
{
    Loop& loop = *static_cast<Loop*>(arg);
    const jack_nframes_t now = jack_last_frame_time(loop.source);
    if (!loop.go.load()) return silence(loop, n);
    if (!loop.started.load()) {
        // One cycle of silence first: the connections made before "go" are in the graph by then.
        loop.firstFrame.store(now + n + loop.prerollFrames);
        loop.started.store(true);
    }
    const jack_nframes_t first = loop.firstFrame.load();
    for (std::size_t c = 0; c < loop.in.size(); ++c) {
        auto* buffer = static_cast<float*>(jack_port_get_buffer(loop.sourcePorts[c], n));
        for (jack_nframes_t i = 0; i < n; ++i) {
            const long long at = static_cast<long long>(now + i) - first;
            buffer[i] = at >= 0 && static_cast<std::size_t>(at) < loop.frames ? loop.in[c][at] : 0.0f;
        }
    }
    return 0;
}

int recordSink(jack_nframes_t n, void* arg)
{
    Loop& loop = *static_cast<Loop*>(arg);
    if (!loop.started.load() || loop.done.load()) return 0;
    const long long start = static_cast<long long>(jack_last_frame_time(loop.sink)) - loop.firstFrame.load();
    for (int c = 0; c < 2; ++c) {
        const auto* buffer = static_cast<const float*>(jack_port_get_buffer(loop.sinkPorts[c], n));
        for (jack_nframes_t i = 0; i < n; ++i)
            if (start + i >= 0 && static_cast<std::size_t>(start + i) < loop.frames)
                loop.out[c][start + i] = buffer[i];
    }
    if (start + n >= static_cast<long long>(loop.frames)) loop.done.store(true);
    return 0;
}

jack_client_t* open(const char* name)
{
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name, JackNoStartServer, &status);
    if (client == nullptr) std::fprintf(stderr, "jackloop: no JACK server (status 0x%x)\n", unsigned(status));
    return client;
}

bool fail(const std::string& message)
{
    std::fprintf(stderr, "jackloop: %s\n", message.c_str());
    return false;
}

bool run(Loop& loop, const std::string& target, const std::string& outPath, int rateHz)
{
    loop.source = open("jackloop_source");
    loop.sink = open("jackloop_sink");
    if (!loop.source || !loop.sink) return false;
    if (static_cast<int>(jack_get_sample_rate(loop.source)) != rateHz)
        return fail("the server's rate is not the file's " + std::to_string(rateHz) + " Hz");
    const char* names[4] = {"left", "right", "key_left", "key_right"};
    for (std::size_t c = 0; c < loop.in.size(); ++c)
        loop.sourcePorts[c] =
            jack_port_register(loop.source, names[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    for (int c = 0; c < 2; ++c)
        loop.sinkPorts[c] =
            jack_port_register(loop.sink, names[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(loop.source, playSource, &loop);
    jack_set_process_callback(loop.sink, recordSink, &loop);
    if (jack_activate(loop.sink) || jack_activate(loop.source)) return fail("cannot activate");
    // A client's ports by its name, or full port names: inputs left and right, outputs left and right, keys
    // left and right.
    std::string ports[6] = {target + ":in_left",   target + ":in_right", target + ":out_left",
                            target + ":out_right", target + ":key_left", target + ":key_right"};
    if (target.find(',') != std::string::npos) {
        std::size_t from = 0;
        for (std::string& port : ports) {
            if (from > target.size()) break;
            const std::size_t comma = std::min(target.find(',', from), target.size());
            port = target.substr(from, comma - from);
            from = comma + 1;
        }
    }
    // Sources 0 and 1 feed the inputs, 2 and 3 the keys; the sink hears the outputs.
    const std::string* sourceTargets[4] = {&ports[0], &ports[1], &ports[4], &ports[5]};
    for (std::size_t c = 0; c < loop.in.size(); ++c)
        if (jack_connect(loop.source, jack_port_name(loop.sourcePorts[c]), sourceTargets[c]->c_str()))
            return fail("cannot connect to " + *sourceTargets[c]);
    for (int c = 0; c < 2; ++c)
        if (jack_connect(loop.sink, ports[2 + c].c_str(), jack_port_name(loop.sinkPorts[c])))
            return fail("cannot connect to " + ports[2 + c]);
    if (loop.freewheel) jack_set_freewheel(loop.source, 1);
    loop.go.store(true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!loop.done.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (loop.freewheel) jack_set_freewheel(loop.source, 0);
    if (!loop.done.load()) return fail("the recording did not finish within 60 s");
    SF_INFO info{};
    info.samplerate = rateHz;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(outPath.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return fail("cannot write " + outPath);
    std::vector<float> frames(2 * loop.frames);
    for (std::size_t i = 0; i < loop.frames; ++i)
        for (int c = 0; c < 2; ++c)
            frames[2 * i + c] = loop.out[c][i];
    const bool written =
        sf_writef_float(file, frames.data(), sf_count_t(loop.frames)) == sf_count_t(loop.frames);
    sf_close(file);
    return written || fail("cannot write " + outPath);
}
} // namespace

int main(int argc, char** argv)
{
    double prerollSeconds = 0.0;
    bool freewheel = true;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (std::string(argv[first]) == "--realtime")
            freewheel = false;
        else if (std::string(argv[first]) == "--preroll" && first + 1 < argc)
            prerollSeconds = std::atof(argv[++first]);
        else
            break;
    }
    if (argc - first != 3) {
        std::fprintf(stderr, "usage: jackloop [--preroll SECONDS] [--realtime] CLIENT IN.wav OUT.wav\n");
        return 2;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(argv[first + 1], SFM_READ, &info);
    if (file == nullptr || (info.channels != 2 && info.channels != 4)) {
        std::fprintf(stderr, "jackloop: %s is no sound file of two or four channels\n", argv[first + 1]);
        return 1;
    }
    Loop loop;
    loop.frames = static_cast<std::size_t>(info.frames);
    const auto channels = static_cast<std::size_t>(info.channels);
    std::vector<float> frames(channels * loop.frames);
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    loop.in.assign(channels, std::vector<float>(loop.frames));
    for (std::size_t c = 0; c < channels; ++c)
        for (std::size_t i = 0; i < loop.frames; ++i)
            loop.in[c][i] = frames[channels * i + c];
    for (int c = 0; c < 2; ++c)
        loop.out[c].assign(loop.frames, 0.0f);
    loop.prerollFrames = static_cast<jack_nframes_t>(prerollSeconds * info.samplerate);
    loop.freewheel = freewheel;
    const bool ok = run(loop, argv[first], argv[first + 2], info.samplerate);
    for (jack_client_t* client : {loop.source, loop.sink})
        if (client != nullptr) jack_client_close(client);
    return ok ? 0 : 1;
}
