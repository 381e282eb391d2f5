#pragma once
// Our JACK client: the audio ports around a RealtimePlugin (the signal in and out and the key in), the
// server's callbacks, and what the server tells us (rate, buffer size, xruns, shutdown) kept in atomics for
// the control thread to report. Never starts a server.

#include <jack/jack.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace zr::jack
{
class RealtimePlugin;

// No server, or one that refused us; the message says so plainly.
class JackError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class JackClient
{
public:
    // serverName empty: JACK's default ($JACK_DEFAULT_SERVER or "default"). Registers the ports and
    // callbacks and sets the plug-in's rate; the audio starts with activate().
    JackClient(const std::string& clientName, const std::string& serverName, RealtimePlugin& plugin);
    // Deactivates and closes the client.
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    void activate();
    // Connects the inputs to the first two physical capture ports and the outputs to the first two
    // playback ports, where there are such; answers the connections made, as "from -> to".
    std::vector<std::string> connectPhysicalPorts();
    // Connects the key inputs to the given ports (one feeds both); answers the connections made, as
    // "from -> to", and those that failed, as "from -x to".
    std::vector<std::string> connectKey(const std::vector<std::string>& sources);

    std::string name() const;
    std::string serverName() const { return serverName_; }
    std::vector<std::string> portNames() const;
    int sampleRateHz() const { return sampleRateHz_.load(std::memory_order_relaxed); }
    int bufferFrames() const { return bufferFrames_.load(std::memory_order_relaxed); }
    long xruns() const { return xruns_.load(std::memory_order_relaxed); }
    // True once the server has shut down or thrown us out.
    bool serverGone() const { return serverGone_.load(std::memory_order_acquire); }

private:
    static int onProcess(jack_nframes_t frames, void* self) noexcept;
    static int onSampleRate(jack_nframes_t rateHz, void* self) noexcept;
    static int onBufferSize(jack_nframes_t frames, void* self) noexcept;
    static int onXrun(void* self) noexcept;
    static void onShutdown(void* self) noexcept;

    RealtimePlugin& plugin_;
    std::string serverName_;
    jack_client_t* client_ = nullptr;
    jack_port_t* inputs_[2] = {nullptr, nullptr};
    jack_port_t* outputs_[2] = {nullptr, nullptr};
    jack_port_t* keys_[2] = {nullptr, nullptr};
    bool active_ = false;
    std::atomic<int> sampleRateHz_{0};
    std::atomic<int> bufferFrames_{0};
    std::atomic<long> xruns_{0};
    std::atomic<bool> serverGone_{false};
};
} // namespace zr::jack
