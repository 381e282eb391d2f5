// vst3-knobs ID=PLAIN...: the knob position the plug-in receives when Ardour 7 sets a parameter to a plain
// value: Ardour passes the value as a float, converts it with the plug-in's plainParamToNormalized and
// queues the result as a float. One "ID=POSITION" line per argument, with nine significant digits (a
// float's exact text), so the render tool can be given the very same positions.

#include "tests/vst3/Vst3TestHost.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    vst3test::Instance instance;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto equals = arg.find('=');
        if (equals == std::string::npos) {
            std::fprintf(stderr, "usage: vst3-knobs ID=PLAIN...\n");
            return 2;
        }
        const auto id = static_cast<vst3::ParamID>(std::stoul(arg.substr(0, equals)));
        const float plain = std::stof(arg.substr(equals + 1));
        const float position = static_cast<float>(instance.controller->plainParamToNormalized(id, plain));
        std::printf("%u=%.9g\n", id, position);
    }
    return 0;
}
