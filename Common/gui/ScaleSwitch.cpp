#include "Common/gui/ScaleSwitch.h"

#include "Common/gui/Editor.h"

#include <iterator>
#include <string>
#include <utility>

ScaleSwitch::ScaleSwitch(std::function<void(int)> choose, std::function<int()> current)
    : choose_(std::move(choose)), current_(std::move(current))
{}

Rect ScaleSwitch::segment(int index) const
{
    const Rect& b = bounds();
    const int count = static_cast<int>(std::size(Editor::scales));
    const int left = b.x + b.width * index / count;
    return Rect{left, b.y, b.x + b.width * (index + 1) / count - left, b.height};
}

void ScaleSwitch::paint(Canvas& canvas, const Style& style)
{
    canvas.fill(bounds(), Style::background);
    for (int i = 0; i < static_cast<int>(std::size(Editor::scales)); ++i) {
        const Rect s = segment(i);
        const bool lit = Editor::scales[i] == current_();
        canvas.fill(Rect{s.x + 1, s.y, s.width - 2, s.height}, lit ? Style::accent : Style::panel);
        canvas.text(s.x + s.width / 2.0, s.y + s.height / 2 + style.text.ascent() / 2 - style.px(1),
                    std::to_string(Editor::scales[i]) + " %", style.text,
                    lit ? Style::background : Style::dimText, Canvas::Align::centre);
    }
}

bool ScaleSwitch::mouseDown(const MouseEvent& event)
{
    for (int i = 0; i < static_cast<int>(std::size(Editor::scales)); ++i)
        if (segment(i).contains(event.x, event.y)) {
            choose_(Editor::scales[i]);
            break;
        }
    return false;
}
