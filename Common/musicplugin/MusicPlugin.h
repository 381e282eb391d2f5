#pragma once
// The host-independent plug-in: identity, channel counts, parameters, programs, and the sample rate and
// tempo that the host bridge keeps up to date. A concrete effect implements clear and process.
//
// Threads. A plug-in sees one caller at a time and needs no lock of its own: the VST 2 bridge calls it under
// its lock from whichever host thread calls in; the LV2 and JACK bridges call it from their audio thread
// only (apart from construction and destruction) and read its state through a shadow instance. Setting a
// parameter or the sample rate runs the value listeners (the engine's setters) on the caller's thread,
// which for LV2 and JACK is the audio thread: they allocate nothing and lock nothing after construction.
// "Audio thread" below means: no allocation, no lock, no I/O, no exception; the calls are noexcept.

#include "Common/musicplugin/ParamList.h"
#include "Common/musicplugin/PresetBank.h"
#include "Common/musicplugin/ValueListener.h"

#include <cstdint>
#include <string>

class MusicPlugin
{
public:
    // id must be four characters; it is packed big-endian into uniqueId. presetBank starts with one
    // empty program, "Default".
    MusicPlugin(std::string id, std::string effectName, std::string vendorName, std::string productName,
                int numAudioInputs, int numAudioOutputs, bool receivesMidi);
    MusicPlugin(const MusicPlugin&) = delete;
    MusicPlugin& operator=(const MusicPlugin&) = delete;
    virtual ~MusicPlugin();

    // Forgets all signal history. VST 2: when the host suspends or resumes processing, from its main or its
    // audio thread; LV2: on activate; JACK: before the first block. Audio thread rules.
    virtual void clear() noexcept = 0;
    // Writes every output channel (the host bridge accumulates itself where the host wants it). Audio thread.
    virtual void process(const float* const* inputs, float* const* outputs, int sampleFrames) noexcept = 0;
    // process for bridges whose format carries a key (side-chain) signal: keyInputs holds numKeyInputs
    // channel pointers, or is null when the host gives no key (no buffer, an inactive bus). A host may feed
    // silence to a key input nobody connected, so a plug-in lets its user choose the key rather than guess
    // from the samples. By default the key is ignored. Audio thread.
    virtual void processWithKey(const float* const* inputs, const float* const* keyInputs,
                                float* const* outputs, int sampleFrames) noexcept;
    // One MIDI message, status byte first, from within the bridge's processing; a plug-in that sets
    // receivesMidi must override it. Audio thread.
    virtual void processMidi(const unsigned char* midiData) noexcept;

    // Read-only values a host may show while the plug-in runs, such as a gain-reduction meter. Bridges
    // that have no place for them ignore them.
    struct MeterInfo
    {
        std::string symbol; // a key like a save name
        std::string name;
        std::string unit; // a display label: "dB", "%", ...
        double minValue;
        double maxValue;
        // Meant for the plug-in's own editor (band levels and the like): hosts' generic interfaces leave it
        // out, formats without output ports do not list it.
        bool editorOnly = false;
        // The reading is the level at the end of the audio processed, not the largest since the last reading.
        bool latest = false;
    };
    // Constant answers, asked while a bridge sets up (any thread).
    virtual int numMeters() const { return 0; }
    virtual MeterInfo meterInfo(int index) const;
    // The reading over the audio processed since the last call, then starts anew. Audio thread: allocates
    // nothing, locks nothing.
    virtual double takeMeterReading(int index) noexcept;
    // Whether anyone reads the meters marked editorOnly: a bridge clears it while no editor is open, so the
    // plug-in need not track them. Set where the plug-in's process runs (audio thread rules).
    bool editorMetersWanted = true;

    static std::int32_t packId(const std::string& string);

    std::int32_t uniqueId;
    std::string effectName;
    std::string vendorName;
    // May be empty; the host bridge then reports effectName instead.
    std::string productName;
    int numAudioInputs;
    int numAudioOutputs;
    // Channels of a key signal that drives the plug-in without being processed itself, apart from the
    // audio inputs; a plug-in that takes one sets this in its constructor. Bridges of formats without key
    // inputs (VST 2) ignore it.
    int numKeyInputs = 0;
    bool receivesMidi;
    ParamList paramList;
    PresetBank presetBank;
    // Hz.
    SettableValue<double> sampleRate;
    // Beats per minute, while the host reports a valid tempo.
    SettableValue<double> tempo;
};
