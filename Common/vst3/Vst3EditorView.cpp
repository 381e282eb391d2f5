#include "Common/vst3/Vst3EditorView.h"

#include "Common/vst3/MusicPluginVst3Adaptor.h"
#include "Common/window/EditorWindow.h"

#include <cstring>

using namespace vst3;

namespace
{
constexpr std::uint64_t idleMilliseconds = 33;

#if defined(_WIN32)
constexpr const char* platformType = kPlatformTypeHWND;
#else
constexpr const char* platformType = kPlatformTypeX11EmbedWindowID;
#endif
} // namespace

Vst3EditorView::Vst3EditorView(MusicPluginVst3Adaptor& adaptor, EditorFactory makeEditor)
    : adaptor(adaptor), makeEditor_(makeEditor)
{
    adaptor.addRef();
}

Vst3EditorView::~Vst3EditorView()
{
    detach();
    editor.reset();
    adaptor.release();
}

tresult Vst3EditorView::queryInterface(const TUID iid, void** obj)
{
    if (obj == nullptr) return kInvalidArgument;
    *obj = nullptr;
    if (iid == nullptr) return kInvalidArgument;
    if (FUnknown::iid.matches(iid) || IPlugView::iid.matches(iid)) *obj = static_cast<IPlugView*>(this);
#if !defined(_WIN32)
    else if (ITimerHandler::iid.matches(iid))
        *obj = static_cast<ITimerHandler*>(this);
#endif
    else
        return kNoInterface;
    addRef();
    return kResultOk;
}

std::uint32_t Vst3EditorView::addRef()
{
    return references.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint32_t Vst3EditorView::release()
{
    const std::uint32_t left = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

bool Vst3EditorView::makeEditor()
{
    if (editor == nullptr && makeEditor_ != nullptr) {
        try {
            editor = makeEditor_(*this);
        } catch (...) {
            return false;
        }
    }
    return editor != nullptr;
}

tresult Vst3EditorView::isPlatformTypeSupported(FIDString type)
{
    return type != nullptr && std::strcmp(type, platformType) == 0 ? kResultTrue : kResultFalse;
}

tresult Vst3EditorView::attached(void* parent, FIDString type)
{
    if (parent == nullptr || isPlatformTypeSupported(type) != kResultTrue || !makeEditor())
        return kResultFalse;
    try {
        detach();
#if !defined(_WIN32)
        // Linux has no common event loop: without the host's there is nothing to idle the editor.
        void* loop = nullptr;
        if (frame == nullptr || frame->queryInterface(IRunLoop::iid.bytes, &loop) != kResultOk ||
            loop == nullptr)
            return kResultFalse;
        runLoop = static_cast<IRunLoop*>(loop);
#endif
        window = EditorWindow::open(*editor, parent);
        if (window == nullptr) {
            detach();
            return kResultFalse;
        }
#if !defined(_WIN32)
        runLoop->registerTimer(this, idleMilliseconds);
#endif
        adaptor.meterFeed().setWanted(true);
        return kResultOk;
    } catch (...) {
        detach();
        return kResultFalse;
    }
}

tresult Vst3EditorView::removed()
{
    detach();
    return kResultOk;
}

void Vst3EditorView::detach()
{
    adaptor.meterFeed().setWanted(false);
#if !defined(_WIN32)
    if (runLoop != nullptr) {
        runLoop->unregisterTimer(this);
        runLoop->release();
        runLoop = nullptr;
    }
#endif
    window.reset();
}

#if !defined(_WIN32)
void Vst3EditorView::onTimer()
{
    try {
        if (window != nullptr) window->idle();
    } catch (...) {
        // Nothing leaves through the host's run loop.
    }
}
#endif

tresult Vst3EditorView::onWheel(float)
{
    return kResultFalse;
}

tresult Vst3EditorView::onKeyDown(char16_t, std::int16_t, std::int16_t)
{
    return kResultFalse;
}

tresult Vst3EditorView::onKeyUp(char16_t, std::int16_t, std::int16_t)
{
    return kResultFalse;
}

tresult Vst3EditorView::getSize(ViewRect* size)
{
    if (size == nullptr || !makeEditor()) return kInvalidArgument;
    *size = ViewRect{0, 0, editor->width(), editor->height()};
    return kResultOk;
}

tresult Vst3EditorView::onSize(ViewRect* newSize)
{
    // The editor keeps the size of its scale; the host learns it through resizeView and getSize.
    if (newSize == nullptr || !makeEditor()) return kInvalidArgument;
    return newSize->right - newSize->left == editor->width() &&
                   newSize->bottom - newSize->top == editor->height()
               ? kResultTrue
               : kResultFalse;
}

tresult Vst3EditorView::onFocus(TBool)
{
    return kResultOk;
}

tresult Vst3EditorView::setFrame(IPlugFrame* newFrame)
{
    // The host's frame outlives the view's attachment; it is not referenced.
    frame = newFrame;
    return kResultOk;
}

tresult Vst3EditorView::canResize()
{
    return kResultFalse;
}

tresult Vst3EditorView::checkSizeConstraint(ViewRect* rect)
{
    if (rect == nullptr || !makeEditor()) return kInvalidArgument;
    rect->right = rect->left + editor->width();
    rect->bottom = rect->top + editor->height();
    return kResultTrue;
}

// --- what the editor asks of the host ---

void Vst3EditorView::beginEdit(int index)
{
    if (IComponentHandler* handler = adaptor.componentHandler())
        handler->beginEdit(static_cast<ParamID>(index));
}

void Vst3EditorView::performEdit(int index, double knobPos)
{
    // The controller's value first, as hosts read it back right after the edit.
    adaptor.setParamNormalized(static_cast<ParamID>(index), knobPos);
    if (IComponentHandler* handler = adaptor.componentHandler())
        handler->performEdit(static_cast<ParamID>(index), knobPos);
}

void Vst3EditorView::endEdit(int index)
{
    if (IComponentHandler* handler = adaptor.componentHandler())
        handler->endEdit(static_cast<ParamID>(index));
}

double Vst3EditorView::knobPosition(int index)
{
    return adaptor.getParamNormalized(static_cast<ParamID>(index));
}

std::optional<double> Vst3EditorView::takeMeterReading(int index)
{
    return adaptor.meterFeed().take(index);
}

bool Vst3EditorView::requestResize(int width, int height)
{
    if (frame == nullptr) return false;
    ViewRect rect{0, 0, width, height};
    return frame->resizeView(this, &rect) == kResultTrue;
}
