// The CLAP module's one export: clap_entry, whose factory makes the compressor behind the CLAP adaptor,
// with its editor where the build has one.

#include "Common/clap/ClapFactory.h"
#include "ZaRorurarozePlugin.h"

#if ZR_WITH_EDITOR
#include "Common/clap/MusicPluginClapGui.h"
#include "editor/ZaRorurarozeEditor.h"
#endif

#include <clap/plugin-features.h>

namespace
{
MusicPlugin* createPlugin()
{
    return new ZaRorurarozePlugin(ZaRorurarozePlugin::KeyInput::stereo);
}

#if ZR_WITH_EDITOR
std::unique_ptr<ClapPluginGui> createGui(MusicPluginClapAdaptor& adaptor)
{
    return std::make_unique<MusicPluginClapGui>(adaptor, &createPlugin, &ZaRorurarozeEditor::createWithKey);
}
#else
constexpr ClapFactory::GuiFactory createGui = nullptr;
#endif

const char* features[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_COMPRESSOR,
                          CLAP_PLUGIN_FEATURE_STEREO, nullptr};

// Its ID names it in every CLAP session: never change it.
const clap_plugin_descriptor_t descriptor = {
    CLAP_VERSION_INIT,
    "com.quenderlab.zaroruraroze",
    "ZaRoruraroze",
    "Orrel @ Quenderlab",
    "",
    "",
    "",
    ZR_VERSION,
    "Stereo compressor whose detector splits the side-chain into 33 bands",
    features,
};

const ClapFactory factory(&descriptor, &createPlugin, createGui);

const void* CLAP_ABI getFactory(const char* id)
{
    return factory.get(id);
}
} // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION_INIT, &ClapFactory::init,
                                                               &ClapFactory::deinit, &getFactory};
