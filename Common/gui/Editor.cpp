#include "Common/gui/Editor.h"

#include <algorithm>
#include <cmath>

namespace
{
// The scale chosen last in this process; new editors start there.
int chosenScale = 100;
} // namespace

Editor::Editor(EditorHost& host, int baseWidth, int baseHeight)
    : host_(host), baseWidth_(baseWidth), baseHeight_(baseHeight), style_(std::in_place, chosenScale),
      canvas_(scaled(baseWidth, chosenScale), scaled(baseHeight, chosenScale))
{}

Editor::~Editor() = default;

int Editor::scaled(int basePixels, int scalePercent)
{
    return static_cast<int>(std::lround(basePixels * (scalePercent / 100.0)));
}

int Editor::sessionScale()
{
    return chosenScale;
}

void Editor::setScale(int scalePercent)
{
    if (std::find(std::begin(scales), std::end(scales), scalePercent) == std::end(scales)) return;
    chosenScale = scalePercent;
    if (laidOut_ && scalePercent == this->scalePercent()) return;
    style_.emplace(scalePercent);
    canvas_.resize(scaled(baseWidth_, scalePercent), scaled(baseHeight_, scalePercent));
    layout(*style_);
    laidOut_ = true;
    repaintAll_ = true;
    host_.requestResize(canvas_.width(), canvas_.height());
}

bool Editor::idle(double nowSeconds)
{
    if (!laidOut_) {
        layout(*style_);
        laidOut_ = true;
    }
    update(nowSeconds);
    if (repaintAll_) return true;
    return std::any_of(widgets_.begin(), widgets_.end(), [](const auto& w) { return w->dirty(); });
}

std::vector<Rect> Editor::paint()
{
    if (!laidOut_) {
        layout(*style_);
        laidOut_ = true;
    }
    std::vector<Rect> areas;
    const Rect whole{0, 0, canvas_.width(), canvas_.height()};
    if (repaintAll_) {
        canvas_.setClip(whole);
        paintBackground(canvas_, *style_);
    }
    for (const auto& widget : widgets_) {
        if (!repaintAll_ && !widget->dirty()) continue;
        canvas_.setClip(widget->bounds());
        widget->paint(canvas_, *style_);
        widget->markClean();
        if (!repaintAll_) areas.push_back(widget->bounds().intersected(whole));
    }
    canvas_.setClip(whole);
    if (repaintAll_) areas.assign(1, whole);
    repaintAll_ = false;
    return areas;
}

Widget* Editor::widgetAt(int x, int y) const
{
    for (auto it = widgets_.rbegin(); it != widgets_.rend(); ++it)
        if ((*it)->bounds().contains(x, y)) return it->get();
    return nullptr;
}

void Editor::mouseDown(const MouseEvent& event)
{
    if (captured_ != nullptr) return;
    Widget* widget = widgetAt(event.x, event.y);
    if (widget != nullptr && widget->mouseDown(event)) captured_ = widget;
}

void Editor::mouseMove(const MouseEvent& event)
{
    if (captured_ != nullptr) captured_->mouseDrag(event);
}

void Editor::mouseUp(const MouseEvent& event)
{
    if (captured_ == nullptr) return;
    Widget* widget = captured_;
    captured_ = nullptr;
    widget->mouseUp(event);
}

void Editor::wheel(const MouseEvent& event, int steps)
{
    if (captured_ != nullptr) return;
    if (Widget* widget = widgetAt(event.x, event.y)) widget->wheel(event, steps);
}
