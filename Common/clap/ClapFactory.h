#pragma once
// The plug-in factory of a CLAP module with one plug-in, and the module entry's init and deinit. A
// product's entry file defines the descriptor, the function that makes its MusicPlugin (and, where the
// build has an editor, the function that makes its editor's side), and clap_entry:
//
//     const ClapFactory factory(&descriptor, &createPlugin, &createGui);
//     const void* getFactory(const char* id) { return factory.get(id); }
//     extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {
//         CLAP_VERSION_INIT, &ClapFactory::init, &ClapFactory::deinit, &getFactory};

#include <clap/entry.h>
#include <clap/plugin-factory.h>

#include <cstdint>
#include <memory>

class ClapPluginGui;
class MusicPlugin;
class MusicPluginClapAdaptor;

class ClapFactory
{
public:
    using GuiFactory = std::unique_ptr<ClapPluginGui> (*)(MusicPluginClapAdaptor& adaptor);

    // All must outlive the module; without createGui the plug-in has no editor.
    ClapFactory(const clap_plugin_descriptor_t* descriptor, MusicPlugin* (*createPlugin)(),
                GuiFactory createGui = nullptr);

    // The factory for CLAP_PLUGIN_FACTORY_ID, null for any other ID.
    const void* get(const char* id) const;

    // Counted, so a host may pair them more than once; nothing is set up or torn down by them.
    static bool CLAP_ABI init(const char* pluginPath);
    static void CLAP_ABI deinit();

private:
    static std::uint32_t CLAP_ABI pluginCount(const clap_plugin_factory_t* factory);
    static const clap_plugin_descriptor_t* CLAP_ABI pluginDescriptor(const clap_plugin_factory_t* factory,
                                                                     std::uint32_t index);
    static const clap_plugin_t* CLAP_ABI createPlugin(const clap_plugin_factory_t* factory,
                                                      const clap_host_t* host, const char* pluginId);

    // First, so the host's factory pointer is this object's address.
    clap_plugin_factory_t clap;
    const clap_plugin_descriptor_t* descriptor;
    MusicPlugin* (*makePlugin)();
    GuiFactory makeGui;
};
