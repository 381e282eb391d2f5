#include "tools/render/ProgramState.h"

#include <algorithm>
#include <cstring>

namespace zr::host
{
namespace
{
const char* const kNameLabel = "Name";
const char* const kParameterListLabel = "ParameterList";
} // namespace

std::vector<ProgramState::Entry> ProgramState::parseChunkList(const std::string& text)
{
    std::vector<Entry> chunks;
    bool inChunk = false;
    bool firstDataLine = true;
    std::size_t lineStart = 0;
    // A final line feed ends the last line; it does not start an empty one.
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = text.size();
        const std::string line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (!line.empty() && line[0] == '\t') {
            // Data lines before the first label belong to no chunk and are skipped.
            if (!inChunk) continue;
            std::string& data = chunks.back().second;
            if (!firstDataLine) data += '\n';
            data.append(line, 1, std::string::npos);
            firstDataLine = false;
        } else {
            chunks.emplace_back(line, std::string());
            inChunk = true;
            firstDataLine = true;
        }
    }
    return chunks;
}

std::string ProgramState::writeChunkList(const std::vector<Entry>& chunks)
{
    std::string text;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (i > 0) text += '\n';
        text += chunks[i].first;
        text += "\n\t";
        for (char c : chunks[i].second) {
            text += c;
            if (c == '\n') text += '\t';
        }
    }
    return text;
}

ProgramState ProgramState::fromChunk(const std::vector<char>& chunk)
{
    const std::size_t length = chunk.empty() ? 0 : strnlen(chunk.data(), chunk.size());
    ProgramState state;
    state.chunks_ = parseChunkList(std::string(chunk.data(), length));
    for (const Entry& entry : state.chunks_) {
        if (entry.first == kNameLabel) {
            state.name_ = entry.second;
        } else if (entry.first == kParameterListLabel) {
            // A later duplicate key wins, as it does when the plug-in loads the text.
            state.parameters_.clear();
            for (const Entry& parameter : parseChunkList(entry.second)) {
                auto same = std::find_if(state.parameters_.begin(), state.parameters_.end(),
                                         [&](const Entry& e) { return e.first == parameter.first; });
                if (same != state.parameters_.end())
                    same->second = parameter.second;
                else
                    state.parameters_.push_back(parameter);
            }
            state.hasParameterList_ = true;
        }
    }
    return state;
}

std::string ProgramState::toText() const
{
    std::vector<Entry> chunks = chunks_;
    for (Entry& entry : chunks)
        if (entry.first == kParameterListLabel) entry.second = writeChunkList(parameters_);
    return writeChunkList(chunks);
}

std::vector<char> ProgramState::toChunk() const
{
    const std::string text = toText();
    std::vector<char> chunk(text.begin(), text.end());
    chunk.push_back('\0');
    return chunk;
}

std::optional<std::string> ProgramState::value(const std::string& key) const
{
    for (const Entry& entry : parameters_)
        if (entry.first == key) return entry.second;
    return std::nullopt;
}

bool ProgramState::setValue(const std::string& key, const std::string& value)
{
    for (Entry& entry : parameters_) {
        if (entry.first == key) {
            entry.second = value;
            return true;
        }
    }
    return false;
}
} // namespace zr::host
