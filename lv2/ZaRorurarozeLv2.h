#pragma once
// The compressor's LV2 identity, shared by the module and the generator of its description.

// Its name in every LV2 session and preset: never change it.
constexpr const char* zaRorurarozeLv2Uri = "urn:quenderlab:zaroruraroze";
// File names inside the bundle ZaRoruraroze.lv2.
constexpr const char* zaRorurarozeLv2Module = "zaroruraroze.so";
constexpr const char* zaRorurarozeLv2Description = "zaroruraroze.ttl";
constexpr const char* zaRorurarozeLv2Presets = "presets.ttl";
// A factory preset's URI is this followed by its slug; sessions and host menus store it: never change it.
constexpr const char* zaRorurarozeLv2PresetPrefix = "urn:quenderlab:zaroruraroze#preset-";
