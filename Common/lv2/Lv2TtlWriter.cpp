#include "Common/lv2/Lv2TtlWriter.h"

#include "Common/lv2/Lv2PortTable.h"
#include "Common/musicplugin/MusicPlugin.h"

#include <cstdlib>
#include <locale>
#include <map>
#include <sstream>

namespace
{
// Turtle string literal: quotes and backslashes escaped, and line feeds, tabs and carriage returns as
// escapes, so a multi-line text reads back byte for byte.
std::string literal(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
    }
    return out + "\"";
}

const char* unitTerm(Lv2PortTable::Unit unit)
{
    switch (unit) {
    case Lv2PortTable::Unit::hz:
        return "units:hz";
    case Lv2PortTable::Unit::db:
        return "units:db";
    case Lv2PortTable::Unit::ms:
        return "units:ms";
    case Lv2PortTable::Unit::percent:
        return "units:pc";
    default:
        return nullptr;
    }
}

// The unit line of a port: a standard unit, or one of the plug-in's own labelled with its display label.
std::string unitLines(Lv2PortTable::Unit unit, const std::string& label)
{
    if (const char* term = unitTerm(unit)) return std::string("        units:unit ") + term + " ;\n";
    if (unit != Lv2PortTable::Unit::custom) return "";
    return "        units:unit [\n            a units:Unit ;\n            rdfs:label " + literal(label) +
           " ;\n            units:symbol " + literal(label) + " ;\n            units:render " +
           literal("%f " + label) + "\n        ] ;\n";
}
// A preset's subject, class, plug-in and label, as both the manifest and the presets file begin it.
std::string presetHead(const std::string& pluginUri, const Lv2TtlWriter::Preset& preset)
{
    return "\n<" + preset.uri + ">\n    a pset:Preset ;\n    lv2:appliesTo <" + pluginUri +
           "> ;\n    rdfs:label " + literal(preset.label);
}
} // namespace

