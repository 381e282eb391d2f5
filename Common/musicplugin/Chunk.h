#pragma once
// The text format of everything persisted: a label line, then its data with every line indented by one
// more tab. Data may hold further chunks, so the format nests to any depth; a line feed is the only line
// terminator and a tab the only indentation.

#include <sstream>
#include <string>

class Chunk
{
public:
    // label, a line feed, then data with a tab at its start and after every line feed.
    static std::string create(const std::string& label, const std::string& data);
    // text with count tabs inserted at its start and after every line feed.
    static std::string indent(const std::string& text, int count);
    // Appends item to a chunk list, separated from what is there by one line feed.
    static void push_back(std::string& list, const std::string& item);
    static void push_back(std::string& list, const std::string& label, const std::string& data);

    // Reads the chunks of one level, forward only. Nested chunks are read by a new Parser over the data.
    class Parser
    {
    public:
        explicit Parser(const std::string& text);

        // Skips data lines (they begin with a tab) up to the next label line; false at the end.
        bool getLabel(std::string& label);
        // The following data lines with one tab removed from each; empty data when there are none.
        bool getData(std::string& data);
        bool getChunk(std::string& label, std::string& data);
        // Moves past the next label line equal to label; false (at the end) when there is none.
        bool find(const std::string& label);
        // Leaves data unchanged when label is not found.
        bool findChunk(const std::string& label, std::string& data);

    private:
        std::istringstream input;
    };
};
