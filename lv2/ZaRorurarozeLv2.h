#pragma once
// The compressor's LV2 identity, shared by the module and the generator of its description.

#include "ZaRorurarozeParam.h"

// Its name in every LV2 session and preset: never change it.
constexpr const char* zaRorurarozeLv2Uri = "urn:quenderlab:zaroruraroze";
// File names inside the bundle ZaRoruraroze.lv2.
constexpr const char* zaRorurarozeLv2Module = "zaroruraroze.so";
constexpr const char* zaRorurarozeLv2Description = "zaroruraroze.ttl";
constexpr const char* zaRorurarozeLv2Presets = "presets.ttl";
// Its editor: an X11 UI in a module of its own; hosts store the URI with a session's window settings.
constexpr const char* zaRorurarozeLv2UiUri = "urn:quenderlab:zaroruraroze#ui";
constexpr const char* zaRorurarozeLv2UiModule = "zaroruraroze_ui.so";
constexpr const char* zaRorurarozeLv2UiDescription = "zaroruraroze_ui.ttl";
// The parameters whose control ports come before the meters' (the plug-in's first eleven); Sd Source,
// which came with the key inputs, follows those: every port keeps the index it had.
constexpr int zaRorurarozeLv2ControlsBeforeMeters = ZaRorurarozeParam::count;
// A factory preset's URI is this followed by its slug; sessions and host menus store it: never change it.
constexpr const char* zaRorurarozeLv2PresetPrefix = "urn:quenderlab:zaroruraroze#preset-";
