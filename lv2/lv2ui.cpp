// The LV2 editor module's one export: the descriptor of the compressor's editor behind the LV2 UI bridge.

#include "Common/lv2/MusicPluginLv2Ui.h"
#include "ZaRorurarozePlugin.h"
#include "editor/ZaRorurarozeEditor.h"
#include "lv2/ZaRorurarozeLv2.h"

namespace
{
MusicPlugin* createPlugin()
{
    return new ZaRorurarozePlugin(ZaRorurarozePlugin::KeyInput::stereo);
}

const MusicPluginLv2Ui::Descriptor descriptor =
    MusicPluginLv2Ui::describe(zaRorurarozeLv2UiUri, &createPlugin, &ZaRorurarozeEditor::createWithKey,
                               zaRorurarozeLv2ControlsBeforeMeters);
} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &descriptor.lv2 : nullptr;
}
