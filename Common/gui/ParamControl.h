#pragma once
// A parameter's control: a knob that moves along the parameter's own knob law (the position the host sees
// is the knob's position), or a switch. It shows the parameter's name and the text its display writes, and
// turns the mouse into host gestures: a vertical drag (up raises, Shift or Ctrl for fine steps), a double
// click back to the default, the wheel in steps, a click on a switch; each is one gesture (begin, knob
// positions, end) on the parameter's index.

#include "Common/gui/EditorHost.h"
#include "Common/gui/Widget.h"

#include <string>

class Param;

class ParamControl : public Widget
{
public:
    enum class Kind
    {
        knob,
        toggle
    };

    // Base-layout pixels of vertical drag over the whole range; fine steps are a tenth.
    static constexpr double dragPixels = 200.0;
    static constexpr double fineFactor = 0.1;
    // Knob travel per wheel notch.
    static constexpr double wheelStep = 0.02;
    // Base-layout radius of the knob's body.
    static constexpr double knobRadius = 17.0;

    // model is the editor's own copy of the parameter, kept at the host's value: it writes the texts and
    // knows the default. Both must outlive the control.
    ParamControl(EditorHost& host, Param& model, int index, Kind kind);

    // GUI thread, every idle: the host's knob position. Ignored while the user drags this control: the host
    // echoes the gesture's values, late, and must not pull the knob back under the mouse.
    void follow(double knobPos);
    double knobPos() const { return knobPos_; }
    bool dragging() const { return dragging_; }
    int index() const { return index_; }

    // Radians clockwise from 12 o'clock: -135 degrees at 0, +135 at 1.
    static double pointerAngle(double knobPos);
    // The knob's centre (or the switch's) in the current layout.
    Point centre(const Style& style) const;

    void paint(Canvas& canvas, const Style& style) override;
    bool mouseDown(const MouseEvent& event) override;
    void mouseDrag(const MouseEvent& event) override;
    void mouseUp(const MouseEvent& event) override;
    bool wheel(const MouseEvent& event, int steps) override;

private:
    // Sets the model to knobPos and shows where it lands; the landing position, which is what the host
    // then holds too.
    double show(double knobPos);
    // A whole gesture of one step.
    void gesture(double knobPos);

    EditorHost& host_;
    Param& model_;
    int index_;
    Kind kind_;
    double knobPos_;
    double defaultPos_;
    std::string text_;
    bool dragging_ = false;
    double dragStartPos_ = 0.0;
    int dragStartY_ = 0;
    bool dragFine_ = false;
    bool gestureBegun_ = false;
    double pixelsPerRange_ = dragPixels;
};
