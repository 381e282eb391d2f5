#include "Common/window/Win32EditorWindow.h"

#include "Common/gui/Editor.h"

#include <windowsx.h>

#include <chrono>
#include <cstdio>

namespace
{
constexpr UINT_PTR timerId = 1;
constexpr UINT timerMilliseconds = 33;

double nowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// This module's instance: the class belongs to it, so two copies of the plug-in never share a class.
HINSTANCE moduleInstance()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&moduleInstance), &module);
    return module;
}

// The class name carries the module's address as well, for hosts that look classes up by name alone.
const char* className()
{
    static char name[64] = {};
    if (name[0] == '\0')
        std::snprintf(name, sizeof name, "ZaRorurarozeEditor%p", static_cast<void*>(moduleInstance()));
    return name;
}

int openWindows = 0;
} // namespace

std::unique_ptr<EditorWindow> EditorWindow::open(Editor& editor, void* parent)
{
    return Win32EditorWindow::open(editor, static_cast<HWND>(parent));
}

std::unique_ptr<EditorWindow> Win32EditorWindow::open(Editor& editor, HWND parent)
{
    if (parent == nullptr || !IsWindow(parent)) return nullptr;
    const HINSTANCE instance = moduleInstance();
    if (openWindows == 0) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &Win32EditorWindow::windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = className();
        // An earlier instance may have left it registered; that one serves as well.
        if (RegisterClassExA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return nullptr;
    }
    std::unique_ptr<Win32EditorWindow> window(new Win32EditorWindow(editor));
    editor.idle(nowSeconds());
    window->width_ = editor.width();
    window->height_ = editor.height();
    ++openWindows;
    window->window_ = CreateWindowExA(0, className(), "", WS_CHILD | WS_VISIBLE, 0, 0, window->width_,
                                      window->height_, parent, nullptr, instance, window.get());
    if (window->window_ == nullptr) return nullptr;
    SetTimer(window->window_, timerId, timerMilliseconds, nullptr);
    editor.invalidate();
    return window;
}

Win32EditorWindow::~Win32EditorWindow()
{
    if (window_ != nullptr) {
        KillTimer(window_, timerId);
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (--openWindows == 0) UnregisterClassA(className(), moduleInstance());
}

void Win32EditorWindow::idle()
{
    if (window_ == nullptr || !editor_.idle(nowSeconds())) return;
    followCanvasSize();
    // The canvas is painted here; WM_PAINT only blits the areas.
    for (const Rect& r : editor_.paint()) {
        const RECT area{r.x, r.y, r.right(), r.bottom()};
        InvalidateRect(window_, &area, FALSE);
    }
    UpdateWindow(window_);
}

void Win32EditorWindow::setVisible(bool visible)
{
    if (window_ != nullptr) ShowWindow(window_, visible ? SW_SHOW : SW_HIDE);
}

void Win32EditorWindow::followCanvasSize()
{
    if (editor_.width() == width_ && editor_.height() == height_) return;
    width_ = editor_.width();
    height_ = editor_.height();
    SetWindowPos(window_, nullptr, 0, 0, width_, height_, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    editor_.invalidate();
}

LRESULT CALLBACK Win32EditorWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        // The first message: CreateWindowEx has not returned the handle yet.
        auto* creating =
            static_cast<Win32EditorWindow*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        creating->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creating));
    }
    auto* self = reinterpret_cast<Win32EditorWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    // Nothing may leave through the host's message loop as an exception.
    try {
        return self->handle(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT Win32EditorWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool fine = (wParam & (MK_SHIFT | MK_CONTROL)) != 0;
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    switch (message) {
    case WM_TIMER:
        idle();
        return 0;
    case WM_PAINT: {
        // Normally nothing is left to paint; the first WM_PAINT paints everything.
        const std::vector<Rect> painted = editor_.paint();
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window_, &paint);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = editor_.width();
        info.bmiHeader.biHeight = -editor_.height(); // top-down, as the canvas's rows are
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        const RECT& r = paint.rcPaint;
        SetDIBitsToDevice(dc, r.left, r.top, static_cast<DWORD>(r.right - r.left),
                          static_cast<DWORD>(r.bottom - r.top), r.left, editor_.height() - r.bottom, 0,
                          static_cast<UINT>(editor_.height()), editor_.canvas().pixels(), &info,
                          DIB_RGB_COLORS);
        EndPaint(window_, &paint);
        for (const Rect& p : painted) {
            const RECT area{p.x, p.y, p.right(), p.bottom()};
            InvalidateRect(window_, &area, FALSE);
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(window_);
        mouseDown_ = true;
        editor_.mouseDown(MouseEvent{x, y, fine, message == WM_LBUTTONDBLCLK});
        return 0;
    case WM_MOUSEMOVE:
        if (mouseDown_) editor_.mouseMove(MouseEvent{x, y, fine, false});
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (mouseDown_) {
            mouseDown_ = false;
            if (message == WM_LBUTTONUP) ReleaseCapture();
            editor_.mouseUp(MouseEvent{x, y, fine, false});
        }
        return 0;
    case WM_MOUSEWHEEL: {
        POINT at{x, y};
        ScreenToClient(window_, &at);
        const bool wheelFine = (GET_KEYSTATE_WPARAM(wParam) & (MK_SHIFT | MK_CONTROL)) != 0;
        editor_.wheel(MouseEvent{at.x, at.y, wheelFine, false}, GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? 1 : -1);
        return 0;
    }
    case WM_DESTROY:
        // With the host's window: this object may live on until the host closes the editor.
        KillTimer(window_, timerId);
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        window_ = nullptr;
        return 0;
    default:
        return DefWindowProcA(window_, message, wParam, lParam);
    }
}
