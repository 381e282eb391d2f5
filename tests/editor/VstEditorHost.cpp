// A VST 2 host with a window, for the display tests: it loads the plug-in binary, opens its editor in a
// frame window of its own (X11, or Win32 under wine), pumps it the way sequencers do and logs what the
// plug-in tells the host. It runs the steps given on its command line:
//   open                  a new plug-in instance, a frame of its editor's size at (40, 40) (each further
//                         one 420 px lower), the editor in it; prints "window ID X Y W H"
//                         (the frame's client area on the screen). The steps below act on the newest
//                         instance; idling idles all.
//   idle MS               effEditIdle some 30 times a second for MS milliseconds
//   until PATH            idles until the file PATH exists (at most 60 s): a script's cue
//   set I POS             the host automates parameter I to knob position POS
//   print I               prints "param I POS"
//   process MS AMPLITUDE  idles for MS milliseconds, processing three tones in real time between idles:
//                         100 Hz at AMPLITUDE, 1 kHz at half and 6 kHz at a quarter of it
//   destroy-parent        destroys the frame (and with it the editor's window) before closing the editor
//   close                 effEditClose
//   reopen                effEditOpen again, in the same frame
//   say TEXT              prints TEXT: a cue for a script
// Every host call of the plug-in's is logged as it comes: "begin I", "automate I POS", "end I", "size W H".
// Usage: vst-editor-host PLUGIN STEP...

#include "LoadedPlugin.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <X11/Xlib.h>
#include <sys/stat.h>
#endif

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace
{
constexpr int idleMilliseconds = 33;
constexpr double sampleRateHz = 44100.0;

#if defined(_WIN32)
class Frame
{
public:
    Frame(int x, int y, int width, int height)
    {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VstEditorHostFrame";
        RegisterClassA(&windowClass);
        RECT r{0, 0, width, height};
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        window_ = CreateWindowA("VstEditorHostFrame", "editor host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr, windowClass.hInstance,
                                nullptr);
    }
    void* handle() const { return window_; }
    void pump()
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    void destroy()
    {
        DestroyWindow(window_);
        pump();
    }
    void origin(int& x, int& y) const
    {
        POINT p{0, 0};
        ClientToScreen(window_, &p);
        x = p.x;
        y = p.y;
    }

private:
    HWND window_;
};

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
#else
class Frame
{
public:
    Frame(int x, int y, int width, int height) : display_(XOpenDisplay(nullptr))
    {
        if (display_ == nullptr) {
            std::fprintf(stderr, "vst-editor-host: no display\n");
            std::exit(1);
        }
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), x, y,
                                      static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0, 0);
        XMapWindow(display_, window_);
        XSync(display_, False);
    }
    ~Frame() { XCloseDisplay(display_); }
    void* handle() const { return reinterpret_cast<void*>(window_); }
    void pump()
    {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
        }
    }
    void destroy()
    {
        XDestroyWindow(display_, window_);
        XSync(display_, False);
    }
    void origin(int& x, int& y) const
    {
        ::Window child;
        XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    }

private:
    Display* display_;
    ::Window window_ = 0;
};

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}
#endif

class Instance
{
public:
    Instance(const std::string& pluginPath, int offset) : plugin_(pluginPath), offset_(offset)
    {
        plugin_.start(static_cast<float>(sampleRateHz), 512);
    }

    void open()
    {
        ERect* rect = nullptr;
        if (plugin_.dispatch(effEditGetRect, 0, 0, &rect) == 0 || rect == nullptr)
            fail("no editor rectangle");
        const int width = rect->right - rect->left;
        const int height = rect->bottom - rect->top;
        frame_.reset(new Frame(40, 40 + offset_, width, height));
        if (plugin_.dispatch(effEditOpen, 0, 0, frame_->handle()) == 0) fail("the editor did not open");
        frame_->pump();
        int x = 0, y = 0;
        frame_->origin(x, y);
        std::printf("window %lu %d %d %d %d\n",
                    static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(frame_->handle())), x, y,
                    width, height);
        std::fflush(stdout);
    }

    // One idle period: optionally audio, then the editor's idle, the frame's events and the log.
    void idle(double amplitude)
    {
        if (amplitude > 0.0) process(amplitude);
        plugin_.dispatch(effEditIdle);
        if (frame_) frame_->pump();
        report();
    }

    void set(int index, float knobPos) { plugin_.setKnob(index, knobPos); }
    void print(int index)
    {
        std::printf("param %d %.6f\n", index, plugin_.knob(index));
        std::fflush(stdout);
    }
    void destroyParent()
    {
        if (frame_) frame_->destroy();
    }
    void close() { plugin_.dispatch(effEditClose); }
    void reopen()
    {
        if (!frame_ || plugin_.dispatch(effEditOpen, 0, 0, frame_->handle()) == 0)
            fail("the editor did not reopen");
    }

    [[noreturn]] static void fail(const std::string& why)
    {
        std::fprintf(stderr, "vst-editor-host: %s\n", why.c_str());
        std::exit(1);
    }

private:
    // One idle period of a 1 kHz sine.
    void process(double amplitude)
    {
        const auto frames = static_cast<std::size_t>(sampleRateHz * idleMilliseconds / 1000.0);
        zr::test::Stereo input{std::vector<float>(frames), std::vector<float>(frames)};
        for (std::size_t i = 0; i < frames; ++i, ++phase_)
            input.left[i] = input.right[i] =
                static_cast<float>(amplitude * std::sin(2.0 * 3.141592653589793 * 1000.0 *
                                                        static_cast<double>(phase_) / sampleRateHz));
        plugin_.processReplacing(input, 512);
    }

    void report()
    {
        for (; reported_ < plugin_.hostCalls.size(); ++reported_) {
            const zr::test::HostCall& c = plugin_.hostCalls[reported_];
            if (c.opcode == audioMasterBeginEdit) std::printf("begin %d\n", c.index);
            if (c.opcode == audioMasterEndEdit) std::printf("end %d\n", c.index);
            if (c.opcode == audioMasterAutomate) std::printf("automate %d %.6f\n", c.index, c.opt);
            if (c.opcode == audioMasterSizeWindow)
                std::printf("size %d %ld\n", c.index, static_cast<long>(c.value));
        }
        std::fflush(stdout);
    }

    zr::test::LoadedPlugin plugin_;
    int offset_;
    std::unique_ptr<Frame> frame_;
    std::size_t reported_ = 0;
    long phase_ = 0;
};

class Session
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
        for (int waited = 0; waited < 60000 && !exists(path); waited += idleMilliseconds)
            idle(idleMilliseconds);
        if (!exists(path)) Instance::fail("no cue " + path);
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
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vst-editor-host PLUGIN STEP...\n");
        return 2;
    }
    Session session(argv[1]);
    for (int a = 2; a < argc; ++a) {
        const std::string step = argv[a];
        const auto next = [&]() -> std::string {
            if (a + 1 >= argc) {
                std::fprintf(stderr, "vst-editor-host: %s needs an argument\n", step.c_str());
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
            std::fprintf(stderr, "vst-editor-host: unknown step %s\n", step.c_str());
            return 2;
        }
    }
    std::printf("done\n");
    return 0;
}
