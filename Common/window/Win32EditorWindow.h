#pragma once
// The editor's window on Windows: a child of the host's window, of a window class registered on this
// module's instance under a name no other plug-in uses, with its own timer, and the canvas blitted by
// SetDIBitsToDevice. When the host destroys its window first, ours goes with it and is not touched again.

#include "Common/window/EditorWindow.h"

#include <windows.h>

class Win32EditorWindow : public EditorWindow
{
public:
    static std::unique_ptr<EditorWindow> open(Editor& editor, HWND parent);
    ~Win32EditorWindow() override;

    void idle() override;
    void setVisible(bool visible) override;
    void* nativeHandle() const override { return window_; }

private:
    explicit Win32EditorWindow(Editor& editor) : editor_(editor) {}
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void followCanvasSize();

    Editor& editor_;
    HWND window_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool mouseDown_ = false;
};
