#pragma once
// The editor window an effect may own. The effect base forwards the host's editor opcodes to it when one
// is attached and deletes it with the effect; this plug-in attaches none.

#include "Common/vst/VstInterface.h"

class AEffEditor
{
public:
    AEffEditor() = default;
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;
    virtual ~AEffEditor() = default;

    // Points *rect at the editor's rectangle, which stays owned by the editor.
    virtual bool getRect(ERect** rect) = 0;
    // parentWindow is the host's native window handle.
    virtual bool open(void* parentWindow) = 0;
    virtual void close() = 0;
    virtual void idle() = 0;
    // Answer true when the key was used, so the host does not handle it as well.
    virtual bool onKeyDown(VstKeyCode& keyCode) = 0;
    virtual bool onKeyUp(VstKeyCode& keyCode) = 0;
    virtual bool setKnobMode(VstInt32 mode) = 0;
};
