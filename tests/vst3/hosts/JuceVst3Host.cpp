// A second, independent VST 3 host for the tests: JUCE's VST3PluginFormat (Debian's juce-modules-source,
// GPL, used only here and never shipped) loads a bundle the way JUCE-based hosts do. Built at test time by
// tests/vst3/hosts/build-juce-host.sh.
//
//   juce-vst3-host info BUNDLE
//       the class, its buses and its parameters as JUCE sees them (one tab-separated line each), and for
//       each parameter whether every text it shows reads back as the same value
//   juce-vst3-host render BUNDLE IN.wav OUT.wav [--block N] [--set INDEX=NORMALISED]...
//                  [--load-state FILE] [--save-state FILE]
//       renders a 32-bit float WAV file through the plug-in in blocks of N frames (default 1024), with the
//       parameters set (normalised, as a host's automation does) or a state JUCE saved before loaded first;
//       a four-channel file's last two channels go to the second input bus (a side-chain), enabled stereo

#include "FloatWav.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace
{
std::unique_ptr<juce::AudioPluginInstance> load(juce::VST3PluginFormat& format, const juce::String& bundle,
                                                double rateHz, int blockFrames,
                                                std::unique_ptr<juce::PluginDescription>& description)
{
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile(types, bundle);
    if (types.isEmpty()) {
        std::fprintf(stderr, "juce-vst3-host: no VST 3 class in %s\n", bundle.toRawUTF8());
        return nullptr;
    }
    description = std::make_unique<juce::PluginDescription>(*types[0]);
    juce::String error;
    auto instance = format.createInstanceFromDescription(*description, rateHz, blockFrames, error);
    if (instance == nullptr)
        std::fprintf(stderr, "juce-vst3-host: cannot instantiate: %s\n", error.toRawUTF8());
    return instance;
}

std::string text(const juce::String& s)
{
    return s.toStdString();
}

int info(const juce::String& bundle)
{
    juce::VST3PluginFormat format;
    std::unique_ptr<juce::PluginDescription> d;
    auto plugin = load(format, bundle, 48000.0, 1024, d);
    if (plugin == nullptr) return 1;
    std::printf("plugin\t%s\t%s\t%s\t%s\t%d\t%d\n", text(d->name).c_str(), text(d->manufacturerName).c_str(),
                text(d->category).c_str(), text(d->version).c_str(), d->numInputChannels,
                d->numOutputChannels);
    for (bool input : {true, false})
        for (int b = 0; b < plugin->getBusCount(input); ++b) {
            auto* bus = plugin->getBus(input, b);
            std::printf("bus\t%s\t%d\t%s\t%d\t%d\n", input ? "in" : "out", b, text(bus->getName()).c_str(),
                        bus->getNumberOfChannels(), bus->isEnabled() ? 1 : 0);
        }
    // Normalised values at which every parameter's text must read back: both ends, the default and a spread.
    const float probes[] = {0.0f, 0.013f, 0.1f, 0.25f, 0.3f, 0.5f, 0.77f, 0.9f, 1.0f};
    const auto& parameters = plugin->getParameters();
    for (int i = 0; i < parameters.size(); ++i) {
        auto* p = parameters[i];
        int id = -1;
        if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*>(p))
            id = hosted->getParameterID().getIntValue();
        std::printf("param\t%d\t%d\t%s\t%s\t%d\t%d\t%d\t%.9g\t%s\n", i, id, text(p->getName(128)).c_str(),
                    text(p->getLabel()).c_str(), p->getNumSteps(), p->isDiscrete() ? 1 : 0,
                    p->isAutomatable() ? 1 : 0, p->getDefaultValue(),
                    text(p->getText(p->getDefaultValue(), 128)).c_str());
        int readBack = 0, tried = 0;
        for (float v : probes) {
            if (!p->isAutomatable()) break; // a meter takes no text
            const juce::String shown = p->getText(v, 128);
            const float parsed = p->getValueForText(shown);
            ++tried;
            if (p->getText(parsed, 128) == shown) {
                ++readBack;
            } else {
                std::printf("unreadable\t%d\t%.9g\t%s\t%.9g\t%s\n", i, v, text(shown).c_str(), parsed,
                            text(p->getText(parsed, 128)).c_str());
            }
        }
        std::printf("texts\t%d\t%d\t%d\n", i, readBack, tried);
    }
    return 0;
}

