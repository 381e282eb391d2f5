#include "Common/musicplugin/PresetBank.h"

#include "Common/Assert.h"
#include "Common/musicplugin/Chunk.h"

#include <stdexcept>
#include <utility>

Preset::Preset(std::string name) : name(std::move(name)) {}

std::string Preset::save() const
{
    std::string text = Chunk::create("Name", name);
    std::string list;
    for (const auto& entry : values)
        Chunk::push_back(list, entry.first, entry.second);
    Chunk::push_back(text, "ParameterList", list);
    return text;
}

void Preset::load(const std::string& text)
{
    std::string newName = name;
    std::map<std::string, std::string> newValues;
    Chunk::Parser parser(text);
    std::string label;
    std::string data;
    while (parser.getChunk(label, data)) {
        if (label == "Name") {
            newName = data;
        } else if (label == "ParameterList") {
            Chunk::Parser valueParser(data);
            std::string key;
            std::string value;
            while (valueParser.getChunk(key, value))
                newValues[key] = value;
        }
    }
    name = std::move(newName);
    values = std::move(newValues);
}

void PresetBank::load(const std::string& text)
{
    Chunk::Parser parser(text);
    std::string listText;
    if (!parser.findChunk("presetList", listText))
        throw std::invalid_argument("Couldn't find presetList chunk");

    std::vector<Preset> newList;
    Chunk::Parser listParser(listText);
    std::string label;
    std::string presetText;
    while (listParser.getChunk(label, presetText)) {
        newList.emplace_back("Default");
        newList.back().load(presetText);
    }
    // The host was told the program count once; the list must not shrink under it.
    while (newList.size() < presetList.size())
        newList.emplace_back("Default");
    presetList = std::move(newList);
}

// Out-of-range indices in release builds answer the nearest preset rather than touching foreign memory.
int PresetBank::validIndex(int curProgram) const
{
    if (curProgram < 0) return 0;
    if (curProgram >= static_cast<int>(presetList.size())) return static_cast<int>(presetList.size()) - 1;
    return curProgram;
}

Preset& PresetBank::getPreset(int curProgram)
{
    ZR_ASSERT(curProgram>=0);
    ZR_ASSERT(curProgram<static_cast<int>(presetList.size()));
    // The list is never empty in use; should it be, a default program keeps the reference valid.
    if (presetList.empty()) presetList.emplace_back("Default");
    return presetList[static_cast<std::size_t>(validIndex(curProgram))];
}

void PresetBank::copyPreset(int source, int destination)
{
    ZR_ASSERT(source>=0);
    ZR_ASSERT(source< static_cast<int>(presetList.size()));
    ZR_ASSERT(destination>=0);
    ZR_ASSERT(destination< static_cast<int>(presetList.size()));
    int size = static_cast<int>(presetList.size());
    if (source < 0 || source >= size || destination < 0 || destination >= size || source == destination)
        return;
    presetList[static_cast<std::size_t>(destination)] = presetList[static_cast<std::size_t>(source)];
}
