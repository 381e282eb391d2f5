#pragma once
// The host that loads a plug-in binary (dlopen, or LoadLibrary on Windows) and finds its entry point as
// hosts do: VSTPluginMain first, then main (the only name 32-bit Windows plug-ins export). Links none of
// the plug-in's code.

#include "EffectHost.h"

#include <string>

namespace zr::test
{
class LoadedPlugin : public EffectHost
{
public:
    // Opens one effect instance; throws std::runtime_error when the binary or its entry point is missing or
    // the entry point answers null.
    explicit LoadedPlugin(const std::string& path = builtPluginPath());
    ~LoadedPlugin();

    // The plug-in this build made, unless the environment names another in ZR_PLUGIN_PATH (the Windows
    // harness runs under wine from another folder).
    static std::string builtPluginPath();

private:
    void* module_ = nullptr;
};
} // namespace zr::test
