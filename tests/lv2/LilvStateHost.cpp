// A small lilv host for the state checks: it loads a plug-in as any LV2 host does (LV2_PATH), and
//   lilv-state-host URI save DIR [SYMBOL=VALUE ...]  sets the controls, runs, saves the state into DIR;
//   lilv-state-host URI restore DIR                  restores DIR into a fresh instance and runs.
// Either way it then prints the plug-in's state chunk as the plug-in saves it, and "SYMBOL=VALUE" for every
// control input.

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> uris;
std::map<std::string, LV2_URID> ids;

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri)
{
    auto found = ids.find(uri);
    if (found != ids.end()) return found->second;
    uris.push_back(uri);
    return ids[uri] = static_cast<LV2_URID>(uris.size());
}

const char* unmapUri(LV2_URID_Unmap_Handle, LV2_URID id)
{
    return id >= 1 && id <= uris.size() ? uris[id - 1].c_str() : nullptr;
}

struct Ports
{
    std::map<std::string, uint32_t> controlIndex;
    std::vector<float> values;
};

const void* portValue(const char* symbol, void* userData, uint32_t* size, uint32_t* type)
{
    auto* ports = static_cast<Ports*>(userData);
    auto found = ports->controlIndex.find(symbol);
    if (found == ports->controlIndex.end()) return nullptr;
    *size = sizeof(float);
    *type = mapUri(nullptr, LV2_ATOM__Float);
    return &ports->values[found->second];
}

void setPortValue(const char* symbol, void* userData, const void* value, uint32_t size, uint32_t type)
{
    auto* ports = static_cast<Ports*>(userData);
    auto found = ports->controlIndex.find(symbol);
    if (found != ports->controlIndex.end() && size == sizeof(float) &&
        type == mapUri(nullptr, LV2_ATOM__Float))
        std::memcpy(&ports->values[found->second], value, sizeof(float));
}

LV2_State_Status printChunk(LV2_State_Handle, uint32_t, const void* value, size_t size, uint32_t type,
                            uint32_t)
{
    if (type == mapUri(nullptr, LV2_ATOM__String) && size > 0)
        std::printf("%.*s\n", static_cast<int>(size - 1), static_cast<const char*>(value));
    return LV2_STATE_SUCCESS;
}

int fail(const char* message)
{
    std::fprintf(stderr, "lilv-state-host: %s\n", message);
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || (std::strcmp(argv[2], "save") != 0 && std::strcmp(argv[2], "restore") != 0))
        return fail("usage: lilv-state-host URI save|restore DIR [SYMBOL=VALUE ...]");
    const bool saving = std::strcmp(argv[2], "save") == 0;
    const std::string dir = argv[3];

    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, argv[1]);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    if (plugin == nullptr) return fail("plug-in not found on LV2_PATH");

    LV2_URID_Map map{nullptr, &mapUri};
    LV2_URID_Unmap unmap{nullptr, &unmapUri};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Feature unmapFeature{LV2_URID__unmap, &unmap};
    const LV2_Feature* features[] = {&mapFeature, &unmapFeature, nullptr};
    LilvInstance* instance = lilv_plugin_instantiate(plugin, 48000.0, features);
    if (instance == nullptr) return fail("instantiate failed");

    // Audio ports get a buffer of silence or scratch, controls their defaults, outputs scratch.
    constexpr uint32_t blockFrames = 256;
    const uint32_t numPorts = lilv_plugin_get_num_ports(plugin);
    std::vector<std::vector<float>> audio(numPorts);
    Ports ports;
    ports.values.assign(numPorts, 0.0f);
    LilvNode* audioClass = lilv_new_uri(world, LV2_CORE__AudioPort);
    LilvNode* inputClass = lilv_new_uri(world, LV2_CORE__InputPort);
    std::vector<float> defaults(numPorts, 0.0f);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    for (uint32_t i = 0; i < numPorts; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        if (lilv_port_is_a(plugin, port, audioClass)) {
            audio[i].assign(blockFrames, 0.0f);
            lilv_instance_connect_port(instance, i, audio[i].data());
            continue;
        }
        ports.values[i] = defaults[i];
        if (lilv_port_is_a(plugin, port, inputClass))
            ports.controlIndex[lilv_node_as_string(lilv_port_get_symbol(plugin, port))] = i;
        lilv_instance_connect_port(instance, i, &ports.values[i]);
    }
    lilv_instance_activate(instance);

    if (saving) {
        for (int a = 4; a < argc; ++a) {
            const char* equals = std::strchr(argv[a], '=');
            auto found =
                equals ? ports.controlIndex.find(std::string(argv[a], static_cast<size_t>(equals - argv[a])))
                       : ports.controlIndex.end();
            if (found == ports.controlIndex.end()) return fail("unknown control");
            ports.values[found->second] = std::strtof(equals + 1, nullptr);
        }
        lilv_instance_run(instance, blockFrames); // the plug-in sees the controls before it is saved
        LilvState* state = lilv_state_new_from_instance(plugin, instance, &map, nullptr, nullptr, nullptr,
                                                        dir.c_str(), &portValue, &ports, 0, features);
        if (state == nullptr ||
            lilv_state_save(world, &map, &unmap, state, nullptr, dir.c_str(), "state.ttl") != 0)
            return fail("saving the state failed");
        lilv_state_free(state);
    } else {
        LilvState* state = lilv_state_new_from_file(world, &map, nullptr, (dir + "/state.ttl").c_str());
        if (state == nullptr) return fail("no state in DIR");
        lilv_state_restore(state, instance, &setPortValue, &ports, 0, features);
        lilv_state_free(state);
        lilv_instance_run(instance, blockFrames);
    }

    const auto* iface = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(instance, LV2_STATE__interface));
    if (iface == nullptr ||
        iface->save(lilv_instance_get_handle(instance), &printChunk, nullptr, 0, features) != 0)
        return fail("the plug-in saved no state");
    for (const auto& [symbol, index] : ports.controlIndex)
        std::printf("%s=%.9g\n", symbol.c_str(), ports.values[index]);

    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    lilv_node_free(audioClass);
    lilv_node_free(inputClass);
    lilv_node_free(uri);
    lilv_world_free(world);
    return 0;
}