int render(const juce::String& bundle, const std::string& in, const std::string& out, int blockFrames,
           const std::map<int, float>& settings, const std::string& loadState, const std::string& saveState)
{
    floatwav::Wav wav;
    if (!floatwav::read(in, wav) || (wav.channels.size() != 2 && wav.channels.size() != 4)) {
        std::fprintf(stderr, "juce-vst3-host: %s is no 32-bit float WAV file of 2 or 4 channels\n",
                     in.c_str());
        return 1;
    }
    juce::VST3PluginFormat format;
    std::unique_ptr<juce::PluginDescription> d;
    auto plugin = load(format, bundle, wav.rateHz, blockFrames, d);
    if (plugin == nullptr) return 1;
    const int inputs = static_cast<int>(wav.channels.size());
    if (inputs == 4) {
        auto layout = plugin->getBusesLayout();
        if (layout.inputBuses.size() < 2) {
            std::fprintf(stderr, "juce-vst3-host: the plug-in has no second input bus\n");
            return 1;
        }
        layout.inputBuses.getReference(1) = juce::AudioChannelSet::stereo();
        if (!plugin->setBusesLayout(layout)) {
            std::fprintf(stderr, "juce-vst3-host: the plug-in refuses a stereo second input bus\n");
            return 1;
        }
    }
    if (!loadState.empty()) {
        juce::MemoryBlock state;
        if (!juce::File(loadState).loadFileAsData(state)) {
            std::fprintf(stderr, "juce-vst3-host: cannot read %s\n", loadState.c_str());
            return 1;
        }
        plugin->setStateInformation(state.getData(), static_cast<int>(state.getSize()));
    }
    const auto& parameters = plugin->getParameters();
    for (const auto& [index, value] : settings) {
        if (index < 0 || index >= parameters.size()) {
            std::fprintf(stderr, "juce-vst3-host: no parameter %d\n", index);
            return 1;
        }
        parameters[index]->setValue(value);
    }
    plugin->prepareToPlay(wav.rateHz, blockFrames);
    const std::size_t frames = wav.channels[0].size();
    juce::AudioBuffer<float> buffer(inputs, blockFrames);
    juce::MidiBuffer midi;
    for (std::size_t at = 0; at < frames; at += static_cast<std::size_t>(blockFrames)) {
        const int n = static_cast<int>(std::min<std::size_t>(blockFrames, frames - at));
        buffer.setSize(inputs, n, false, false, true);
        for (int c = 0; c < inputs; ++c)
            buffer.copyFrom(c, 0, wav.channels[static_cast<std::size_t>(c)].data() + at, n);
        plugin->processBlock(buffer, midi);
        for (int c = 0; c < 2; ++c)
            std::memcpy(wav.channels[static_cast<std::size_t>(c)].data() + at, buffer.getReadPointer(c),
                        sizeof(float) * static_cast<std::size_t>(n));
    }
    plugin->releaseResources();
    if (!saveState.empty()) {
        juce::MemoryBlock state;
        plugin->getStateInformation(state);
        if (!juce::File(saveState).replaceWithData(state.getData(), state.getSize())) return 1;
    }
    wav.channels.resize(2);
    return floatwav::write(out, wav) ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "info") return info(juce::String(args[1]));
    if (args.size() >= 4 && args[0] == "render") {
        int blockFrames = 1024;
        std::map<int, float> settings;
        std::string loadState, saveState;
        for (std::size_t i = 4; i + 1 < args.size(); i += 2) {
            const std::string& option = args[i];
            const std::string& value = args[i + 1];
            if (option == "--block") {
                blockFrames = std::stoi(value);
            } else if (option == "--set" && value.find('=') != std::string::npos) {
                settings[std::stoi(value.substr(0, value.find('=')))] =
                    std::stof(value.substr(value.find('=') + 1));
            } else if (option == "--load-state") {
                loadState = value;
            } else if (option == "--save-state") {
                saveState = value;
            } else {
                std::fprintf(stderr, "juce-vst3-host: unknown option %s\n", option.c_str());
                return 2;
            }
        }
        if (blockFrames <= 0 || (args.size() - 4) % 2 != 0) return 2;
        return render(juce::String(args[1]), args[2], args[3], blockFrames, settings, loadState, saveState);
    }
    std::fprintf(stderr, "usage: juce-vst3-host info BUNDLE | render BUNDLE IN.wav OUT.wav [options]\n");
    return 2;
}
