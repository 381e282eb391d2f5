#include "tools/jack/JackClient.h"

#include "tools/jack/RealtimePlugin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace zr::jack
{
namespace
{
const char* const kInputNames[2] = {"in_left", "in_right"};
const char* const kOutputNames[2] = {"out_left", "out_right"};
const char* const kKeyNames[2] = {"key_left", "key_right"};

// libjack explains a missing server in several lines of its own; we say it in one.
void quiet(const char*) {}

void reportJackError(const char* message)
{
    std::fprintf(stderr, "zaroruraroze-jack: JACK: %s\n", message);
}

std::vector<std::string> physicalPorts(jack_client_t* client, unsigned long flags)
{
    std::vector<std::string> names;
    const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | flags);
    for (const char** p = ports; p != nullptr && *p != nullptr; ++p)
        names.emplace_back(*p);
    jack_free(ports);
    return names;
}
} // namespace

JackClient::JackClient(const std::string& clientName, const std::string& serverName, RealtimePlugin& plugin)
    : plugin_(plugin), serverName_(serverName)
{
    if (serverName_.empty()) {
        const char* fromEnvironment = std::getenv("JACK_DEFAULT_SERVER");
        serverName_ = fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "default";
    }
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_status_t status{};
    client_ =
        jack_client_open(clientName.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                         &status, serverName_.c_str());
    jack_set_error_function(reportJackError);
    if (client_ == nullptr) {
        if (status & JackServerFailed)
            throw JackError("no JACK server '" + serverName_ +
                            "' is running; start one first (jackd, "
                            "qjackctl), this client never starts a server");
        throw JackError("the JACK server '" + serverName_ + "' refused the client '" + clientName +
                        "' (status 0x" + std::to_string(static_cast<unsigned>(status)) + ")");
    }
    for (int c = 0; c < 2; ++c) {
        inputs_[c] = jack_port_register(client_, kInputNames[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        outputs_[c] =
            jack_port_register(client_, kOutputNames[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        keys_[c] = jack_port_register(client_, kKeyNames[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    }
    if (!inputs_[0] || !inputs_[1] || !outputs_[0] || !outputs_[1] || !keys_[0] || !keys_[1]) {
        jack_client_close(client_);
        throw JackError("the JACK server '" + serverName_ + "' refused our ports");
    }
    // The rate is the plug-in's before the audio starts; later changes reach it through the callback.
    sampleRateHz_ = static_cast<int>(jack_get_sample_rate(client_));
    bufferFrames_ = static_cast<int>(jack_get_buffer_size(client_));
    plugin_.requestSampleRate(sampleRateHz_);
    plugin_.applyPending();
    jack_set_process_callback(client_, onProcess, this);
    jack_set_sample_rate_callback(client_, onSampleRate, this);
    jack_set_buffer_size_callback(client_, onBufferSize, this);
    jack_set_xrun_callback(client_, onXrun, this);
    jack_on_shutdown(client_, onShutdown, this);
}

JackClient::~JackClient()
{
    if (serverGone()) {
        // Only complaints that the server is gone would follow.
        jack_set_error_function(quiet);
    } else if (active_) {
        jack_deactivate(client_);
    }
    jack_client_close(client_);
}

void JackClient::activate()
{
    if (jack_activate(client_) != 0)
        throw JackError("the JACK server '" + serverName_ + "' did not start us");
    active_ = true;
}

std::vector<std::string> JackClient::connectPhysicalPorts()
{
    std::vector<std::string> made;
    const auto connect = [&](const std::string& from, const std::string& to) {
        if (jack_connect(client_, from.c_str(), to.c_str()) == 0) made.push_back(from + " -> " + to);
    };
    const std::vector<std::string> capture = physicalPorts(client_, JackPortIsOutput);
    const std::vector<std::string> playback = physicalPorts(client_, JackPortIsInput);
    // A mono capture feeds both inputs.
    for (std::size_t c = 0; c < 2 && !capture.empty(); ++c)
        connect(capture[std::min(c, capture.size() - 1)], jack_port_name(inputs_[c]));
    for (std::size_t c = 0; c < 2 && c < playback.size(); ++c)
        connect(jack_port_name(outputs_[c]), playback[c]);
    return made;
}

std::vector<std::string> JackClient::connectKey(const std::vector<std::string>& sources)
{
    std::vector<std::string> answers;
    for (std::size_t c = 0; c < 2 && !sources.empty(); ++c) {
        const std::string& from = sources[std::min(c, sources.size() - 1)];
        const std::string to = jack_port_name(keys_[c]);
        answers.push_back(from + (jack_connect(client_, from.c_str(), to.c_str()) == 0 ? " -> " : " -x ") +
                          to);
    }
    return answers;
}

std::string JackClient::name() const
{
    return jack_get_client_name(client_);
}

std::vector<std::string> JackClient::portNames() const
{
    return {jack_port_name(inputs_[0]),  jack_port_name(inputs_[1]), jack_port_name(outputs_[0]),
            jack_port_name(outputs_[1]), jack_port_name(keys_[0]),   jack_port_name(keys_[1])};
}

int JackClient::onProcess(jack_nframes_t frames, void* self) noexcept
{
    auto* client = static_cast<JackClient*>(self);
    const float* inputs[2];
    const float* keys[2];
    float* outputs[2];
    for (int c = 0; c < 2; ++c) {
        inputs[c] = static_cast<const float*>(jack_port_get_buffer(client->inputs_[c], frames));
        keys[c] = static_cast<const float*>(jack_port_get_buffer(client->keys_[c], frames));
        outputs[c] = static_cast<float*>(jack_port_get_buffer(client->outputs_[c], frames));
    }
    client->plugin_.process(inputs, keys, outputs, static_cast<int>(frames));
    return 0;
}

int JackClient::onSampleRate(jack_nframes_t rateHz, void* self) noexcept
{
    auto* client = static_cast<JackClient*>(self);
    client->sampleRateHz_.store(static_cast<int>(rateHz), std::memory_order_relaxed);
    client->plugin_.requestSampleRate(rateHz);
    return 0;
}

int JackClient::onBufferSize(jack_nframes_t frames, void* self) noexcept
{
    // The plug-in takes blocks of any length, so a new size needs nothing but a note.
    static_cast<JackClient*>(self)->bufferFrames_.store(static_cast<int>(frames), std::memory_order_relaxed);
    return 0;
}

int JackClient::onXrun(void* self) noexcept
{
    static_cast<JackClient*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void JackClient::onShutdown(void* self) noexcept
{
    static_cast<JackClient*>(self)->serverGone_.store(true, std::memory_order_release);
}
} // namespace zr::jack
