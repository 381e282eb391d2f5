// Writes the bundle's manifest.ttl, plug-in description and factory presets from the plug-in's own
// parameter list and preset table, at build time: zaroruraroze-lv2-ttl BUNDLE_FOLDER.

#include "Common/lv2/Lv2PortTable.h"
#include "Common/lv2/Lv2TtlWriter.h"
#include "Common/lv2/MusicPluginLv2Adaptor.h"
#include "Common/musicplugin/PluginState.h"
#include "ZaRorurarozePlugin.h"
#include "lv2/ZaRorurarozeLv2.h"
#include "presets/FactoryPresets.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) std::fprintf(stderr, "zaroruraroze-lv2-ttl: cannot write %s\n", path.c_str());
    return static_cast<bool>(file);
}

// Each factory preset with its ports in port units and, as its state, the bank chunk the plug-in's own save
// would store after loading it.
std::vector<Lv2TtlWriter::Preset> lv2Presets(const Lv2PortTable& table)
{
    std::vector<Lv2TtlWriter::Preset> presets;
    for (const FactoryPreset& factory : factoryPresets()) {
        ZaRorurarozePlugin plugin(ZaRorurarozePlugin::KeyInput::stereo);
        loadFactoryPreset(plugin, factory, 0);
        Lv2TtlWriter::Preset preset;
        preset.uri = zaRorurarozeLv2PresetPrefix + factory.slug;
        preset.label = factory.name;
        preset.comment = factory.purpose;
        for (std::size_t i = 0; i < table.controls().size(); ++i) {
            const Lv2PortTable::Control& control = table.controls()[i];
            const double value = factory.valueOr(control.symbol, control.defaultValueExact);
            preset.ports.emplace_back(control.symbol, table.portOfValue(static_cast<int>(i), value));
        }
        preset.state = PluginState::saveBank(plugin, 0);
        presets.push_back(preset);
    }
    return presets;
}
} // namespace

int main(int argc, char** argv)
{
    const bool withUi = argc == 3 && std::string(argv[2]) == "--with-ui";
    if (argc != 2 && !withUi) {
        std::fprintf(stderr, "usage: zaroruraroze-lv2-ttl BUNDLE_FOLDER [--with-ui]\n");
        return 2;
    }
    const Lv2TtlWriter::Ui ui{zaRorurarozeLv2UiUri, zaRorurarozeLv2UiModule, zaRorurarozeLv2UiDescription};
    const Lv2TtlWriter::Ui* editor = withUi ? &ui : nullptr;
    const std::string folder = std::string(argv[1]) + "/";
    const ZaRorurarozePlugin plugin(ZaRorurarozePlugin::KeyInput::stereo);
    const Lv2PortTable table(plugin, zaRorurarozeLv2ControlsBeforeMeters);
    std::vector<Lv2TtlWriter::Preset> presets;
    try {
        presets = lv2Presets(table);
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "zaroruraroze-lv2-ttl: %s\n", e.what());
        return 1;
    }
    const std::string stateKey = std::string(zaRorurarozeLv2Uri) + MusicPluginLv2Adaptor::chunkKeySuffix;
    const std::string manifest =
        Lv2TtlWriter::manifest(zaRorurarozeLv2Uri, zaRorurarozeLv2Module, zaRorurarozeLv2Description, presets,
                               zaRorurarozeLv2Presets, editor);
    const bool ok = writeFile(folder + "manifest.ttl", manifest) &&
                    writeFile(folder + zaRorurarozeLv2Description,
                              Lv2TtlWriter::plugin(zaRorurarozeLv2Uri, plugin, table, editor)) &&
                    writeFile(folder + zaRorurarozeLv2Presets,
                              Lv2TtlWriter::presets(zaRorurarozeLv2Uri, stateKey, presets)) &&
                    (!withUi || writeFile(folder + zaRorurarozeLv2UiDescription,
                                          Lv2TtlWriter::ui(zaRorurarozeLv2Uri, ui, table)));
    return ok ? 0 : 1;
}
