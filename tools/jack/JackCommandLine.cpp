#include "tools/jack/JackCommandLine.h"

namespace zr::jack
{
const char* const kJackUsageText =
    "usage: zaroruraroze-jack [options]\n"
    "Runs the ZaRoruraroze compressor as a JACK client with the ports in_left, in_right, out_left and\n"
    "out_right, and the key (side-chain) inputs key_left and key_right, which drive the detector while Sd\n"
    "Source is \"key\". It never starts a JACK server.\n"
    "\n"
    "  --server NAME        the JACK server to join (default: $JACK_DEFAULT_SERVER or \"default\")\n"
    "  --name CLIENT        the client's name (default \"ZaRoruraroze\")\n"
    "  --set NAME=VALUE     sets a parameter; NAME as a host shows it (\"Threshold\", \"Out Gain\") or as\n"
    "                       presets store it (\"threshold\"); VALUE in its unit: -12, -12dB, -inf, 1.5k,\n"
    "                       10ms, 50%, on/off, or @0.25 for a knob position. Repeatable.\n"
    "  --preset FILE        loads a program (.fxp) or bank (.fxb) file first\n"
    "  --connect            connects to the system's capture and playback ports\n"
    "  --connect-key PORTS  connects the key inputs to these ports, given as LEFT,RIGHT or one port for\n"
    "                       both (such as Voice:out_1,Voice:out_2)\n"
    "  --help               this text\n"
    "\n"
    "Standard input takes one command a line while it runs:\n"
    "  set NAME VALUE       as --set (also set NAME=VALUE)\n"
    "  list                 the parameters with their current values\n"
    "  save FILE            writes the state as a program (.fxp) or bank (.fxb) file\n"
    "  load FILE            loads a program or bank file\n"
    "  quit                 ends it, as do the end of input, Ctrl-C and SIGTERM\n";

ClientOptions parseJackCommandLine(const std::vector<std::string>& arguments)
{
    ClientOptions options;
    host::OptionReader reader(arguments);
    while (reader.next()) {
        const std::string& name = reader.name();
        if (!reader.isOption()) {
            throw host::UsageError("unexpected argument '" + name + "'");
        } else if (name == "--server") {
            options.serverName = reader.value();
        } else if (name == "--name") {
            options.clientName = reader.value();
            if (options.clientName.empty()) throw host::UsageError("--name wants a client name");
        } else if (name == "--set") {
            options.settings.push_back(host::parseSettingOption(reader.value()));
        } else if (name == "--preset") {
            options.presetPath = reader.value();
        } else if (name == "--connect") {
            options.connect = reader.flag();
        } else if (name == "--connect-key") {
            const std::string ports = reader.value();
            const std::size_t comma = ports.find(',');
            options.keySources = {ports.substr(0, comma)};
            if (comma != std::string::npos) options.keySources.push_back(ports.substr(comma + 1));
            for (const std::string& port : options.keySources)
                if (port.empty() || port.find(',') != std::string::npos)
                    throw host::UsageError("--connect-key wants one or two port names: LEFT,RIGHT");
        } else if (name == "--help") {
            options.help = reader.flag();
        } else {
            throw host::UsageError("unknown option " + name);
        }
    }
    return options;
}
} // namespace zr::jack
