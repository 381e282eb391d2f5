#pragma once
// The window that shows an editor inside a host's window: X11 on Linux (X11EditorWindow), Win32 on Windows
// (Win32EditorWindow). One implementation is compiled per platform; the format bridges only see this.

#include <memory>

class Editor;

class EditorWindow
{
public:
    // A child of the host's native window: an X11 window id or an HWND, as the formats hand it over. Null
    // when there is no display to draw on or the parent is unusable; the plug-in then runs without one.
    static std::unique_ptr<EditorWindow> open(Editor& editor, void* parent);

    EditorWindow() = default;
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;
    // Closes the window, also when the host destroyed its parent first.
    virtual ~EditorWindow() = default;

    // From the host's GUI thread, some 30 times a second: handles the window's events, takes the host's
    // values and repaints what changed. (On Windows the window's own timer does this as well.)
    virtual void idle() = 0;
    // Hides the window or shows it again (a host may keep an editor it does not show); shown when opened.
    virtual void setVisible(bool visible) = 0;
    // The window's own id (X11) or handle (Win32).
    virtual void* nativeHandle() const = 0;
};
