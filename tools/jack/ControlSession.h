#pragma once
// The control side of the JACK client: settings, preset files and the commands typed while it runs. It
// keeps a shadow plug-in instance of its own for everything that allocates or reads text (names, ranges,
// displays, state texts, program names) and reaches the running instance only through RealtimePlugin's
// queue and published values.

#include "ZaRorurarozePlugin.h"
#include "tools/render/SettingResolver.h"

#include <cstdio>
#include <string>
#include <vector>

namespace zr::jack
{
class RealtimePlugin;

class ControlSession
{
public:
    // Replies go to out, one complaint a line to err.
    ControlSession(RealtimePlugin& realtime, std::FILE* out, std::FILE* err);

    // Once the audio thread runs, changes wait for it; before, they are applied here at once.
    void audioStarted() { audioRunning_ = true; }

    // Each throws std::runtime_error (SettingError, PresetFileError, FileError) with a message for the
    // user and then has changed nothing.
    void applySettings(const std::vector<host::Setting>& settings);
    void loadFile(const std::string& path);
    void saveFile(const std::string& path);
    std::string listing();

    // One command line. A bad one gets one line on err and changes nothing. False when it asks to quit.
    bool handleLine(const std::string& line);

    static const char* const kCommandHelp;

private:
    // Brings the shadow's values to what the audio thread applied, after it took every change posted.
    void syncShadow();
    // Queues the shadow's values of the given parameters (all when empty) for the audio thread.
    void sendShadow(const std::vector<int>& indices);
    void setCommand(const std::string& arguments);
    // The setting in "NAME VALUE" (names may hold spaces) or "NAME=VALUE".
    host::Setting splitSetting(const std::string& typed) const;
    std::string displayOf(int index) const;

    RealtimePlugin& realtime_;
    std::FILE* out_;
    std::FILE* err_;
    ZaRorurarozePlugin shadow_;
    std::vector<host::ParameterInfo> parameters_;
    host::SettingResolver resolver_;
    int program_ = 0;
    bool audioRunning_ = false;
};
} // namespace zr::jack
