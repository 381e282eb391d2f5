#pragma once
// The host-independent plug-in: identity, channel counts, parameters, programs, and the sample rate and
// tempo that the host bridge keeps up to date. A concrete effect implements clear and process.
//
// The host bridge calls every operation under its lock, so the plug-in sees one caller at a time.

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

    // Forgets all signal history; the host bridge calls it when the host suspends processing.
    virtual void clear() = 0;
    // Writes every output channel (the host bridge accumulates itself where the host wants it).
    virtual void process(const float* const* inputs, float* const* outputs, int sampleFrames) = 0;
    // One MIDI message, status byte first; a plug-in that sets receivesMidi must override it.
    virtual void processMidi(const unsigned char* midiData);

    // Read-only values a host may show while the plug-in runs, such as a gain-reduction meter. Bridges
    // that have no place for them ignore them.
    struct MeterInfo
    {
        std::string symbol; // a key like a save name
        std::string name;
        std::string unit; // a display label: "dB", "%", ...
        double minValue;
        double maxValue;
    };
    virtual int numMeters() const { return 0; }
    virtual MeterInfo meterInfo(int index) const;
    // The reading over the audio processed since the last call, then starts anew. Audio thread: allocates
    // nothing, locks nothing.
    virtual double takeMeterReading(int index) noexcept;

    static std::int32_t packId(const std::string& string);

    std::int32_t uniqueId;
    std::string effectName;
    std::string vendorName;
    // May be empty; the host bridge then reports effectName instead.
    std::string productName;
    int numAudioInputs;
    int numAudioOutputs;
    bool receivesMidi;
    ParamList paramList;
    PresetBank presetBank;
    // Hz.
    SettableValue<double> sampleRate;
    // Beats per minute, while the host reports a valid tempo.
    SettableValue<double> tempo;
};
