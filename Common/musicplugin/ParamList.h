#pragma once
// The ordered list of a plug-in's parameters; its order is the host's parameter index.
//
// Host-facing operations check their index and buffer by assertion and, behind it, guard themselves:
// a bad index or position is ignored, yields 0 or an empty text, so release builds stay safe.

#include <string>
#include <vector>

class Param;
class Preset;

class ParamList
{
public:
    ParamList() = default;
    ParamList(const ParamList&) = delete;
    ParamList& operator=(const ParamList&) = delete;
    // Frees only the array: the parameters belong to the plug-in.
    ~ParamList() = default;

    void add(Param* param);
    int numParams() const;
    // The parameter at a host index, or null for an index out of range: for bridges that describe the
    // parameters in their own terms.
    Param* param(int index);
    const Param* param(int index) const;
    // All of them in host order, for bridges that keep their own copy of the list.
    const std::vector<Param*>& params() const { return list; }

    std::string getDisplayName(int index) const;
    std::string getDisplayValue(int index) const;
    std::string getDisplayUnits(int index) const;

    // Replaces the preset's values (not its name) by every parameter's save text, leaving out a parameter
    // that omits itself while it holds its default.
    void savePreset(Preset& preset) const;
    // Parameters without an entry in the preset go back to their defaults.
    void loadPreset(const Preset& preset);

    void vstSetParameter(int index, float value);
    float vstGetParameter(int index) const;
    // dest needs room for 9 bytes: at most 8 characters and a terminating zero.
    void vstGetParameterName(int index, char* dest) const;
    void vstGetParameterLabel(int index, char* dest) const;
    void vstGetParameterDisplay(int index, char* dest) const;

private:
    bool checkIndex(int index) const;
    // The host-string copy shared by name, label and display: at most 8 characters, zero-padded, dest[8] = 0.
    void copyToHost(int index, char* dest, std::string (ParamList::*text)(int) const) const;

    std::vector<Param*> list;
};
