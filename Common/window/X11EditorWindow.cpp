#include "Common/window/X11EditorWindow.h"

#include "Common/gui/Editor.h"

#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace
{
// The second press of a double click comes within this time and distance of the first.
constexpr Time doubleClickMilliseconds = 400;
constexpr int doubleClickPixels = 4;

double nowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The connection whose errors the trap swallows, and the handler it stands in for.
Display* trappedDisplay = nullptr;
bool trappedError = false;
XErrorHandler hostHandler = nullptr;

int swallowError(Display* display, XErrorEvent* error)
{
    if (display == trappedDisplay) {
        trappedError = true;
        return 0;
    }
    return hostHandler != nullptr ? hostHandler(display, error) : 0;
}

// Our handler for the lifetime of one batch of requests, which it waits for before giving the host's back.
class ErrorTrap
{
public:
    explicit ErrorTrap(Display* display) : display_(display)
    {
        trappedDisplay = display;
        trappedError = false;
        hostHandler = XSetErrorHandler(&swallowError);
    }
    ~ErrorTrap()
    {
        XSync(display_, False);
        XSetErrorHandler(hostHandler);
        trappedDisplay = nullptr;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // Whether a request of the batch failed (after a sync).
    bool failed()
    {
        XSync(display_, False);
        return trappedError;
    }

private:
    Display* display_;
};
} // namespace

std::unique_ptr<EditorWindow> EditorWindow::open(Editor& editor, void* parent)
{
    return X11EditorWindow::open(editor, static_cast<::Window>(reinterpret_cast<std::uintptr_t>(parent)));
}

std::unique_ptr<EditorWindow> X11EditorWindow::open(Editor& editor, ::Window parent)
{
    if (parent == 0) return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return nullptr;
    std::unique_ptr<X11EditorWindow> window(new X11EditorWindow(editor, display));
    if (!window->create(parent)) return nullptr;
    return window;
}

X11EditorWindow::X11EditorWindow(Editor& editor, Display* display) : editor_(editor), display_(display) {}

bool X11EditorWindow::create(::Window parent)
{
    const int screen = DefaultScreen(display_);
    visual_ = DefaultVisual(display_, screen);
    // The canvas's pixels are 0x00RRGGBB words: they need a 24-bit true-colour visual with those masks.
    if (DefaultDepth(display_, screen) != 24 || visual_->red_mask != 0xFF0000 ||
        visual_->green_mask != 0x00FF00 || visual_->blue_mask != 0x0000FF)
        return false;
    editor_.idle(nowSeconds());
    width_ = editor_.width();
    height_ = editor_.height();
    ErrorTrap trap(display_);
    XSetWindowAttributes attributes{};
    // A visual and colormap of our own, so a parent with another visual (a 32-bit one, say) still takes us.
    attributes.colormap = DefaultColormap(display_, screen);
    attributes.border_pixel = 0;
    attributes.background_pixel = 0;
    attributes.event_mask =
        ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | StructureNotifyMask;
    window_ = XCreateWindow(display_, parent, 0, 0, static_cast<unsigned>(width_),
                            static_cast<unsigned>(height_), 0, 24, InputOutput, visual_,
                            CWColormap | CWBorderPixel | CWBackPixel | CWEventMask, &attributes);
    gc_ = XCreateGC(display_, window_, 0, nullptr);
    XMapWindow(display_, window_);
    if (trap.failed()) return false;
    alive_ = true;
    makeImage();
    editor_.invalidate();
    return true;
}

X11EditorWindow::~X11EditorWindow()
{
    {
        ErrorTrap trap(display_);
        // The window may be gone with the host's: drain what the server said before deciding.
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == DestroyNotify && event.xdestroywindow.window == window_) alive_ = false;
        }
        dropImage();
        if (gc_ != nullptr) XFreeGC(display_, gc_);
        if (alive_) XDestroyWindow(display_, window_);
    }
    XCloseDisplay(display_);
}

