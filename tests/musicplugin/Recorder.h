#pragma once
// A listener that writes "name:value" into a shared log, so tests can check who was called, with what,
// in which order, and when it was deleted.

#include "Common/musicplugin/ValueListener.h"

#include <locale>
#include <sstream>
#include <string>
#include <vector>

using Log = std::vector<std::string>;

template <typename T> class Recorder : public ValueListener<T>
{
public:
    Recorder(Log& log, std::string name) : log_(log), name_(std::move(name)) {}
    ~Recorder() override { log_.push_back("~" + name_); }

    void valueChanged(T newValue) override { log_.push_back(entry(name_, newValue)); }

    // The log line for one call; 17 digits tell any two doubles apart.
    static std::string entry(const std::string& name, T value)
    {
        std::ostringstream text;
        text.imbue(std::locale::classic());
        text.precision(17);
        text << name << ':' << value;
        return text.str();
    }

private:
    Log& log_;
    std::string name_;
};
