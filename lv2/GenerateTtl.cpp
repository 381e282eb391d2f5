// Writes the bundle's manifest.ttl and plug-in description from the plug-in's own parameter list, at build
// time: zaroruraroze-lv2-ttl BUNDLE_FOLDER.

#include "Common/musicplugin/Lv2PortTable.h"
#include "Common/musicplugin/Lv2TtlWriter.h"
#include "ZaRorurarozePlugin.h"
#include "lv2/ZaRorurarozeLv2.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace
{
bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file)
        std::fprintf(stderr, "zaroruraroze-lv2-ttl: cannot write %s\n", path.c_str());
    return static_cast<bool>(file);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: zaroruraroze-lv2-ttl BUNDLE_FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const ZaRorurarozePlugin plugin;
    const Lv2PortTable table(plugin);
    const bool ok = writeFile(folder + "manifest.ttl", Lv2TtlWriter::manifest(zaRorurarozeLv2Uri, zaRorurarozeLv2Module,
                                                                            zaRorurarozeLv2Description)) &&
                    writeFile(folder + zaRorurarozeLv2Description,
                              Lv2TtlWriter::plugin(zaRorurarozeLv2Uri, plugin, table));
    return ok ? 0 : 1;
}
