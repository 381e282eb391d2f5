// A VST 2 host with a window, for the display tests: it loads the plug-in binary, opens its editor in a
// frame window of its own (X11, or Win32 under wine), pumps it the way sequencers do (effEditIdle) and logs
// what the plug-in tells the host. It runs the steps of EditorHostSession.h, with knob positions for values
// ("set I POS", "param I POS", "automate I POS").
// Usage: vst-editor-host PLUGIN STEP...

#include "EditorHostSession.h"
#include "HostFrame.h"
#include "LoadedPlugin.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr double sampleRateHz = 44100.0;

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
            editorHostFailed("no editor rectangle");
        const int width = rect->right - rect->left;
        const int height = rect->bottom - rect->top;
        frame_.reset(new HostFrame(40, 40 + offset_, width, height));
        if (plugin_.dispatch(effEditOpen, 0, 0, frame_->handle()) == 0)
            editorHostFailed("the editor did not open");
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

    void set(int index, double knobPos) { plugin_.setKnob(index, static_cast<float>(knobPos)); }
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
            editorHostFailed("the editor did not reopen");
    }

private:
    // One idle period of three tones: 100 Hz at the amplitude, 1 kHz at half and 6 kHz at a quarter of it.
    void process(double amplitude)
    {
        const auto frames = static_cast<std::size_t>(sampleRateHz * editorIdleMilliseconds / 1000.0);
        zr::test::Stereo input{std::vector<float>(frames), std::vector<float>(frames)};
        for (std::size_t i = 0; i < frames; ++i, ++phase_) {
            const double t = 2.0 * 3.141592653589793 * static_cast<double>(phase_) / sampleRateHz;
            input.left[i] = input.right[i] = static_cast<float>(
                amplitude * (std::sin(100.0 * t) + 0.5 * std::sin(1000.0 * t) + 0.25 * std::sin(6000.0 * t)));
        }
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
    std::unique_ptr<HostFrame> frame_;
    std::size_t reported_ = 0;
    long phase_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vst-editor-host PLUGIN STEP...\n");
        return 2;
    }
    const std::string pluginPath = argv[1];
    EditorHostSession<Instance> session(
        [&](int offset) { return std::make_unique<Instance>(pluginPath, offset); });
    session.run(argc - 2, argv + 2);
    std::printf("done\n");
    return 0;
}
