#pragma once
// What a plug-in's parameters are, learnt through the VST 2 interface alone: the name the host shows,
// the unit label, and - for a plug-in whose program chunk is the tab-indented text format - the key
// under which the chunk stores each parameter and its range in base units. The chunk does not say which
// key belongs to which index, so each knob is moved to both ends and the changed key is watched; the
// state found at the start is restored afterwards.

#include "tools/render/SettingResolver.h"

#include <string>
#include <vector>

namespace zr::host
{
class VstHost;

class ParameterCatalog
{
public:
    // Explores every parameter of the plug-in and leaves its state as it found it.
    explicit ParameterCatalog(VstHost& host);

    const std::vector<ParameterInfo>& parameters() const { return parameters_; }
    // Whether exact values can be set through the program chunk text.
    bool editsChunk() const { return editsChunk_; }

    // By the name the host shows (also by its first 8 characters, the length hosts cut names to) or by
    // the save key, case-insensitive. Throws SettingError listing the valid names when none matches.
    const ParameterInfo& find(const std::string& name) const;
    std::string validNames() const;

    // Checks every setting first and throws SettingError before changing anything; then sets all exact
    // values in one program-chunk edit, the knob positions after it, and checks that the plug-in took
    // them.
    void apply(VstHost& host, const std::vector<Setting>& settings) const;

    // The program chunk as text (empty when the plug-in keeps none).
    static std::string stateText(VstHost& host);

private:
    std::vector<ParameterInfo> parameters_;
    bool editsChunk_ = false;
};
} // namespace zr::host
