#pragma once
// The top-level window a test host gives a plug-in's editor as its parent (X11, or Win32 under wine), and
// the file test a script's cues use. Header-only: the VST 2 editor host and the VST 3 SDK-header host
// (built outside CMake) share it.

#if defined(_WIN32)
#include <windows.h>
#else
#include <X11/Xlib.h>
#include <sys/stat.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace hostframe
{
#if defined(_WIN32)
class Frame
{
public:
    Frame(int x, int y, int width, int height)
    {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "VstEditorHostFrame";
        RegisterClassA(&windowClass);
        RECT r{0, 0, width, height};
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        window_ = CreateWindowA("VstEditorHostFrame", "editor host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr, windowClass.hInstance,
                                nullptr);
    }
    void* handle() const { return window_; }
    void pump()
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    void destroy()
    {
        DestroyWindow(window_);
        pump();
    }
    void origin(int& x, int& y) const
    {
        POINT p{0, 0};
        ClientToScreen(window_, &p);
        x = p.x;
        y = p.y;
    }

private:
    HWND window_;
};

inline bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
#else
class Frame
{
public:
    Frame(int x, int y, int width, int height) : display_(XOpenDisplay(nullptr))
    {
        if (display_ == nullptr) {
            std::fprintf(stderr, "vst-editor-host: no display\n");
            std::exit(1);
        }
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), x, y,
                                      static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0, 0);
        XMapWindow(display_, window_);
        XSync(display_, False);
    }
    ~Frame() { XCloseDisplay(display_); }
    void* handle() const { return reinterpret_cast<void*>(window_); }
    void pump()
    {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
        }
    }
    void destroy()
    {
        XDestroyWindow(display_, window_);
        XSync(display_, False);
    }
    void origin(int& x, int& y) const
    {
        ::Window child;
        XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    }

private:
    Display* display_;
    ::Window window_ = 0;
};

inline bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}
#endif
} // namespace hostframe
