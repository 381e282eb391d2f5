#include "Common/musicplugin/MusicPlugin.h"

#include "Common/Assert.h"

#include <utility>

MusicPlugin::MusicPlugin(std::string id, std::string effectName, std::string vendorName,
                         std::string productName, int numAudioInputs, int numAudioOutputs, bool receivesMidi)
    : uniqueId(packId(id)), effectName(std::move(effectName)), vendorName(std::move(vendorName)),
      productName(std::move(productName)), numAudioInputs(numAudioInputs), numAudioOutputs(numAudioOutputs),
      receivesMidi(receivesMidi), sampleRate(44100.0), tempo(60.0)
{
    presetBank.presetList.emplace_back("Default");
}

MusicPlugin::~MusicPlugin() = default;

std::int32_t MusicPlugin::packId(const std::string& string)
{
    ZR_ASSERT(string.length()==4);
    // First character in the top byte, each taken unsigned; a short id is padded with zero bytes.
    std::uint32_t packed = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        unsigned char c = i < string.length() ? static_cast<unsigned char>(string[i]) : 0;
        packed = (packed << 8) | c;
    }
    return static_cast<std::int32_t>(packed);
}

void MusicPlugin::processWithKey(const float* const* inputs, const float* const*, float* const* outputs,
                                 int sampleFrames) noexcept
{
    process(inputs, outputs, sampleFrames);
}

void MusicPlugin::processMidi(const unsigned char* midiData) noexcept
{
    (void)midiData;
    ZR_ASSERT(false, "Midi requested, but processMidi not implemented in plugin!");
}

MusicPlugin::MeterInfo MusicPlugin::meterInfo(int) const
{
    return MeterInfo{"", "", "", 0.0, 0.0};
}

double MusicPlugin::takeMeterReading(int) noexcept
{
    return 0.0;
}
