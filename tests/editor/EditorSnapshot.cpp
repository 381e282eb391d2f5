// Paints the compressor's editor offline, as a window would show it, and writes the canvas as a binary PPM:
// the reference a screenshot of the real editor is compared with, and the manual's pictures.
// Usage: editor-snapshot OUT.ppm [--key] [--scale N] [--knob INDEX=POS]... [--meter INDEX=DB]...
// --key: the editor of the plug-in with a key input (LV2, VST3, CLAP). Knobs not given stand where a fresh
// plug-in holds them. Prints each control's centre, "knob I X Y", for scripts that aim the mouse at it, and
// each knob's value in its unit, "value I VALUE", for hosts that speak plain values.

#include "Common/gui/ParamControl.h"
#include "Common/musicplugin/RealParam.h"
#include "RecordingEditorHost.h"
#include "ZaRorurarozePlugin.h"
#include "editor/ZaRorurarozeEditor.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(
            stderr,
            "usage: editor-snapshot OUT.ppm [--key] [--scale N] [--knob I=POS]... [--meter I=DB]...\n");
        return 2;
    }
    const bool withKey = argc > 2 && std::strcmp(argv[2], "--key") == 0;
    const auto keyInput = withKey ? ZaRorurarozePlugin::KeyInput::stereo : ZaRorurarozePlugin::KeyInput::none;
    RecordingEditorHost host;
    ZaRorurarozePlugin fresh(keyInput);
    const int numParams = fresh.paramList.numParams();
    for (int i = 0; i < numParams; ++i)
        host.positions[static_cast<std::size_t>(i)] = fresh.paramList.param(i)->getKnobPos();
    int scale = 100;
    for (int a = withKey ? 3 : 2; a + 1 < argc; a += 2) {
        const std::string option = argv[a];
        const char* value = argv[a + 1];
        int index = 0;
        double number = 0.0;
        if (option == "--scale")
            scale = std::atoi(value);
        else if (std::sscanf(value, "%d=%lf", &index, &number) == 2 && option == "--knob")
            host.positions.at(static_cast<std::size_t>(index)) = number;
        else if (std::sscanf(value, "%d=%lf", &index, &number) == 2 && option == "--meter")
            host.meters.at(static_cast<std::size_t>(index)) = number;
        else {
            std::fprintf(stderr, "editor-snapshot: bad option %s %s\n", option.c_str(), value);
            return 2;
        }
    }
    ZaRorurarozeEditor editor(host, keyInput);
    editor.setScale(scale);
    editor.idle(0.0);
    editor.paint();
    for (int i = 0; i < numParams; ++i) {
        const Point centre = editor.control(i).centre(editor.style());
        std::printf("knob %d %d %d\n", i, static_cast<int>(centre.x), static_cast<int>(centre.y));
        if (auto* real = dynamic_cast<RealParam*>(fresh.paramList.param(i))) {
            real->setKnobPos(host.positions[static_cast<std::size_t>(i)]);
            std::printf("value %d %.17g\n", i, real->getValue());
        }
    }
    const Canvas& canvas = editor.canvas();
    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) return 1;
    std::fprintf(out, "P6\n%d %d\n255\n", canvas.width(), canvas.height());
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            const Colour c = canvas.pixel(x, y);
            const unsigned char rgb[3] = {static_cast<unsigned char>(c >> 16),
                                          static_cast<unsigned char>(c >> 8), static_cast<unsigned char>(c)};
            std::fwrite(rgb, 1, 3, out);
        }
    return std::fclose(out) == 0 ? 0 : 1;
}
