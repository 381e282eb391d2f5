#pragma once
// The editor's window on X11: a child of the host's window on the editor's own connection to the display
// (the host does not hand its own over), with the canvas blitted by XPutImage.
//
// A host may destroy its window, and with it ours, before it closes the editor. Xlib's default error
// handler ends the whole process on the error such a request then draws, and the handler is the process's,
// not the connection's: so a handler of ours is installed only around the editor's own requests, errors
// on our connection are swallowed there, and the host's handler is given back at once.

#include "Common/window/EditorWindow.h"

#include <X11/Xlib.h>

class X11EditorWindow : public EditorWindow
{
public:
    // Null without a display (no DISPLAY, no server), on a display whose default visual is not 24-bit
    // true colour, or when the parent does not exist.
    static std::unique_ptr<EditorWindow> open(Editor& editor, ::Window parent);
    ~X11EditorWindow() override;

    void idle() override;
    void setVisible(bool visible) override;
    void* nativeHandle() const override;

private:
    X11EditorWindow(Editor& editor, Display* display);
    bool create(::Window parent);
    void handle(const XEvent& event);
    void repaint();
    // Keeps the window and the image at the canvas's size (the scale may have changed).
    void followCanvasSize();
    void makeImage();
    void dropImage();

    Editor& editor_;
    Display* display_;
    ::Window window_ = 0;
    GC gc_ = nullptr;
    XImage* image_ = nullptr;
    Visual* visual_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    // False once the server destroyed our window (with the host's): nothing is drawn after that.
    bool alive_ = false;
    Time lastPressTime_ = 0;
    int lastPressX_ = -100;
    int lastPressY_ = -100;
};
