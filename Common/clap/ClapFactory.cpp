#include "Common/clap/ClapFactory.h"

#include "Common/clap/MusicPluginClapAdaptor.h"
#include "Common/musicplugin/MusicPlugin.h"

#include <cstring>
#include <memory>

ClapFactory::ClapFactory(const clap_plugin_descriptor_t* descriptor, MusicPlugin* (*createPlugin)(),
                         GuiFactory createGui)
    : clap{&pluginCount, &pluginDescriptor, &ClapFactory::createPlugin}, descriptor(descriptor),
      makePlugin(createPlugin), makeGui(createGui)
{}

const void* ClapFactory::get(const char* id) const
{
    return id != nullptr && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &clap : nullptr;
}

// The module holds nothing to set up or free: init and deinit may come in any number and order.
bool ClapFactory::init(const char*)
{
    return true;
}

void ClapFactory::deinit() {}

std::uint32_t ClapFactory::pluginCount(const clap_plugin_factory_t* factory)
{
    return factory != nullptr ? 1 : 0;
}

const clap_plugin_descriptor_t* ClapFactory::pluginDescriptor(const clap_plugin_factory_t* factory,
                                                              std::uint32_t index)
{
    return factory != nullptr && index == 0 ? reinterpret_cast<const ClapFactory*>(factory)->descriptor
                                            : nullptr;
}

const clap_plugin_t* ClapFactory::createPlugin(const clap_plugin_factory_t* factory, const clap_host_t* host,
                                               const char* pluginId)
{
    if (factory == nullptr || pluginId == nullptr) return nullptr;
    const ClapFactory& self = *reinterpret_cast<const ClapFactory*>(factory);
    if (std::strcmp(pluginId, self.descriptor->id) != 0) return nullptr;
    // Nothing may leave through the host interface as an exception: a failure answers null.
    try {
        std::unique_ptr<MusicPlugin> effect(self.makePlugin());
        std::unique_ptr<MusicPlugin> shadow(self.makePlugin());
        if (effect == nullptr || shadow == nullptr) return nullptr;
        auto adaptor = std::make_unique<MusicPluginClapAdaptor>(self.descriptor, host, std::move(effect),
                                                                std::move(shadow));
        if (self.makeGui != nullptr) adaptor->setGui(self.makeGui(*adaptor));
        return adaptor.release()->clapPlugin();
    } catch (...) {
        return nullptr;
    }
}
