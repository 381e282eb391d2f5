#pragma once
// The JACK client's command line, in the render tool's syntax.

#include "tools/render/OptionReader.h"

#include <string>
#include <vector>

namespace zr::jack
{
struct ClientOptions
{
    std::string serverName; // empty: JACK's default
    std::string clientName = "ZaRoruraroze";
    std::vector<host::Setting> settings;
    std::string presetPath;
    bool connect = false;
    // Ports to connect the key inputs to: one feeds both.
    std::vector<std::string> keySources;
    bool help = false;
};

// Throws host::UsageError.
ClientOptions parseJackCommandLine(const std::vector<std::string>& arguments);

extern const char* const kJackUsageText;
} // namespace zr::jack
