#include "Common/musicplugin/Chunk.h"

std::string Chunk::create(const std::string& label, const std::string& data)
{
    return indent(label, 0) + "\n" + indent(data, 1);
}

std::string Chunk::indent(const std::string& text, int count)
{
    const std::string tabs(count > 0 ? static_cast<std::size_t>(count) : 0, '\t');
    std::string result = tabs;
    result.reserve(text.size() + tabs.size());
    for (char c : text) {
        result += c;
        if (c == '\n') result += tabs;
    }
    return result;
}

void Chunk::push_back(std::string& list, const std::string& item)
{
    if (!list.empty()) list += '\n';
    list += item;
}

void Chunk::push_back(std::string& list, const std::string& label, const std::string& data)
{
    push_back(list, create(label, data));
}

Chunk::Parser::Parser(const std::string& text) : input(text) {}

bool Chunk::Parser::getLabel(std::string& label)
{
    std::string line;
    while (std::getline(input, line)) {
        if (line.empty() || line[0] != '\t') {
            label = line;
            return true;
        }
    }
    return false;
}

bool Chunk::Parser::getData(std::string& data)
{
    data.clear();
    bool first = true;
    std::string line;
    while (input.peek() == '\t' && std::getline(input, line)) {
        if (!first) data += '\n';
        data.append(line, 1, std::string::npos);
        first = false;
    }
    return !input.bad();
}

bool Chunk::Parser::getChunk(std::string& label, std::string& data)
{
    if (!getLabel(label)) return false;
    return getData(data);
}

bool Chunk::Parser::find(const std::string& label)
{
    std::string line;
    while (getLabel(line)) {
        if (line == label) return true;
    }
    return false;
}

bool Chunk::Parser::findChunk(const std::string& label, std::string& data)
{
    if (!find(label)) return false;
    return getData(data);
}
