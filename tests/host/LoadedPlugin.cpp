#include "LoadedPlugin.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace
{
// The callback receives no user pointer before the effect exists: remember who is being constructed.
thread_local LoadedPlugin* constructing = nullptr;
} // namespace

namespace
{
// Looks the entry point up as hosts do: VSTPluginMain first, then main (the only name 32-bit Windows
// plug-ins export).
void* openModule(const char* path, void*& entry)
{
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr) throw std::runtime_error(std::string("LoadLibrary failed: ") + path);
    FARPROC proc = GetProcAddress(module, "VSTPluginMain");
    if (proc == nullptr) proc = GetProcAddress(module, "main");
    entry = reinterpret_cast<void*>(proc);
    return module;
#else
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
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

LoadedPlugin::LoadedPlugin(const char* path)
{
    // The Windows harness runs under wine from another folder: the path may come from the environment.
    const char* fromEnvironment = std::getenv("ZR_PLUGIN_PATH");
    void* entry = nullptr;
    module_ = openModule(fromEnvironment != nullptr ? fromEnvironment : path, entry);
    if (entry == nullptr) throw std::runtime_error("no entry point");
    constructing = this;
    effect_ = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(entry)(&LoadedPlugin::hostCallback);
    constructing = nullptr;
    if (effect_ == nullptr) throw std::runtime_error("entry point answered null");
    effect_->user = this;
}

LoadedPlugin::~LoadedPlugin()
{
    close();
    closeModule(module_);
}

void LoadedPlugin::close()
{
    if (effect_ != nullptr) dispatch(effClose);
    effect_ = nullptr;
}

VstIntPtr LoadedPlugin::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*,
                                     float)
{
    LoadedPlugin* self = effect != nullptr && effect->user != nullptr
                             ? static_cast<LoadedPlugin*>(effect->user)
                             : constructing;
    if (self != nullptr) self->hostCalls.push_back({opcode, index, value});
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return self != nullptr && self->giveTimeInfo ? reinterpret_cast<VstIntPtr>(&self->timeInfo) : 0;
    default:
        return 0;
    }
}

VstIntPtr LoadedPlugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

namespace
{
std::string textFrom(LoadedPlugin& plugin, VstInt32 opcode, int index)
{
    char text[64];
    for (char& c : text)
        c = 'x'; // so that a missing terminator shows
    plugin.dispatch(opcode, index, 0, text);
    return std::string(text, strnlen(text, sizeof text));
}
} // namespace

std::string LoadedPlugin::paramName(int index)
{
    return textFrom(*this, effGetParamName, index);
}

std::string LoadedPlugin::paramLabel(int index)
{
    return textFrom(*this, effGetParamLabel, index);
}

std::string LoadedPlugin::paramDisplay(int index)
{
    return textFrom(*this, effGetParamDisplay, index);
}

std::string LoadedPlugin::chunk(bool isPreset)
{
    void* data = nullptr;
    VstIntPtr bytes = dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
    if (bytes <= 0 || data == nullptr) return std::string();
    return std::string(static_cast<const char*>(data), static_cast<size_t>(bytes));
}

VstIntPtr LoadedPlugin::setChunk(const std::string& bytes, bool isPreset)
{
    std::vector<char> copy(bytes.begin(), bytes.end()); // exactly sized: an over-read shows under ASan
    return dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<VstIntPtr>(copy.size()), copy.data());
}

void LoadedPlugin::processReplacing(std::vector<float>& left, std::vector<float>& right,
                                    const std::vector<float>& inLeft, const std::vector<float>& inRight,
                                    int blockFrames)
{
    size_t frames = inLeft.size();
    left.assign(frames, 0.0f);
    right.assign(frames, 0.0f);
    std::vector<float> inL(inLeft), inR(inRight);
    for (size_t done = 0; done < frames;) {
        VstInt32 n = static_cast<VstInt32>(std::min(frames - done, static_cast<size_t>(blockFrames)));
        float* inputs[2] = {inL.data() + done, inR.data() + done};
        float* outputs[2] = {left.data() + done, right.data() + done};
        effect_->processReplacing(effect_, inputs, outputs, n);
        done += static_cast<size_t>(n);
    }
}
