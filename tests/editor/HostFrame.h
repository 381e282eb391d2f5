#pragma once
// The frame window a test host gives a plug-in's editor as its parent (X11, or Win32 under wine). Shared by
// the VST 2 and the CLAP editor hosts; header-only.

#if defined(_WIN32)
#include <windows.h>
#else
#include <X11/Xlib.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
class HostFrame
{
public:
    HostFrame(int x, int y, int width, int height)
    {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "EditorHostFrame";
        RegisterClassA(&windowClass);
        RECT r{0, 0, width, height};
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        window_ = CreateWindowA("EditorHostFrame", "editor host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr, windowClass.hInstance,
                                nullptr);
    }
    void* handle() const { return window_; }
    std::uintptr_t id() const { return reinterpret_cast<std::uintptr_t>(window_); }
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
    void resize(int width, int height)
    {
        RECT r{0, 0, width, height};
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        SetWindowPos(window_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
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
#else
class HostFrame
{
public:
    HostFrame(int x, int y, int width, int height) : display_(XOpenDisplay(nullptr))
    {
        if (display_ == nullptr) {
            std::fprintf(stderr, "editor host: no display\n");
            std::exit(1);
        }
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), x, y,
                                      static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0, 0);
        XMapWindow(display_, window_);
        XSync(display_, False);
    }
    ~HostFrame() { XCloseDisplay(display_); }
    HostFrame(const HostFrame&) = delete;
    HostFrame& operator=(const HostFrame&) = delete;
    void* handle() const { return reinterpret_cast<void*>(window_); }
    std::uintptr_t id() const { return window_; }
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
    void resize(int width, int height)
    {
        XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
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
#endif
