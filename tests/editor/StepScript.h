#pragma once
// The steps a display test gives a test host with an editor window, for any plug-in format: the host
// supplies the Instance (one plug-in with its frame window), this runs the steps on the command line.
//
//   open                  a new instance, a frame of its editor's size at (40, 40) (each further one 420 px
//                         lower), the editor in it; the instance prints "window ID X Y W H" (the frame's
//                         client area on the screen). The steps below act on the newest instance; idling
//                         idles all.
//   idle MS               the editors' idle some 30 times a second for MS milliseconds
//   until PATH            idles until the file PATH exists (at most 60 s): a script's cue
//   set I POS             the host automates parameter I to knob position POS
//   print I               prints "param I POS"
//   process MS AMPLITUDE  idles for MS milliseconds, processing three tones in real time between idles:
//                         100 Hz at AMPLITUDE, 1 kHz at half and 6 kHz at a quarter of it
//   destroy-parent        destroys the frame (and with it the editor's window) before closing the editor
//   close                 closes the editor; reopen opens it again in the same frame
//   say TEXT              prints TEXT: a cue for a script
// The instance logs its plug-in's edits as they come: "begin I", "automate I POS", "end I", "size W H".
//
// Instance: Instance(pluginPath, verticalOffset), open(), idle(amplitude) (one idle period), set(i, pos),
// print(i), destroyParent(), close(), reopen(), and static fail(text).

#include "HostFrame.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace stepscript
{
constexpr int idleMilliseconds = 33;

template <typename Instance> class Session
{
public:
    explicit Session(std::string pluginPath) : pluginPath_(std::move(pluginPath)) {}

    void open()
    {
        instances_.push_back(
            std::make_unique<Instance>(pluginPath_, 420 * static_cast<int>(instances_.size())));
        instances_.back()->open();
        idle(100);
    }
    void idle(int milliseconds, double amplitude = 0.0)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            for (auto& instance : instances_)
                instance->idle(amplitude);
            std::this_thread::sleep_for(std::chrono::milliseconds(idleMilliseconds));
        }
    }
    void until(const std::string& path)
    {
        for (int waited = 0; waited < 60000 && !hostframe::exists(path); waited += idleMilliseconds)
            idle(idleMilliseconds);
        if (!hostframe::exists(path)) Instance::fail("no cue " + path);
    }
    Instance& newest()
    {
        if (instances_.empty()) Instance::fail("no instance open");
        return *instances_.back();
    }

private:
    std::string pluginPath_;
    std::vector<std::unique_ptr<Instance>> instances_;
};

// Runs the steps argv[first ..] on the plug-in argv[first - 1]; "done" at the end.
template <typename Instance> int run(int argc, char** argv, int first, const char* program)
{
    if (argc < first) {
        std::fprintf(stderr, "usage: %s PLUGIN STEP...\n", program);
        return 2;
    }
    Session<Instance> session(argv[first - 1]);
    for (int a = first; a < argc; ++a) {
        const std::string step = argv[a];
        const auto next = [&]() -> std::string {
            if (a + 1 >= argc) {
                std::fprintf(stderr, "%s: %s needs an argument\n", program, step.c_str());
                std::exit(2);
            }
            return argv[++a];
        };
        if (step == "open")
            session.open();
        else if (step == "idle")
            session.idle(std::atoi(next().c_str()));
        else if (step == "until")
            session.until(next());
        else if (step == "set") {
            const int index = std::atoi(next().c_str());
            session.newest().set(index, static_cast<float>(std::atof(next().c_str())));
        } else if (step == "print")
            session.newest().print(std::atoi(next().c_str()));
        else if (step == "process") {
            const int milliseconds = std::atoi(next().c_str());
            session.idle(milliseconds, std::atof(next().c_str()));
        } else if (step == "destroy-parent")
            session.newest().destroyParent();
        else if (step == "close")
            session.newest().close();
        else if (step == "reopen")
            session.newest().reopen();
        else if (step == "say") {
            std::printf("%s\n", next().c_str());
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "%s: unknown step %s\n", program, step.c_str());
            return 2;
        }
    }
    std::printf("done\n");
    return 0;
}
} // namespace stepscript
