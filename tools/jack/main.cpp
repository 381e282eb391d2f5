// zaroruraroze-jack: the compressor as a JACK client for live signals, controlled from standard input.
// The main thread is the control thread: it reads commands, reports what the server tells us and ends the
// client on quit, end of input, SIGINT or SIGTERM (taken as data through a signalfd, so no handler runs
// in the middle of anything).

#include "tools/jack/ControlSession.h"
#include "tools/jack/JackClient.h"
#include "tools/jack/JackCommandLine.h"
#include "tools/jack/RealtimePlugin.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

using namespace zr::jack;

namespace
{
const char* const kToolName = "zaroruraroze-jack";
// How often the loop looks at the server's news, and how often xruns are reported at most.
constexpr int kPollMilliseconds = 250;
constexpr auto kXrunReportInterval = std::chrono::seconds(5);

std::string joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

// Feeds complete lines of standard input to the session; false once a command or the end of input
// ends the run.
class InputLines
{
public:
    explicit InputLines(ControlSession& session) : session_(session) {}

    bool readAvailable()
    {
        char buffer[4096];
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0) return errno == EINTR || errno == EAGAIN;
        if (got == 0) {
            finish();
            return false;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            const std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!session_.handleLine(line)) return false;
        }
        return true;
    }

private:
    // A last line without its line feed still counts.
    void finish()
    {
        if (!pending_.empty()) session_.handleLine(pending_);
        pending_.clear();
    }

    ControlSession& session_;
    std::string pending_;
};

int run(const ClientOptions& options)
{
    // Blocked before libjack starts its threads, so they inherit the mask and the signals wait for us.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
    const int signalFd = signalfd(-1, &endSignals, SFD_CLOEXEC);
    std::signal(SIGPIPE, SIG_IGN);

    RealtimePlugin plugin;
    ControlSession session(plugin, stdout, stderr);
    if (!options.presetPath.empty()) session.loadFile(options.presetPath);
    session.applySettings(options.settings);

    JackClient client(options.clientName, options.serverName, plugin);
    client.activate();
    session.audioStarted();
    std::fprintf(stderr, "%s: client %s on JACK server '%s', %d Hz, %d frames a block; ports %s\n", kToolName,
                 client.name().c_str(), client.serverName().c_str(), client.sampleRateHz(),
                 client.bufferFrames(), joined(client.portNames()).c_str());
    if (options.connect) {
        const std::vector<std::string> made = client.connectPhysicalPorts();
        std::fprintf(stderr, "%s: %s\n", kToolName,
                     made.empty() ? "no system ports to connect to" : ("connected " + joined(made)).c_str());
    }
    if (!options.keySources.empty())
        std::fprintf(stderr, "%s: key: %s\n", kToolName,
                     joined(client.connectKey(options.keySources)).c_str());

    InputLines input(session);
    bool inputOpen = true;
    int rateHz = client.sampleRateHz();
    int bufferFrames = client.bufferFrames();
    long xrunsReported = 0;
    auto nextXrunReport = std::chrono::steady_clock::now() + kXrunReportInterval;
    while (true) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {inputOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        poll(fds, 2, kPollMilliseconds);
        if (fds[0].revents & POLLIN) break;
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            inputOpen = input.readAvailable();
            if (!inputOpen) break;
        }
        if (client.serverGone()) {
            std::fprintf(stderr, "%s: the JACK server shut down\n", kToolName);
            return 1;
        }
        if (client.sampleRateHz() != rateHz || client.bufferFrames() != bufferFrames) {
            rateHz = client.sampleRateHz();
            bufferFrames = client.bufferFrames();
            std::fprintf(stderr, "%s: the server now runs at %d Hz, %d frames a block\n", kToolName, rateHz,
                         bufferFrames);
        }
        if (std::chrono::steady_clock::now() >= nextXrunReport) {
            const long xruns = client.xruns();
            if (xruns != xrunsReported)
                std::fprintf(stderr, "%s: %ld xruns in the last %lld s (%ld in all)\n", kToolName,
                             xruns - xrunsReported, static_cast<long long>(kXrunReportInterval.count()),
                             xruns);
            xrunsReported = xruns;
            nextXrunReport = std::chrono::steady_clock::now() + kXrunReportInterval;
        }
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    return zr::host::runTool(kToolName, kJackUsageText, argc, argv, parseJackCommandLine, run);
}
