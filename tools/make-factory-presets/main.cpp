// make-factory-presets: writes the factory presets as the VST 2 plug-in would save them, one program file
// per preset and one bank file with them all, into a folder, and as the VST 3 plug-in's preset files, named
// as hosts list them, into its vst3/ subfolder (the checked-in copies live in presets/).
//
// usage: make-factory-presets FOLDER

#include "Common/musicplugin/PluginState.h"
#include "Common/vst3/Vst3PresetFile.h"
#include "ZaRorurarozePlugin.h"
#include "presets/FactoryPresets.h"
#include "tools/render/FxPreset.h"
#include "vst3/ZaRorurarozeVst3.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace zr::host;

namespace
{
// What the VST 2 module reports: the effect base class's version, which it never changes.
constexpr VstInt32 pluginVersion = 1;
const char* const bankFileName = "zaroruraroze-factory.fxb";

// A chunk as getChunk hands it over: the text and its terminating zero.
std::vector<char> chunkOf(const std::string& text)
{
    std::vector<char> chunk(text.begin(), text.end());
    chunk.push_back('\0');
    return chunk;
}

void writeBytes(const std::string& path, const char* bytes, std::size_t size)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes, static_cast<std::streamsize>(size));
    file.close();
    if (!file) throw std::runtime_error("cannot write " + path);
}

void writeFile(const std::string& path, const FxPreset& preset)
{
    const std::vector<unsigned char> bytes = serializeFxPreset(preset);
    writeBytes(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-factory-presets FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    try {
        std::filesystem::create_directories(folder + "vst3");
        const std::vector<FactoryPreset>& presets = factoryPresets();
        ZaRorurarozePlugin plugin;
        // The program count the plug-in announces, which a bank file records.
        const auto announcedPrograms = static_cast<VstInt32>(plugin.presetBank.presetList.size());
        for (const FactoryPreset& preset : presets) {
            loadFactoryPreset(plugin, preset, 0);
            FxPreset file;
            file.kind = FxKind::ProgramChunk;
            file.pluginId = plugin.uniqueId;
            file.pluginVersion = pluginVersion;
            file.count = plugin.paramList.numParams();
            file.program.name = preset.name;
            file.chunk = chunkOf(PluginState::saveProgram(plugin, 0));
            writeFile(folder + preset.slug + ".fxp", file);
            // The VST 3 component state: the bank chunk and its terminator, as getState writes it.
            const std::string vst3File =
                Vst3PresetFile::make(zaRorurarozeVst3ClassId, PluginState::saveBank(plugin, 0) + '\0');
            writeBytes(folder + "vst3/" + preset.name + ".vstpreset", vst3File.data(), vst3File.size());
        }
        // The bank: every preset as a program of its own, the first one current.
        plugin.presetBank.presetList.resize(presets.size(), Preset("Default"));
        for (int i = static_cast<int>(presets.size()) - 1; i >= 0; --i) {
            loadFactoryPreset(plugin, presets[static_cast<std::size_t>(i)], i);
            plugin.paramList.savePreset(plugin.presetBank.getPreset(i));
        }
        FxPreset bank;
        bank.kind = FxKind::BankChunk;
        bank.pluginId = plugin.uniqueId;
        bank.pluginVersion = pluginVersion;
        bank.count = announcedPrograms;
        bank.currentProgram = 0;
        bank.chunk = chunkOf(PluginState::saveBank(plugin, 0));
        writeFile(folder + bankFileName, bank);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-factory-presets: %s\n", e.what());
        return 1;
    }
    return 0;
}
