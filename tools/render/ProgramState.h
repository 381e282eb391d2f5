#pragma once
// The plug-in's program chunk as text: label lines, and data lines indented by one more tab than their
// label, nesting to any depth. A program is the chunk list
//     Name\n\t<name>\nParameterList\n\t<key>\n\t\t<value>...
// This class reads it, changes single values and writes it back byte for byte as the plug-in would.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zr::host
{
class ProgramState
{
public:
    using Entry = std::pair<std::string, std::string>;

    // Splits a chunk list into (label, data) pairs, one tab removed from every data line.
    static std::vector<Entry> parseChunkList(const std::string& text);
    // The inverse: labels unindented, every data line indented by one tab, chunks joined by line feeds.
    static std::string writeChunkList(const std::vector<Entry>& chunks);

    // Reads a program chunk as the plug-in hands it over (the text ends at the first zero byte).
    static ProgramState fromChunk(const std::vector<char>& chunk);
    std::vector<char> toChunk() const;
    std::string toText() const;

    // False when the text has no "ParameterList" chunk: then it is not a state we know how to edit.
    bool hasParameterList() const { return hasParameterList_; }
    const std::string& name() const { return name_; }
    const std::vector<Entry>& parameters() const { return parameters_; }
    std::optional<std::string> value(const std::string& key) const;
    // Replaces the value of an existing key; false when there is no such key.
    bool setValue(const std::string& key, const std::string& value);

private:
    std::vector<Entry> chunks_;     // every top-level chunk, in order, so unknown ones survive a rewrite
    std::vector<Entry> parameters_; // the entries of "ParameterList", in order
    std::string name_;
    bool hasParameterList_ = false;
};
} // namespace zr::host
