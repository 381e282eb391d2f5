#include "ToolRunner.h"

#include "tools/render/ProgramState.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <iterator>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zr::test
{
namespace
{
std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*)
{
    return std::remove(path);
}
} // namespace

ToolResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment)
{
    // Output goes to files rather than pipes, so a chatty tool can never block on a full pipe.
    char outPath[] = "/tmp/zr-tool-out-XXXXXX";
    char errPath[] = "/tmp/zr-tool-err-XXXXXX";
    const int outFd = mkstemp(outPath);
    const int errFd = mkstemp(errPath);
    if (outFd < 0 || errFd < 0) throw std::runtime_error("cannot create capture files");

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& mine : environment)
            replaced = replaced || entry.compare(0, mine.find('=') + 1, mine, 0, mine.find('=') + 1) == 0;
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), environment.begin(), environment.end());

    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outFd);
    close(errFd);
    ToolResult result;
    if (spawned == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) result.killedBy = WTERMSIG(status);
    }
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    unlink(outPath);
    unlink(errPath);
    return result;
}

ToolResult runRender(const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
{
    std::vector<std::string> all;
    bool namesPlugin = false;
    for (const std::string& a : arguments)
        namesPlugin = namesPlugin || a == "--plugin";
    if (!namesPlugin) all = {"--plugin", ZR_GAIN_TEST_PLUGIN};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runProgram(ZR_RENDER_TOOL, all, environment);
}

ToolResult runRealRender(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), {"--plugin", ZR_REAL_PLUGIN});
    return runRender(arguments);
}

ScratchFolder::ScratchFolder()
{
    char pattern[] = "/tmp/zr-tools-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot create a scratch folder");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder()
{
    nftw(path_.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::vector<std::string> ScratchFolder::entries() const
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(path_.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void writeSound(const std::string& path, int format, int channels, int sampleRateHz,
                const std::vector<float>& interleaved)
{
    SF_INFO info = {};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRateHz;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size()) / channels);
    sf_close(file);
}

std::vector<float> readSound(const std::string& path, SF_INFO& info)
{
    info = SF_INFO{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> readBytes(const std::string& path)
{
    const std::string text = slurp(path);
    return std::vector<unsigned char>(text.begin(), text.end());
}

std::vector<std::pair<std::string, double>> stateValues(const std::string& stateText)
{
    std::vector<char> chunk(stateText.begin(), stateText.end());
    chunk.push_back('\0');
    std::vector<std::pair<std::string, double>> values;
    const host::ProgramState state = host::ProgramState::fromChunk(chunk);
    for (const auto& [key, text] : state.parameters())
        values.emplace_back(key, text == "true"    ? 1.0
                                 : text == "false" ? 0.0
                                                   : std::strtod(text.c_str(), nullptr));
    return values;
}
} // namespace zr::test
