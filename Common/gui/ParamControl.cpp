#include "Common/gui/ParamControl.h"

#include "Common/musicplugin/Param.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double pi = 3.14159265358979323846;
constexpr double travel = 0.75 * pi; // each way from 12 o'clock
} // namespace

ParamControl::ParamControl(EditorHost& host, Param& model, int index, Kind kind)
    : host_(host), model_(model), index_(index), kind_(kind), knobPos_(model.getKnobPos()),
      defaultPos_(model.getKnobPos()), text_(model.getDisplayValue())
{}

double ParamControl::pointerAngle(double knobPos)
{
    return (std::clamp(knobPos, 0.0, 1.0) * 2.0 - 1.0) * travel;
}

Point ParamControl::centre(const Style& style) const
{
    const Rect& b = bounds();
    return Point{b.x + b.width / 2.0, static_cast<double>(b.y + style.px(46))};
}

double ParamControl::show(double knobPos)
{
    knobPos = std::clamp(knobPos, 0.0, 1.0);
    model_.setKnobPos(kind_ == Kind::toggle ? (knobPos >= 0.5 ? 1.0 : 0.0) : knobPos);
    const double landed = model_.getKnobPos();
    std::string text = model_.getDisplayValue();
    if (landed != knobPos_ || text != text_) markDirty();
    knobPos_ = landed;
    text_ = std::move(text);
    return landed;
}

void ParamControl::follow(double knobPos)
{
    if (dragging_ || !(knobPos == knobPos)) return;
    // A VST 2 host keeps the position as a float: what it hands back rounded is still ours, and going
    // through the knob law again could turn an exact 0 dB into "-0.0".
    if (static_cast<float>(knobPos) != static_cast<float>(knobPos_)) show(knobPos);
}

void ParamControl::gesture(double knobPos)
{
    host_.beginEdit(index_);
    host_.performEdit(index_, show(knobPos));
    host_.endEdit(index_);
}

bool ParamControl::mouseDown(const MouseEvent& event)
{
    if (kind_ == Kind::toggle) {
        gesture(knobPos_ >= 0.5 ? 0.0 : 1.0);
        return false;
    }
    if (event.doubleClick) {
        gesture(defaultPos_);
        return false;
    }
    dragging_ = true;
    dragStartPos_ = knobPos_;
    dragStartY_ = event.y;
    dragFine_ = event.fine;
    // The gesture begins with the first move, so a click that moves nothing sends nothing.
    gestureBegun_ = false;
    return true;
}

void ParamControl::mouseDrag(const MouseEvent& event)
{
    if (!dragging_) return;
    if (event.fine != dragFine_) {
        // Changing speed mid-drag restarts from where the knob is, so it does not jump.
        dragStartPos_ = knobPos_;
        dragStartY_ = event.y;
        dragFine_ = event.fine;
    }
    const double range = pixelsPerRange_ / (dragFine_ ? fineFactor : 1.0);
    const double target = std::clamp(dragStartPos_ + (dragStartY_ - event.y) / range, 0.0, 1.0);
    if (target == knobPos_) return; // at an end of the range: nothing new to send
    const double before = knobPos_;
    const double landed = show(target);
    if (landed == before) return;
    if (!gestureBegun_) host_.beginEdit(index_);
    gestureBegun_ = true;
    host_.performEdit(index_, landed);
}

void ParamControl::mouseUp(const MouseEvent&)
{
    if (!dragging_) return;
    dragging_ = false;
    if (gestureBegun_) host_.endEdit(index_);
    gestureBegun_ = false;
}

bool ParamControl::wheel(const MouseEvent& event, int steps)
{
    if (dragging_ || steps == 0) return dragging_;
    const double step = kind_ == Kind::toggle ? 1.0 : wheelStep * (event.fine ? fineFactor : 1.0);
    const double target = std::clamp(knobPos_ + steps * step, 0.0, 1.0);
    if (target != knobPos_) gesture(target);
    return true;
}

void ParamControl::paint(Canvas& canvas, const Style& style)
{
    pixelsPerRange_ = style.scale * dragPixels;
    const Rect& b = bounds();
    canvas.fill(b, Style::background);
    const double middle = b.x + b.width / 2.0;
    canvas.text(middle, b.y + style.px(14), model_.getDisplayName(), style.text, Style::dimText,
                Canvas::Align::centre);
    const Point c = centre(style);
    if (kind_ == Kind::knob) {
        const double radius = style.px(knobRadius);
        const double track = radius + style.px(4);
        canvas.arc(c.x, c.y, track, -travel, travel, style.scale * 3.0, Style::knobTrack);
        if (knobPos_ > 0.0)
            canvas.arc(c.x, c.y, track, -travel, pointerAngle(knobPos_), style.scale * 3.0, Style::accent);
        canvas.disc(c.x, c.y, radius, Style::knobBody);
        const double angle = pointerAngle(knobPos_);
        const double sine = std::sin(angle);
        const double cosine = std::cos(angle);
        canvas.line(Point{c.x + 0.3 * radius * sine, c.y - 0.3 * radius * cosine},
                    Point{c.x + 0.85 * radius * sine, c.y - 0.85 * radius * cosine}, style.scale * 2.5,
                    Style::pointer);
    } else {
        const double halfWidth = style.px(17);
        const double height = style.px(18);
        const bool on = knobPos_ >= 0.5;
        canvas.line(Point{c.x - halfWidth + height / 2, c.y}, Point{c.x + halfWidth - height / 2, c.y},
                    height, on ? Style::accent : Style::knobBody);
        const double knob = c.x + (on ? 1.0 : -1.0) * (halfWidth - height / 2);
        canvas.disc(knob, c.y, height / 2 - style.px(3), on ? Style::pointer : Style::dimText);
    }
    std::string value = text_;
    const std::string label = model_.getDisplayLabel();
    if (kind_ == Kind::knob && !label.empty()) {
        // An SI prefix joins its unit ("200ms", "1.5kHz"); a number stands apart from it ("-6.0 dB").
        const char last = value.empty() ? ' ' : value.back();
        value += ((last >= 'a' && last <= 'z') || (last >= 'A' && last <= 'Z')) && last != 'o' ? label
                                                                                               : " " + label;
    }
    canvas.text(middle, b.y + style.px(90), value, style.text, Style::textColour, Canvas::Align::centre);
}
