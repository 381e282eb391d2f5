#pragma once
// The editor's size switch: 100 %, 150 % and 200 %, the current one lit.

#include "Common/gui/Widget.h"

#include <functional>

class ScaleSwitch : public Widget
{
public:
    // choose is called with the scale clicked; current tells the one in use.
    ScaleSwitch(std::function<void(int)> choose, std::function<int()> current);

    void paint(Canvas& canvas, const Style& style) override;
    bool mouseDown(const MouseEvent& event) override;

private:
    Rect segment(int index) const;

    std::function<void(int)> choose_;
    std::function<int()> current_;
};
