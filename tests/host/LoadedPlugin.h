#pragma once
// Test-side host: loads the built plug-in binary with dlopen and talks to it only through AEffect, its
// dispatcher and the host callback, as a sequencer does.

#include "Common/vst/VstInterface.h"

#include <string>
#include <vector>

struct HostCall
{
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
};

class LoadedPlugin
{
public:
    // Opens one effect instance of the plug-in at path (ZR_PLUGIN_PATH by default).
    explicit LoadedPlugin(const char* path = ZR_PLUGIN_PATH);
    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    AEffect* effect() const { return effect_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);

    std::string paramName(int index);
    std::string paramLabel(int index);
    std::string paramDisplay(int index);
    std::string chunk(bool isPreset);
    VstIntPtr setChunk(const std::string& bytes, bool isPreset);
    void processReplacing(std::vector<float>& left, std::vector<float>& right,
                          const std::vector<float>& inLeft, const std::vector<float>& inRight,
                          int blockFrames);

    // Calls the plug-in made to the host callback, in order.
    std::vector<HostCall> hostCalls;
    VstTimeInfo timeInfo{};
    bool giveTimeInfo = true;

    // Closes the effect now (the destructor then only unloads the library).
    void close();

private:
    static VstIntPtr VST_CALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                               VstIntPtr value, void* ptr, float opt);

    void* module_ = nullptr;
    AEffect* effect_ = nullptr;
};
