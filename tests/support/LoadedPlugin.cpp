#include "LoadedPlugin.h"

#include <cstdlib>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zr::test
{
namespace
{
void* openModule(const std::string& path, void*& entry)
{
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) throw std::runtime_error("LoadLibrary failed: " + path);
    FARPROC proc = GetProcAddress(module, "VSTPluginMain");
    if (proc == nullptr) proc = GetProcAddress(module, "main");
    entry = reinterpret_cast<void*>(proc);
    return module;
#else
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
    entry = dlsym(module, "VSTPluginMain");
    if (entry == nullptr) entry = dlsym(module, "main");
    return module;
#endif
}

void closeModule(void* module)
{
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(module));
#else
    dlclose(module);
#endif
}
} // namespace

std::string LoadedPlugin::builtPluginPath()
{
    const char* fromEnvironment = std::getenv("ZR_PLUGIN_PATH");
    return fromEnvironment != nullptr ? fromEnvironment : ZR_PLUGIN_PATH;
}

LoadedPlugin::LoadedPlugin(const std::string& path)
{
    void* entry = nullptr;
    module_ = openModule(path, entry);
    if (entry != nullptr) open(reinterpret_cast<AEffect*(VST_CALLBACK*)(audioMasterCallback)>(entry));
    if (effect() == nullptr) {
        closeModule(module_);
        throw std::runtime_error(entry == nullptr ? "no entry point in " + path
                                                  : "the entry point of " + path + " answered null");
    }
}

LoadedPlugin::~LoadedPlugin()
{
    close();
    closeModule(module_);
}
} // namespace zr::test
