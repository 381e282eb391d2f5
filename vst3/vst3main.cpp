// The VST 3 module's exports: the factory of the compressor behind the VST 3 adaptor, and the load and
// unload hooks the platform's hosts call (they have nothing to do).

#include "Common/vst3/Vst3Factory.h"
#include "ZaRorurarozePlugin.h"
#include "vst3/ZaRorurarozeVst3.h"

#if ZR_WITH_EDITOR
#include "Common/vst3/Vst3EditorView.h"
#include "editor/ZaRorurarozeEditor.h"
#endif

#if defined(_WIN32)
#define ZR_EXPORT
#else
#define ZR_EXPORT __attribute__((visibility("default")))
#endif

namespace
{
MusicPlugin* createPlugin()
{
    return new ZaRorurarozePlugin(ZaRorurarozePlugin::KeyInput::stereo);
}

#if ZR_WITH_EDITOR
vst3::IPlugView* createView(MusicPluginVst3Adaptor& adaptor)
{
    return new Vst3EditorView(adaptor, &ZaRorurarozeEditor::createWithKey);
}
#endif

MusicPluginVst3Adaptor::Descriptor describe()
{
    const ZaRorurarozePlugin plugin;
    const std::uint32_t* id = zaRorurarozeVst3ClassId;
    return
    {
        vst3::makeUid(id[0], id[1], id[2], id[3]), plugin.effectName, plugin.vendorName,
            zaRorurarozeVst3SubCategories, ZR_VERSION, &createPlugin,
#if ZR_WITH_EDITOR
            &createView
    };
#else
            // Without a window to show an editor in, hosts show their own controls.
            nullptr
    };
#endif
}
} // namespace

extern "C" ZR_EXPORT vst3::IPluginFactory* ZR_VST3_API GetPluginFactory()
{
    try {
        static const MusicPluginVst3Adaptor::Descriptor descriptor = describe();
        static Vst3Factory factory(descriptor, zaRorurarozeVst3Email);
        // The caller releases what it gets.
        factory.addRef();
        return &factory;
    } catch (...) {
        return nullptr;
    }
}

#if defined(_WIN32)
extern "C" bool InitDll()
{
    return true;
}

extern "C" bool ExitDll()
{
    return true;
}
#else
extern "C" ZR_EXPORT bool ModuleEntry(void* /*libraryHandle*/)
{
    return true;
}

extern "C" ZR_EXPORT bool ModuleExit()
{
    return true;
}
#endif