void* X11EditorWindow::nativeHandle() const
{
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_));
}

void X11EditorWindow::makeImage()
{
    dropImage();
    // XPutImage reads the canvas in place; the image only describes it.
    image_ = XCreateImage(display_, visual_, 24, ZPixmap, 0,
                          reinterpret_cast<char*>(const_cast<std::uint32_t*>(editor_.canvas().pixels())),
                          static_cast<unsigned>(editor_.width()), static_cast<unsigned>(editor_.height()), 32,
                          editor_.width() * 4);
    if (image_ != nullptr) {
        // The words as this machine stores them; Xlib swaps for a server of the other order.
        const std::uint32_t probe = 1;
        image_->byte_order = *reinterpret_cast<const unsigned char*>(&probe) == 1 ? LSBFirst : MSBFirst;
    }
}

void X11EditorWindow::dropImage()
{
    if (image_ == nullptr) return;
    image_->data = nullptr; // the canvas owns the pixels
    XDestroyImage(image_);
    image_ = nullptr;
}

void X11EditorWindow::followCanvasSize()
{
    if (editor_.width() == width_ && editor_.height() == height_ && image_ != nullptr &&
        image_->data == reinterpret_cast<const char*>(editor_.canvas().pixels()))
        return;
    width_ = editor_.width();
    height_ = editor_.height();
    makeImage();
    if (!alive_) return;
    ErrorTrap trap(display_);
    XResizeWindow(display_, window_, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    editor_.invalidate();
}

void X11EditorWindow::idle()
{
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        handle(event);
    }
    if (!alive_) return;
    if (editor_.idle(nowSeconds())) repaint();
}

void X11EditorWindow::setVisible(bool visible)
{
    if (!alive_) return;
    ErrorTrap trap(display_);
    if (visible)
        XMapWindow(display_, window_);
    else
        XUnmapWindow(display_, window_);
}

void X11EditorWindow::repaint()
{
    followCanvasSize();
    const std::vector<Rect> areas = editor_.paint();
    if (areas.empty() || image_ == nullptr || !alive_) return;
    ErrorTrap trap(display_);
    for (const Rect& r : areas)
        XPutImage(display_, window_, gc_, image_, r.x, r.y, r.x, r.y, static_cast<unsigned>(r.width),
                  static_cast<unsigned>(r.height));
}

void X11EditorWindow::handle(const XEvent& event)
{
    if (event.xany.window != window_) return;
    const auto mouse = [&](int x, int y, unsigned state, bool doubleClick) {
        return MouseEvent{x, y, (state & (ShiftMask | ControlMask)) != 0, doubleClick};
    };
    switch (event.type) {
    case Expose:
        if (event.xexpose.count == 0) editor_.invalidate();
        break;
    case ButtonPress: {
        const XButtonEvent& b = event.xbutton;
        if (b.button == Button1) {
            const bool doubleClick = b.time - lastPressTime_ < doubleClickMilliseconds &&
                                     std::abs(b.x - lastPressX_) <= doubleClickPixels &&
                                     std::abs(b.y - lastPressY_) <= doubleClickPixels;
            // A third press starts a new pair rather than making another double click.
            lastPressTime_ = doubleClick ? 0 : b.time;
            lastPressX_ = b.x;
            lastPressY_ = b.y;
            editor_.mouseDown(mouse(b.x, b.y, b.state, doubleClick));
        } else if (b.button == Button4 || b.button == Button5) {
            editor_.wheel(mouse(b.x, b.y, b.state, false), b.button == Button4 ? 1 : -1);
        }
        break;
    }
    case MotionNotify:
        editor_.mouseMove(mouse(event.xmotion.x, event.xmotion.y, event.xmotion.state, false));
        break;
    case ButtonRelease:
        if (event.xbutton.button == Button1)
            editor_.mouseUp(mouse(event.xbutton.x, event.xbutton.y, event.xbutton.state, false));
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == window_) alive_ = false;
        break;
    default:
        break;
    }
}
