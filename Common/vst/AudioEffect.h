#pragma once
// The VST 2 effect base: owns the AEffect record the host talks to, turns the host's calls into virtual
// method calls and wraps the host callback in named methods. Every method here has a harmless default, so
// a plug-in overrides only what it needs.

#include "Common/vst/VstInterface.h"

class AEffEditor;

// The entry points stored in the AEffect record. Each forwards to the AudioEffect in AEffect::object;
// none lets an exception through into the host, which answers 0 (or nothing) instead.
VstIntPtr VST_CALLBACK dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                           void* ptr, float opt) noexcept;
float VST_CALLBACK getParameterClass(AEffect* e, VstInt32 index) noexcept;
void VST_CALLBACK setParameterClass(AEffect* e, VstInt32 index, float value) noexcept;
void VST_CALLBACK processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) noexcept;
void VST_CALLBACK processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 sampleFrames) noexcept;

class AudioEffect
{
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    // cEffect.object points at this object, so a copy would hand the host the wrong one.
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;
    // Deletes the attached editor.
    virtual ~AudioEffect();

    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
    // Sets the parameter, then tells the host so it can record the move.
    virtual void setParameterAutomated(VstInt32 index, float value);

    // Accumulating: adds the output to what the host's buffers hold.
    virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processReplacing(float** /*inputs*/, float** /*outputs*/, VstInt32 /*sampleFrames*/) {}

    // Opcodes 0 to 24; any other answers 0.
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    virtual void open() {}
    virtual void close() {}

    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    // The host's text is the new name: the default keeps no names and leaves the text alone.
    virtual void setProgramName(char* /*name*/) {}
    // The text methods write into the host's buffers; their defaults leave an empty text.
    virtual void getProgramName(char* name) { clearText(name); }
    virtual void getParameterLabel(VstInt32 /*index*/, char* label) { clearText(label); }
    virtual void getParameterDisplay(VstInt32 /*index*/, char* text) { clearText(text); }
    virtual void getParameterName(VstInt32 /*index*/, char* text) { clearText(text); }

    virtual float getVu() { return 0.0f; }

    // Answers the chunk's byte size and points *data at it; the effect keeps owning the chunk.
    virtual VstInt32 getChunk(void** /*data*/, bool /*isPreset*/) { return 0; }
    virtual VstInt32 setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/) { return 0; }

    virtual void setSampleRate(float newSampleRate) { sampleRate = newSampleRate; }
    virtual void setBlockSize(VstInt32 newBlockSize) { blockSize = newBlockSize; }
    virtual void suspend() {}
    virtual void resume() {}

    // What the AEffect record announces.
    virtual void setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    virtual void hasVu(bool state) { setFlag(effFlagsHasVu, state); }
    virtual void hasClip(bool state) { setFlag(effFlagsHasClip, state); }
    virtual void canMono(bool state) { setFlag(effFlagsCanMono, state); }
    virtual void canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
    virtual void programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
    virtual void setRealtimeQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

    virtual float getSampleRate() { return sampleRate; }
    virtual VstInt32 getBlockSize() { return blockSize; }

    // Host services; without a host each gives the answer noted in its definition.
    virtual VstIntPtr getMasterVersion();
    virtual VstIntPtr getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);

    // Texts for the host's parameter buffers: at most 8 characters plus the terminator. A null text is
    // ignored.
    virtual void dB2string(float value, char* text);
    virtual void Hz2string(float samples, char* text);
    virtual void ms2string(float samples, char* text);
    virtual void float2string(float value, char* text);
    virtual void long2string(VstInt32 value, char* text);

    AEffect* getAeffect() { return &cEffect; }

protected:
    // Calls the host; the caller has checked that there is one.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    void setFlag(VstInt32 flag, bool state);
    static void clearText(char* text)
    {
        if (text != nullptr) text[0] = '\0';
    }

    float sampleRate;
    AEffEditor* editor;
    audioMasterCallback audioMaster;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram;
    VstInt32 blockSize;
    AEffect cEffect;
};
