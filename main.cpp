// The library's entry points: `main` (and `VSTPluginMain`, which hosts look up first) build one plug-in
// and its VST 2 adaptor per call, with the editor where the build has one; `DllMain` only keeps the module
// handle on Windows.

#include "Common/musicplugin/MusicPluginVstAdaptor.h"
#include "ZaRorurarozePlugin.h"

#if ZR_WITH_EDITOR
#include "Common/musicplugin/MusicPluginVstEditor.h"
#include "editor/ZaRorurarozeEditor.h"
#endif

#if defined(_WIN32)
#include <windows.h>
#define ZR_EXPORT
#else
#define ZR_EXPORT __attribute__((visibility("default")))
#endif

namespace
{
// The adaptor most recently created; nothing reads it.
AudioEffect* effect = nullptr;
} // namespace

extern "C" ZR_EXPORT AEffect* VST_CALLBACK VSTPluginMain(audioMasterCallback audioMaster)
{
    // Nothing may leave through the host interface as an exception: a failure answers null.
    try {
        if (audioMaster == nullptr || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
            return nullptr;
        ZaRorurarozePlugin* plugin = new ZaRorurarozePlugin();
        MusicPluginVstAdaptor* adaptor = nullptr;
        try {
            adaptor = new MusicPluginVstAdaptor(audioMaster, plugin);
        } catch (...) {
            delete plugin;
            return nullptr;
        }
#if ZR_WITH_EDITOR
        try {
            adaptor->setEditor(new MusicPluginVstEditor(*adaptor, &ZaRorurarozeEditor::create));
        } catch (...) {
            // Without memory for its editor the effect still works, as one without.
        }
#endif
        effect = adaptor;
        return adaptor->getAeffect();
    } catch (...) {
        return nullptr;
    }
}

#if defined(_WIN32)
// VSTPluginMain is exported as "main" through the module definition files in cmake/.

// The module handle, kept for code that needs its module; nothing here reads it.
static HINSTANCE hInstance = nullptr;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/)
{
    hInstance = instance;
    return TRUE;
}
#else
// C++ reserves the name main for the program entry, so the exported symbol gets it by its assembler name.
extern "C" ZR_EXPORT AEffect* vstMainEntry(audioMasterCallback audioMaster) __asm__("main");

extern "C" AEffect* vstMainEntry(audioMasterCallback audioMaster)
{
    return VSTPluginMain(audioMaster);
}
#endif
