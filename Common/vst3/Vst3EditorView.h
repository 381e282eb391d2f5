#pragma once
// The VST 3 face of a plug-in's editor: an IPlugView over an Editor in an EditorWindow, attached to the
// host's X11 window or HWND. On Linux the view's idle comes from the host frame's run loop (a timer of
// 30 Hz); on Windows the window's own timer drives it. Gestures go to the host's component handler
// (beginEdit, performEdit with the knob position, which is the normalised value, endEdit) and to the
// controller's value, as a VST 3 editor does; the knobs follow the controller's values (automation and
// preset loads); the meters come from the processor's MeterFeed while the view is attached.
//
// Threads: the host's UI thread. The view holds a reference to the adaptor, so it may outlive the host's
// own references to the plug-in.

#include "Common/gui/Editor.h"
#include "Common/gui/EditorHost.h"
#include "Common/vst3/Vst3Interfaces.h"

#include <atomic>
#include <memory>

class EditorWindow;
class MusicPluginVst3Adaptor;

class Vst3EditorView final : public vst3::IPlugView,
#if !defined(_WIN32)
                             public vst3::ITimerHandler,
#endif
                             private EditorHost
{
public:
    using EditorFactory = std::unique_ptr<Editor> (*)(EditorHost& host);

    // Starts with one reference, the caller's.
    Vst3EditorView(MusicPluginVst3Adaptor& adaptor, EditorFactory makeEditor);

    // FUnknown
    vst3::tresult ZR_VST3_API queryInterface(const vst3::TUID iid, void** obj) override;
    std::uint32_t ZR_VST3_API addRef() override;
    std::uint32_t ZR_VST3_API release() override;
    // IPlugView
    vst3::tresult ZR_VST3_API isPlatformTypeSupported(vst3::FIDString type) override;
    vst3::tresult ZR_VST3_API attached(void* parent, vst3::FIDString type) override;
    vst3::tresult ZR_VST3_API removed() override;
    vst3::tresult ZR_VST3_API onWheel(float distance) override;
    vst3::tresult ZR_VST3_API onKeyDown(char16_t key, std::int16_t keyCode, std::int16_t modifiers) override;
    vst3::tresult ZR_VST3_API onKeyUp(char16_t key, std::int16_t keyCode, std::int16_t modifiers) override;
    vst3::tresult ZR_VST3_API getSize(vst3::ViewRect* size) override;
    vst3::tresult ZR_VST3_API onSize(vst3::ViewRect* newSize) override;
    vst3::tresult ZR_VST3_API onFocus(vst3::TBool state) override;
    vst3::tresult ZR_VST3_API setFrame(vst3::IPlugFrame* frame) override;
    vst3::tresult ZR_VST3_API canResize() override;
    vst3::tresult ZR_VST3_API checkSizeConstraint(vst3::ViewRect* rect) override;
#if !defined(_WIN32)
    // ITimerHandler: the host's run loop, some 30 times a second.
    void ZR_VST3_API onTimer() override;
#endif

private:
    ~Vst3EditorView();
    bool makeEditor();
    void detach();

    void beginEdit(int index) override;
    void performEdit(int index, double knobPos) override;
    void endEdit(int index) override;
    double knobPosition(int index) override;
    std::optional<double> takeMeterReading(int index) override;
    bool requestResize(int width, int height) override;

    std::atomic<std::uint32_t> references{1};
    MusicPluginVst3Adaptor& adaptor;
    EditorFactory makeEditor_;
    std::unique_ptr<Editor> editor;
    std::unique_ptr<EditorWindow> window;
    vst3::IPlugFrame* frame = nullptr;
#if !defined(_WIN32)
    vst3::IRunLoop* runLoop = nullptr;
#endif
};
