#pragma once
// The compressor's VST 3 identity, shared by the module and the generator of its preset files.

#include <cstdint>

// The effect class's ID as the four words the interface writes; sessions and preset files store it: never
// change it. The bytes spell "ZaRoruraroze" and "VST3".
constexpr std::uint32_t zaRorurarozeVst3ClassId[4] = {0x5A61526F, 0x72757261, 0x726F7A65, 0x56535433};
constexpr const char* zaRorurarozeVst3SubCategories = "Fx|Dynamics";
// The contact the factory names.
constexpr const char* zaRorurarozeVst3Email = "orrel@quenderlab.org";
