#pragma once
// Helpers for the end-to-end tests: run a built tool and capture what it says, scratch folders, and
// small sound files.

#include <sndfile.h>
#include <string>
#include <vector>

namespace zr::test
{
struct ToolResult
{
    int exitCode = -1; // -1 when the process did not exit normally
    int killedBy = 0;  // the signal that ended it, if one did
    std::string out;
    std::string err;
};

// Runs a program with the arguments; environment entries "NAME=value" replace or add to ours.
ToolResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment = {});
// The render tool with the gain test plug-in unless the arguments name another.
ToolResult runRender(const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment = {});
// The render tool with the compressor's binary.
ToolResult runRealRender(std::vector<std::string> arguments);

// A fresh folder, removed with everything in it at the end of the test.
class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& root() const { return path_; }
    std::string path(const std::string& name) const { return path_ + "/" + name; }
    // Names of the entries, hidden ones included, sorted.
    std::vector<std::string> entries() const;

private:
    std::string path_;
};

void writeSound(const std::string& path, int format, int channels, int sampleRateHz,
                const std::vector<float>& interleaved);
std::vector<float> readSound(const std::string& path, SF_INFO& info);
void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> readBytes(const std::string& path);

// The program chunk text's parameter values by key (the tool's --print-state output).
std::vector<std::pair<std::string, double>> stateValues(const std::string& stateText);
} // namespace zr::test
