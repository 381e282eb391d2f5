#pragma once
// The platform-free part of a plug-in's editor: a canvas at one of three scales, the widgets on it, the
// mouse routed to them, and repainting of only what changed. A window (X11 or Win32) shows the canvas and
// feeds it the mouse; a format bridge is its EditorHost. Everything runs on the host's GUI thread.

#include "Common/gui/Canvas.h"
#include "Common/gui/EditorHost.h"
#include "Common/gui/Style.h"
#include "Common/gui/Widget.h"

#include <memory>
#include <optional>
#include <vector>

class Editor
{
public:
    static constexpr int scales[] = {100, 150, 200};

    Editor(EditorHost& host, int baseWidth, int baseHeight);
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;
    virtual ~Editor();

    // The size at a scale, before any editor exists (a host may ask before it opens the window).
    static int scaled(int basePixels, int scalePercent);
    // The scale new editors start at: the last one chosen in this process.
    static int sessionScale();

    int scalePercent() const { return static_cast<int>(style_->scale * 100.0 + 0.5); }
    // Lays the widgets out anew, repaints all and asks the host for the new window size.
    void setScale(int scalePercent);
    int width() const { return canvas_.width(); }
    int height() const { return canvas_.height(); }
    const Canvas& canvas() const { return canvas_; }
    const Style& style() const { return *style_; }

    // Takes the host's values and meters (nowSeconds on a steady clock); true when something must be
    // repainted.
    bool idle(double nowSeconds);
    // Repaints what changed into the canvas; the areas to show anew (none when nothing changed).
    std::vector<Rect> paint();
    // Everything is repainted on the next paint (the window was exposed or resized).
    void invalidate() { repaintAll_ = true; }

    void mouseDown(const MouseEvent& event);
    void mouseMove(const MouseEvent& event);
    void mouseUp(const MouseEvent& event);
    void wheel(const MouseEvent& event, int steps);

protected:
    // The widgets' places at a scale.
    virtual void layout(const Style& style) = 0;
    // What lies under and between the widgets (titles, frames), painted on a full repaint.
    virtual void paintBackground(Canvas& canvas, const Style& style) = 0;
    // Brings every widget up to date with the host.
    virtual void update(double nowSeconds) = 0;

    // The editor owns its widgets; they are painted in the order added.
    template <typename W> W* add(std::unique_ptr<W> widget)
    {
        W* w = widget.get();
        widgets_.push_back(std::move(widget));
        return w;
    }
    EditorHost& host() { return host_; }

private:
    Widget* widgetAt(int x, int y) const;

    EditorHost& host_;
    int baseWidth_;
    int baseHeight_;
    std::optional<Style> style_; // it holds references: replaced by emplace
    Canvas canvas_;
    std::vector<std::unique_ptr<Widget>> widgets_;
    Widget* captured_ = nullptr;
    bool repaintAll_ = true;
    bool laidOut_ = false;
};
