#pragma once
// The LV2 face of a plug-in's editor: an X11 UI (ui:X11UI) embedded in the host's window through ui:parent,
// driven by the host's idle calls, that talks to the plug-in only through its ports, so it works where a
// host runs it in another process. Control ports bring the host's values (knob positions through the
// plug-in's own knob laws), output ports the meters; a gesture is ui:touch, the port values written
// through the host's write function, and ui:touch released.

#include "Common/gui/Editor.h"
#include "Common/gui/EditorHost.h"
#include "Common/lv2/Lv2PortTable.h"

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <memory>
#include <vector>

class EditorWindow;
class MusicPlugin;
class Param;

class MusicPluginLv2Ui : public EditorHost
{
public:
    using EditorFactory = std::unique_ptr<Editor> (*)(EditorHost& host);

    // The host-visible descriptor with the factories behind it and the plug-in's port layout (see
    // Lv2PortTable).
    struct Descriptor
    {
        LV2UI_Descriptor lv2;
        MusicPlugin* (*createPlugin)();
        EditorFactory createEditor;
        int controlsBeforeMeters;
    };
    // Its callbacks are the bridge's; uri and the factories must outlive the module.
    static Descriptor describe(const char* uri, MusicPlugin* (*createPlugin)(), EditorFactory createEditor,
                               int controlsBeforeMeters = -1);

    // Without a window: the port traffic alone (tests use it so). open() then shows the editor.
    MusicPluginLv2Ui(const Descriptor& descriptor, LV2UI_Write_Function write, LV2UI_Controller controller,
                     const LV2_Feature* const* features);
    ~MusicPluginLv2Ui() override;
    MusicPluginLv2Ui(const MusicPluginLv2Ui&) = delete;
    MusicPluginLv2Ui& operator=(const MusicPluginLv2Ui&) = delete;

    // The editor in a child of the host's window; false without ui:parent or a display.
    bool open();
    void* widget() const;
    void portEvent(uint32_t port, uint32_t bufferSize, uint32_t format, const void* buffer);
    // The host's idle call: events, values and repaints.
    int idle();

    void beginEdit(int index) override;
    void performEdit(int index, double knobPos) override;
    void endEdit(int index) override;
    double knobPosition(int index) override;
    std::optional<double> takeMeterReading(int index) override;
    bool requestResize(int width, int height) override;

private:
    std::unique_ptr<MusicPlugin> plugin_; // its parameters turn port values into knob positions and back
    Lv2PortTable table_;
    std::vector<Param*> params_;
    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    void* parent_ = nullptr;
    const LV2UI_Resize* resize_ = nullptr;
    const LV2UI_Touch* touch_ = nullptr;
    std::vector<double> knobPositions_;
    // The meters' last values: hosts send a port only when it changes.
    std::vector<std::optional<double>> meters_;
    std::unique_ptr<Editor> editor_;
    std::unique_ptr<EditorWindow> window_;
};
