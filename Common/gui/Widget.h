#pragma once
// A rectangle of the editor that paints itself and may take the mouse. Widgets mark themselves dirty when
// what they show changes; the editor repaints only dirty widgets.

#include "Common/gui/Canvas.h"
#include "Common/gui/Style.h"

struct MouseEvent
{
    int x;
    int y;
    bool fine;        // Shift or Ctrl held: small steps
    bool doubleClick; // the second press of a double click
};

class Widget
{
public:
    Widget() = default;
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;
    virtual ~Widget() = default;

    const Rect& bounds() const { return bounds_; }
    void setBounds(const Rect& bounds)
    {
        bounds_ = bounds;
        dirty_ = true;
    }
    bool dirty() const { return dirty_; }
    void markDirty() { dirty_ = true; }
    void markClean() { dirty_ = false; }

    // Paints the whole bounds (the canvas is clipped to them).
    virtual void paint(Canvas& canvas, const Style& style) = 0;
    // A press the widget takes (true) sends it the drags and the release that follow.
    virtual bool mouseDown(const MouseEvent&) { return false; }
    virtual void mouseDrag(const MouseEvent&) {}
    virtual void mouseUp(const MouseEvent&) {}
    // steps > 0 for the wheel turned up; true when taken.
    virtual bool wheel(const MouseEvent&, int) { return false; }

private:
    Rect bounds_;
    bool dirty_ = true;
};