namespace Lv2TtlWriter
{
std::string number(float value)
{
    std::string text;
    for (int digits = 6; digits <= 9; ++digits) {
        std::ostringstream stream;
        stream.imbue(std::locale::classic());
        stream.precision(digits);
        stream << value;
        text = stream.str();
        if (std::strtof(text.c_str(), nullptr) == value) break;
    }
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

std::string manifest(const std::string& uri, const std::string& moduleFile, const std::string& pluginFile,
                     const std::vector<Preset>& presets, const std::string& presetsFile, const Ui* ui)
{
    std::string ttl = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n";
    if (!presets.empty()) ttl += "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n";
    ttl += "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
    if (ui != nullptr) ttl += "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n";
    ttl += "\n<" + uri + ">\n    a lv2:Plugin ;\n    lv2:binary <" + moduleFile + "> ;\n    rdfs:seeAlso <" +
           pluginFile + "> .\n";
    for (const Preset& preset : presets)
        ttl += presetHead(uri, preset) + " ;\n    rdfs:seeAlso <" + presetsFile + "> .\n";
    if (ui != nullptr)
        ttl += "\n<" + ui->uri + ">\n    a ui:X11UI ;\n    ui:binary <" + ui->moduleFile +
               "> ;\n    rdfs:seeAlso <" + ui->descriptionFile + "> .\n";
    return ttl;
}

std::string ui(const std::string& pluginUri, const Ui& ui, const Lv2PortTable& table)
{
    std::string ttl = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                      "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n\n"
                      "<" +
                      ui.uri +
                      ">\n    a ui:X11UI ;\n"
                      // Embedded in the host's window, idled by the host: no thread and no window of its own.
                      "    lv2:requiredFeature ui:idleInterface, ui:parent ;\n"
                      "    lv2:optionalFeature ui:resize, ui:touch ;\n"
                      "    lv2:extensionData ui:idleInterface";
    // Hosts send only control inputs unless asked: the meters are outputs.
    for (const Lv2PortTable::Meter& m : table.meters())
        ttl += " ;\n    ui:portNotification [\n        ui:plugin <" + pluginUri + "> ;\n        lv2:symbol " +
               literal(m.symbol) + " ;\n        ui:protocol ui:floatProtocol\n    ]";
    return ttl + " .\n";
}

std::string presets(const std::string& uri, const std::string& stateKey, const std::vector<Preset>& presets)
{
    std::string ttl = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                      "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                      "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                      "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                      "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n";
    // Validators want every property described; this one is the plug-in's own.
    ttl += "\n<" + stateKey +
           ">\n    a rdf:Property ;\n    rdfs:label \"state chunk\" ;\n"
           "    rdfs:comment \"The plug-in's settings as the chunk text a VST 2 host stores.\" .\n";
    for (const Preset& preset : presets) {
        ttl +=
            presetHead(uri, preset) + " ;\n    rdfs:comment " + literal(preset.comment) + " ;\n    lv2:port";
        const char* separator = " [\n";
        for (const auto& [symbol, value] : preset.ports) {
            ttl += separator;
            ttl += "        lv2:symbol " + literal(symbol) + " ;\n        pset:value " + number(value) +
                   "\n    ]";
            separator = " , [\n";
        }
        ttl += " ;\n    state:state [\n        <" + stateKey + "> " + literal(preset.state) + "\n    ] .\n";
    }
    return ttl;
}

std::string plugin(const std::string& uri, const MusicPlugin& plugin, const Lv2PortTable& table, const Ui* ui)
{
    std::ostringstream ttl;
    ttl << "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
           "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
           "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
           "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix pprop: <http://lv2plug.in/ns/ext/port-props#> .\n"
           "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
           "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
           "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
           "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";
    ttl << "<" << uri << ">\n"
        << "    a lv2:Plugin, lv2:CompressorPlugin, doap:Project ;\n"
        << "    doap:name " << literal(plugin.effectName) << " ;\n"
        << "    doap:maintainer [ foaf:name " << literal(plugin.vendorName) << " ] ;\n"
        << "    lv2:minorVersion 0 ;\n    lv2:microVersion 0 ;\n"
        // Nothing is required: a host without any feature still runs it (only the state needs urid:map).
        << "    lv2:optionalFeature lv2:hardRTCapable, urid:map ;\n"
        << "    lv2:extensionData state:interface ;\n"
        << (ui != nullptr ? "    ui:ui <" + ui->uri + "> ;\n" : std::string()) << "    lv2:port";
    // Each port's description by its index, so the file lists them in index order.
    std::map<int, std::string> ports;
    const auto open = [](const char* direction, const char* kind, int index, const std::string& symbol,
                         const std::string& name) {
        return std::string("        a lv2:") + direction + ", lv2:" + kind + " ;\n" + "        lv2:index " +
               std::to_string(index) + " ;\n" + "        lv2:symbol " + literal(symbol) + " ;\n" +
               "        lv2:name " + literal(name);
    };
    // A control port's range, then its further property lines (each ending " ;\n").
    const auto close = [](float defaultValue, float minimum, float maximum, const std::string& lines) {
        std::string text = " ;\n        lv2:default " + number(defaultValue) + " ;\n" +
                           "        lv2:minimum " + number(minimum) + " ;\n" + "        lv2:maximum " +
                           number(maximum);
        if (!lines.empty()) text += " ;\n" + lines.substr(0, lines.size() - 3);
        return text;
    };
    for (int port = 0; port < table.numAudioInputs() + table.numAudioOutputs(); ++port)
        ports[port] = open(port < table.numAudioInputs() ? "InputPort" : "OutputPort", "AudioPort", port,
                           table.audioSymbol(port), table.audioName(port));
    // A key input drives the plug-in without being a main input; a host may leave it unconnected.
    for (int port = table.firstKeyPort(); port < table.firstKeyPort() + table.numKeyInputs(); ++port)
        ports[port] = open("InputPort", "AudioPort", port, table.audioSymbol(port), table.audioName(port)) +
                      " ;\n        lv2:portProperty lv2:isSideChain, lv2:connectionOptional";
    for (const Lv2PortTable::Control& c : table.controls()) {
        std::string lines = unitLines(c.unit, c.label);
        if (c.kind == Lv2PortTable::Kind::toggle)
            lines += "        lv2:portProperty lv2:toggled, lv2:integer ;\n";
        else if (c.kind == Lv2PortTable::Kind::integer)
            lines += "        lv2:portProperty lv2:integer ;\n";
        else if (c.logarithmic)
            lines += "        lv2:portProperty pprop:logarithmic ;\n";
        if (c.zeroAtMinimum)
            lines += "        lv2:scalePoint [ rdfs:label " +
                     literal(c.unit == Lv2PortTable::Unit::db ? "-inf" : "0") + " ; rdf:value " +
                     number(c.minimum) + " ] ;\n";
        ports[c.portIndex] = open("InputPort", "ControlPort", c.portIndex, c.symbol, c.name) +
                             close(c.defaultValue, c.minimum, c.maximum, lines);
    }
    for (const Lv2PortTable::Meter& m : table.meters()) {
        std::string lines = unitLines(m.unit, m.label);
        // Band levels and the like are for the plug-in's own editor; generic interfaces leave them out.
        if (m.editorOnly) lines += "        lv2:portProperty pprop:notOnGUI ;\n";
        ports[m.portIndex] = open("OutputPort", "ControlPort", m.portIndex, m.symbol, m.name) +
                             close(m.minimum, m.minimum, m.maximum, lines);
    }
    const char* separator = " [\n";
    for (const auto& entry : ports) {
        ttl << separator << entry.second << "\n    ]";
        separator = " , [\n";
    }
    ttl << " .\n";
    return ttl.str();
}
} // namespace Lv2TtlWriter
