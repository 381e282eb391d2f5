#pragma once
// Walks a tool's command line: options as "--name value" or "--name=value", flags, and the plain
// arguments between them. Shared by the tools so they read options, and word their complaints, alike.

#include "tools/render/SettingResolver.h"

#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace zr::host
{
// A command line that does not make sense; the tool answers it with the usage text.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class OptionReader
{
public:
    explicit OptionReader(const std::vector<std::string>& arguments);

    // Moves to the next argument; false after the last. Throws UsageError for a short option ("-x").
    bool next();
    // Whether the current argument is an option; if not, name() is the plain argument itself.
    bool isOption() const { return isOption_; }
    const std::string& name() const { return name_; }
    // The option's value, inline or the next argument. Throws UsageError when there is none.
    std::string value();
    // For an option without a value: throws UsageError when one was given inline.
    bool flag() const;

private:
    const std::vector<std::string>& arguments_;
    std::size_t next_ = 0;
    std::string name_;
    std::string inlineValue_;
    bool hasInlineValue_ = false;
    bool isOption_ = false;
};

// The frame of a tool's main: parse(arguments) gives the options or throws UsageError, answered with the
// usage text and status 2; options.help prints the usage text; run(options) gives the status, and any
// exception from it becomes one line and status 1.
template <typename Parse, typename Run>
int runTool(const char* toolName, const char* usageText, int argc, char** argv, Parse parse, Run run)
{
    decltype(parse(std::vector<std::string>())) options;
    try {
        options = parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s: %s\n%s", toolName, e.what(), usageText);
        return 2;
    }
    if (options.help) {
        std::fputs(usageText, stdout);
        return 0;
    }
    try {
        return run(options);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", toolName, e.what());
        return 1;
    }
}

// The NAME=VALUE text of a --set option. Throws UsageError when it is not of that form.
Setting parseSettingOption(const std::string& text);
} // namespace zr::host
