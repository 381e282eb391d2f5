#include "Common/lv2/MusicPluginLv2Ui.h"

#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/Param.h"
#include "Common/musicplugin/ParamValue.h"
#include "Common/window/EditorWindow.h"

#include <cmath>
#include <cstring>

namespace
{
using Ui = MusicPluginLv2Ui;

// The C callbacks: nothing leaves them as an exception.
LV2UI_Handle instantiate(const LV2UI_Descriptor* descriptor, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
    if (descriptor == nullptr || write == nullptr || widget == nullptr) return nullptr;
    try {
        auto ui = std::make_unique<Ui>(*reinterpret_cast<const Ui::Descriptor*>(descriptor), write,
                                       controller, features);
        if (!ui->open()) return nullptr;
        *widget = ui->widget();
        return ui.release();
    } catch (...) {
        return nullptr;
    }
}

void cleanup(LV2UI_Handle handle)
{
    delete static_cast<Ui*>(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t bufferSize, uint32_t format, const void* buffer)
{
    try {
        static_cast<Ui*>(handle)->portEvent(port, bufferSize, format, buffer);
    } catch (...) {}
}

int idle(LV2UI_Handle handle)
{
    try {
        return static_cast<Ui*>(handle)->idle();
    } catch (...) {
        return 0;
    }
}

const LV2UI_Idle_Interface idleInterface = {&idle};

const void* extensionData(const char* uri)
{
    return uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &idleInterface : nullptr;
}

const void* feature(const LV2_Feature* const* features, const char* uri)
{
    for (int i = 0; features != nullptr && features[i] != nullptr; ++i)
        if (features[i]->URI != nullptr && std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
    return nullptr;
}

} // namespace

MusicPluginLv2Ui::Descriptor MusicPluginLv2Ui::describe(const char* uri, MusicPlugin* (*createPlugin)(),
                                                        EditorFactory createEditor, int controlsBeforeMeters)
{
    return Descriptor{{uri, &instantiate, &cleanup, &::portEvent, &extensionData},
                      createPlugin,
                      createEditor,
                      controlsBeforeMeters};
}

MusicPluginLv2Ui::MusicPluginLv2Ui(const Descriptor& descriptor, LV2UI_Write_Function write,
                                   LV2UI_Controller controller, const LV2_Feature* const* features)
    : plugin_(descriptor.createPlugin()), table_(*plugin_, descriptor.controlsBeforeMeters),
      params_(plugin_->paramList.params()), write_(write), controller_(controller),
      parent_(const_cast<void*>(feature(features, LV2_UI__parent))),
      resize_(static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize))),
      touch_(static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch))),
      meters_(table_.meters().size())
{
    for (Param* param : params_)
        knobPositions_.push_back(param->getKnobPos());
    if (descriptor.createEditor != nullptr) editor_ = descriptor.createEditor(*this);
}

MusicPluginLv2Ui::~MusicPluginLv2Ui()
{
    // The window before the editor it shows.
    window_.reset();
}

bool MusicPluginLv2Ui::open()
{
    if (parent_ == nullptr || editor_ == nullptr) return false;
    window_ = EditorWindow::open(*editor_, parent_);
    if (window_ == nullptr) return false;
    requestResize(editor_->width(), editor_->height());
    return true;
}

void* MusicPluginLv2Ui::widget() const
{
    return window_ != nullptr ? window_->nativeHandle() : nullptr;
}

void MusicPluginLv2Ui::portEvent(uint32_t port, uint32_t bufferSize, uint32_t format, const void* buffer)
{
    if (format != 0 || bufferSize != sizeof(float) || buffer == nullptr) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    if (!std::isfinite(value)) return;
    const auto& controls = table_.controls();
    const auto& meters = table_.meters();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].portIndex != static_cast<int>(port)) continue;
        // The port value through the parameter's own knob law: the editor turns knobs, not port values.
        const int control = static_cast<int>(i);
        setParamValue(*params_[i], table_.valueOfPort(control, value));
        knobPositions_[i] = params_[i]->getKnobPos();
        return;
    }
    for (std::size_t j = 0; j < meters.size(); ++j)
        if (meters[j].portIndex == static_cast<int>(port)) meters_[j] = value;
}

int MusicPluginLv2Ui::idle()
{
    if (window_ != nullptr) window_->idle();
    return 0;
}

void MusicPluginLv2Ui::beginEdit(int index)
{
    if (touch_ != nullptr && index >= 0 && index < static_cast<int>(params_.size()))
        touch_->touch(touch_->handle,
                      static_cast<uint32_t>(table_.controls()[static_cast<std::size_t>(index)].portIndex),
                      true);
}

void MusicPluginLv2Ui::performEdit(int index, double knobPos)
{
    if (index < 0 || index >= static_cast<int>(params_.size())) return;
    const auto i = static_cast<std::size_t>(index);
    params_[i]->setKnobPos(knobPos);
    knobPositions_[i] = params_[i]->getKnobPos();
    const float port = table_.portOfValue(index, paramValue(*params_[i]));
    write_(controller_, static_cast<uint32_t>(table_.controls()[i].portIndex), sizeof port, 0, &port);
}

void MusicPluginLv2Ui::endEdit(int index)
{
    if (touch_ != nullptr && index >= 0 && index < static_cast<int>(params_.size()))
        touch_->touch(touch_->handle,
                      static_cast<uint32_t>(table_.controls()[static_cast<std::size_t>(index)].portIndex),
                      false);
}

double MusicPluginLv2Ui::knobPosition(int index)
{
    return index >= 0 && index < static_cast<int>(knobPositions_.size())
               ? knobPositions_[static_cast<std::size_t>(index)]
               : 0.0;
}

std::optional<double> MusicPluginLv2Ui::takeMeterReading(int index)
{
    return index >= 0 && index < static_cast<int>(meters_.size()) ? meters_[static_cast<std::size_t>(index)]
                                                                  : std::nullopt;
}

bool MusicPluginLv2Ui::requestResize(int width, int height)
{
    return resize_ != nullptr && resize_->ui_resize(resize_->handle, width, height) == 0;
}
