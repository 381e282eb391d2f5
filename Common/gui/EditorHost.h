#pragma once
// What an editor asks of the format bridge that shows it: one implementation per format (VST 2, VST3, CLAP,
// LV2). Every call comes from the host's GUI thread.

#include <optional>

class EditorHost
{
public:
    virtual ~EditorHost() = default;

    // One user gesture on parameter `index`: begin, the knob positions (0..1) it passes through, end. The
    // host records the gesture as one automation pass.
    virtual void beginEdit(int index) = 0;
    virtual void performEdit(int index, double knobPos) = 0;
    virtual void endEdit(int index) = 0;
    // The parameter's knob position as the host holds it now (automation and preset loads included).
    virtual double knobPosition(int index) = 0;
    // Meter `index`'s reading in its unit: the largest one since the last call, or nothing when no audio
    // was processed since then.
    virtual std::optional<double> takeMeterReading(int index) = 0;
    // Asks the host to make the editor's window this large (after a change of scale); false when it cannot.
    virtual bool requestResize(int width, int height) = 0;
};
