#include "Common/musicplugin/MusicPluginVstEditor.h"

#include "Common/musicplugin/MeterFeed.h"
#include "Common/musicplugin/MusicPluginVstAdaptor.h"
#include "Common/window/EditorWindow.h"

#include <cstdint>

MusicPluginVstEditor::MusicPluginVstEditor(MusicPluginVstAdaptor& effect, EditorFactory makeEditor)
    : effect_(effect), makeEditor_(makeEditor)
{}

MusicPluginVstEditor::~MusicPluginVstEditor()
{
    close();
}

bool MusicPluginVstEditor::makeEditor()
{
    if (editor_ == nullptr && makeEditor_ != nullptr) editor_ = makeEditor_(*this);
    return editor_ != nullptr;
}

bool MusicPluginVstEditor::getRect(ERect** rect)
{
    if (rect == nullptr || !makeEditor()) return false;
    rect_.top = 0;
    rect_.left = 0;
    rect_.bottom = static_cast<short>(editor_->height());
    rect_.right = static_cast<short>(editor_->width());
    *rect = &rect_;
    return true;
}

bool MusicPluginVstEditor::open(void* parentWindow)
{
    close();
    if (!makeEditor()) return false;
    window_ = EditorWindow::open(*editor_, parentWindow);
    if (window_ == nullptr) return false;
    effect_.meterFeed().setWanted(true);
    return true;
}

void MusicPluginVstEditor::close()
{
    if (window_ == nullptr) return;
    effect_.meterFeed().setWanted(false);
    window_.reset();
}

void MusicPluginVstEditor::idle()
{
    if (window_ != nullptr) window_->idle();
}

void MusicPluginVstEditor::beginEdit(int index)
{
    effect_.beginEdit(index);
}

void MusicPluginVstEditor::performEdit(int index, double knobPos)
{
    effect_.setParameterAutomated(index, static_cast<float>(knobPos));
}

void MusicPluginVstEditor::endEdit(int index)
{
    effect_.endEdit(index);
}

double MusicPluginVstEditor::knobPosition(int index)
{
    return effect_.getParameter(index);
}

std::optional<double> MusicPluginVstEditor::takeMeterReading(int index)
{
    return effect_.meterFeed().take(index);
}

bool MusicPluginVstEditor::requestResize(int width, int height)
{
    return window_ != nullptr && effect_.sizeWindow(width, height);
}
