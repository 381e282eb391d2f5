#pragma once
// The CLAP face of a plug-in's editor: clap.gui embedded in the host's window (X11 on Linux, Win32 on
// Windows; floating windows are refused) at the editor's own sizes, which change with its scale switch
// through the host's request_resize; on Linux the editor's events and repaints run on the host's
// clap.timer-support (a host without it gets no editor), on Windows on the window's own timer.
//
// It never touches the live plug-in: gestures go to the adaptor's queue in plain values, and the values
// the knobs show come from the adaptor's main-thread view, turned into knob positions by a plug-in instance
// of its own. The meters come through the adaptor's MeterFeed while the editor is shown.

#include "Common/clap/ClapPluginGui.h"
#include "Common/gui/Editor.h"
#include "Common/gui/EditorHost.h"

#include <clap/ext/gui.h>
#include <clap/ext/timer-support.h>

#include <cstdint>
#include <memory>
#include <vector>

class EditorWindow;
class MusicPlugin;
class MusicPluginClapAdaptor;
class Param;

class MusicPluginClapGui : public ClapPluginGui, private EditorHost
{
public:
    using EditorFactory = std::unique_ptr<Editor> (*)(EditorHost& host);
    // Timer period asked of the host: some 30 repaints a second.
    static constexpr std::uint32_t timerMilliseconds = 33;

    // Makes nothing yet: the editor and its plug-in instance come with create.
    MusicPluginClapGui(MusicPluginClapAdaptor& adaptor, MusicPlugin* (*createPlugin)(),
                       EditorFactory createEditor);
    ~MusicPluginClapGui() override;

    const void* extension(const char* id) const noexcept override;

    // clap.gui and clap.timer-support, main thread; none throws.
    static bool isApiSupported(const char* api, bool isFloating) noexcept;
    bool create(const char* api, bool isFloating) noexcept;
    void destroy() noexcept;
    bool setScale(double scale) noexcept;
    bool size(std::uint32_t* width, std::uint32_t* height) const noexcept;
    bool setSize(std::uint32_t width, std::uint32_t height) const noexcept;
    bool setParent(const clap_window_t* window) noexcept;
    bool show(bool visible) noexcept;
    void onTimer(clap_id timerId) noexcept;

private:
    // Everything create made, the timer given back.
    void release() noexcept;
    // The meters are taken while the editor is shown.
    void feedMeters();

    void beginEdit(int index) override;
    void performEdit(int index, double knobPos) override;
    void endEdit(int index) override;
    double knobPosition(int index) override;
    std::optional<double> takeMeterReading(int index) override;
    bool requestResize(int width, int height) override;

    MusicPluginClapAdaptor& adaptor_;
    MusicPlugin* (*createPlugin_)();
    EditorFactory createEditor_;
    const clap_host_gui_t* hostGui_ = nullptr;
    const clap_host_timer_support_t* hostTimer_ = nullptr;
    clap_id timerId_ = CLAP_INVALID_ID;

    std::unique_ptr<MusicPlugin> plugin_;
    std::vector<Param*> params_;
    // The value each of the plug-in's parameters was last set to here.
    std::vector<double> values_;
    std::unique_ptr<Editor> editor_;
    std::unique_ptr<EditorWindow> window_;
    bool hidden_ = false;
};
