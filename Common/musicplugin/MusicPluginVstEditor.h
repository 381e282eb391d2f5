#pragma once
// The VST 2 face of a plug-in's editor: the host's editor opcodes (rectangle, open, idle, close) on an
// Editor in an EditorWindow, and the editor's gestures, values and meters through the adaptor: beginEdit,
// setParameterAutomated and endEdit for a gesture, getParameter for the host's value (it follows
// automation and preset loads), and the adaptor's MeterFeed for the meters. The editor itself lives as
// long as the effect, so the scale chosen stays for the instance across closing and opening again.

#include "Common/gui/Editor.h"
#include "Common/gui/EditorHost.h"
#include "Common/vst/AEffEditor.h"

#include <memory>

class EditorWindow;
class MusicPluginVstAdaptor;

class MusicPluginVstEditor : public AEffEditor, private EditorHost
{
public:
    using EditorFactory = std::unique_ptr<Editor> (*)(EditorHost& host);

    MusicPluginVstEditor(MusicPluginVstAdaptor& effect, EditorFactory makeEditor);
    ~MusicPluginVstEditor() override;

    // Hosts ask before opening and after: the size of the editor at its current scale.
    bool getRect(ERect** rect) override;
    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;
    bool onKeyDown(VstKeyCode&) override { return false; }
    bool onKeyUp(VstKeyCode&) override { return false; }
    bool setKnobMode(VstInt32) override { return false; }

private:
    bool makeEditor();

    void beginEdit(int index) override;
    void performEdit(int index, double knobPos) override;
    void endEdit(int index) override;
    double knobPosition(int index) override;
    std::optional<double> takeMeterReading(int index) override;
    bool requestResize(int width, int height) override;

    MusicPluginVstAdaptor& effect_;
    EditorFactory makeEditor_;
    std::unique_ptr<Editor> editor_;
    std::unique_ptr<EditorWindow> window_;
    ERect rect_{};
};
