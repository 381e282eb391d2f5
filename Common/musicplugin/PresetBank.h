#pragma once
// Programs: a preset is a name and the save texts of the parameters by save name; the bank is the list of
// presets in program order. Both travel as chunk text.

#include <map>
#include <string>
#include <vector>

class Preset
{
public:
    explicit Preset(std::string name);

    // Two chunks: "Name" with the name, "ParameterList" with one chunk per value in key order.
    std::string save() const;
    // Replaces name and values; a text without "Name" keeps the name, without "ParameterList" empties values.
    void load(const std::string& text);

    std::string name;
    // Ordered by byte value, so the text of a preset does not depend on the order parameters were saved.
    std::map<std::string, std::string> values;
};

class PresetBank
{
public:
    // Reads the "presetList" chunk of a bank text, whatever the inner labels. The list never shrinks:
    // missing presets become empty "Default" ones. Throws std::invalid_argument, changing nothing, when
    // the text has no "presetList" chunk.
    void load(const std::string& text);

    Preset& getPreset(int curProgram);
    void copyPreset(int source, int destination);

    std::vector<Preset> presetList;

private:
    int validIndex(int curProgram) const;
};
