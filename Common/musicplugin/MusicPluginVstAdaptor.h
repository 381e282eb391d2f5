#pragma once
// Presents one MusicPlugin to a VST 2 host. Every host call that touches plug-in state runs under one
// re-entrant mutex, so parameter, program and chunk calls from other threads take effect between audio
// blocks. The adaptor only translates: host calls to framework calls, floats to knob positions, buffers
// to strings.

#include "Common/musicplugin/MeterFeed.h"
#include "Common/musicplugin/Mutex.h"
#include "Common/vst/AudioEffectX.h"

#include <string>

class AEffEditor;
class MusicPlugin;

class MusicPluginVstAdaptor : public AudioEffectX
{
public:
    // Takes ownership of fx.
    MusicPluginVstAdaptor(audioMasterCallback audioMaster, MusicPlugin* fx);
    ~MusicPluginVstAdaptor() override;

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    VstInt32 getProgram() override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;
    void setSampleRate(float sampleRate) override;
    void setBlockSize(VstInt32 blockSize) override;
    void suspend() override;
    void resume() override;
    VstInt32 processEvents(VstEvents* events) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool copyProgram(VstInt32 destination) override;
    bool needIdle() override;
    void setBlockSizeAndSampleRate(VstInt32 blockSize, float sampleRate) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 canDo(char* text) override;

    void process(float** inputs, float** outputs, VstInt32 sampleFrames, bool replacing);
    void process_block(const float* const* inputs, float* const* outputs, int offset, VstInt32 length,
                       bool replacing);
    // Attaches an editor (owned) and says so in the effect's flags; null detaches.
    void setEditor(AEffEditor* newEditor);
    // The meters, from the audio thread to an open editor.
    MeterFeed& meterFeed() { return meters; }

private:
    // Scratch buffers hold at most this many frames whatever block size the host announces; accumulating
    // blocks longer than that are processed a scratch length at a time.
    static constexpr VstInt32 maxScratchFrames = 1 << 16;

    void allocateScratchOutputs(VstInt32 frames);
    bool curProgramValid() const;
    bool blockIsUsable(float** inputs, float** outputs, VstInt32 sampleFrames) const;

    Mutex mutex;
    MusicPlugin* effect;
    MeterFeed meters;
    std::string chunkText;
    float** scratchOutputs;
    VstInt32 scratchFrames;
    VstEvents* pendingEvents;
    const float** blockInputs;
    float** blockOutputs;
};
