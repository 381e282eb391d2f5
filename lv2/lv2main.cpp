// The LV2 module's one export: the descriptor of the compressor behind the LV2 adaptor.

#include "Common/lv2/MusicPluginLv2Adaptor.h"
#include "ZaRorurarozePlugin.h"
#include "lv2/ZaRorurarozeLv2.h"

namespace
{
MusicPlugin* createPlugin()
{
    return new ZaRorurarozePlugin(ZaRorurarozePlugin::KeyInput::stereo);
}

const MusicPluginLv2Adaptor::Descriptor descriptor =
    MusicPluginLv2Adaptor::describe(zaRorurarozeLv2Uri, &createPlugin, zaRorurarozeLv2ControlsBeforeMeters);
} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &descriptor.lv2 : nullptr;
}
