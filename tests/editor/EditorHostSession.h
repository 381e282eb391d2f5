#pragma once
// The steps a test host with editor windows runs from its command line, for tests/editor/display.sh, over
// plug-in instances of one format (VstEditorHost.cpp; the CLAP test host's GUI mode; the VST 3 SDK-header
// host's editor command). Header-only.
//   open                  a new plug-in instance, a frame of its editor's size at (40, 40) (each further
//                         one 420 px lower), the editor in it; prints "window ID X Y W H"
//                         (the frame's client area on the screen). The steps below act on the newest
//                         instance; idling idles all.
//   idle MS               the editors' idle some 30 times a second for MS milliseconds
//   until PATH            idles until the file PATH exists (at most 60 s): a script's cue
//   set I VALUE           the host automates parameter I to VALUE
//   print I               prints "param I VALUE"
//   process MS AMPLITUDE  idles for MS milliseconds with a signal at AMPLITUDE processed in real time (each
//                         host says which)
//   destroy-parent        destroys the frame (and with it the editor's window) before closing the editor
//   close                 closes the editor
//   reopen                opens the editor again, in the same frame
//   say TEXT              prints TEXT: a cue for a script
// Each instance logs what its plug-in tells the host as it comes: "begin I", "automate I VALUE", "end I",
// "size W H". An Instance has open(), idle(amplitude), set(index, value), print(index), destroyParent(),
// close() and reopen().

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// An idle period: some 30 a second, as sequencers idle editors.
constexpr int editorIdleMilliseconds = 33;

[[noreturn]] inline void editorHostFailed(const std::string& why)
{
    std::fprintf(stderr, "editor host: %s\n", why.c_str());
    std::exit(1);
}

template <typename Instance> class EditorHostSession
{
public:
    // make: a new instance whose frame stands `offset` pixels lower than the first one's.
    explicit EditorHostSession(std::function<std::unique_ptr<Instance>(int offset)> make)
        : make_(std::move(make))
    {}

    // Runs the steps; a bad one ends the process with status 2.
    void run(int argc, char** argv)
    {
        for (int a = 0; a < argc; ++a) {
            const std::string step = argv[a];
            const auto next = [&]() -> std::string {
                if (a + 1 >= argc) usage(step + " needs an argument");
                return argv[++a];
            };
            if (step == "open") {
                instances_.push_back(make_(420 * static_cast<int>(instances_.size())));
                instances_.back()->open();
                idle(100);
            } else if (step == "idle") {
                idle(std::atoi(next().c_str()));
            } else if (step == "until") {
                until(next());
            } else if (step == "set") {
                const int index = std::atoi(next().c_str());
                newest().set(index, std::atof(next().c_str()));
            } else if (step == "print") {
                newest().print(std::atoi(next().c_str()));
            } else if (step == "process") {
                const int milliseconds = std::atoi(next().c_str());
                idle(milliseconds, std::atof(next().c_str()));
            } else if (step == "destroy-parent") {
                newest().destroyParent();
            } else if (step == "close") {
                newest().close();
            } else if (step == "reopen") {
                newest().reopen();
            } else if (step == "say") {
                std::printf("%s\n", next().c_str());
                std::fflush(stdout);
            } else {
                usage("unknown step " + step);
            }
        }
    }

private:
    [[noreturn]] static void usage(const std::string& why)
    {
        std::fprintf(stderr, "editor host: %s\n", why.c_str());
        std::exit(2);
    }
    static bool exists(const std::string& path)
    {
#if defined(_WIN32)
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
        struct stat info;
        return stat(path.c_str(), &info) == 0;
#endif
    }
    void idle(int milliseconds, double amplitude = 0.0)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            for (auto& instance : instances_)
                instance->idle(amplitude);
            std::this_thread::sleep_for(std::chrono::milliseconds(editorIdleMilliseconds));
        }
        // The sound stops with the step that made it.
        if (amplitude > 0.0)
            for (auto& instance : instances_)
                instance->idle(0.0);
    }
    void until(const std::string& path)
    {
        for (int waited = 0; waited < 60000 && !exists(path); waited += editorIdleMilliseconds)
            idle(editorIdleMilliseconds);
        if (!exists(path)) editorHostFailed("no cue " + path);
    }
    Instance& newest()
    {
        if (instances_.empty()) editorHostFailed("no instance open");
        return *instances_.back();
    }

    std::function<std::unique_ptr<Instance>(int offset)> make_;
    std::vector<std::unique_ptr<Instance>> instances_;
};
