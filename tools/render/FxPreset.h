#pragma once
// Program (.fxp) and bank (.fxb) files in the published VST 2 layout: a big-endian 'CcnK' record holding
// either the parameter values ('FxCk' program, 'FxBk' bank of programs) or the plug-in's opaque state
// ('FPCh' program chunk, 'FBCh' bank chunk).

#include "Common/vst/VstInterface.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace zr::host
{
class VstHost;

// A file that cannot be read as a preset, or that does not fit the plug-in; the message says why.
class PresetFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class FxKind
{
    ProgramParams, // 'FxCk'
    ProgramChunk,  // 'FPCh'
    BankParams,    // 'FxBk'
    BankChunk,     // 'FBCh'
};

struct FxProgram
{
    std::string name;
    std::vector<float> knobPositions;
};

struct FxPreset
{
    FxKind kind = FxKind::ProgramChunk;
    VstInt32 pluginId = 0;
    VstInt32 pluginVersion = 0;
    // Programs: the parameter count of the plug-in that wrote the file; bank chunks: its program count.
    VstInt32 count = 0;
    VstInt32 currentProgram = 0;     // banks
    FxProgram program;               // 'FxCk', and the name of an 'FPCh'
    std::vector<FxProgram> programs; // 'FxBk'
    std::vector<char> chunk;         // 'FPCh', 'FBCh'

    bool isBank() const { return kind == FxKind::BankParams || kind == FxKind::BankChunk; }
};

// Reads a file image; every size is checked against the bytes present, so a truncated or damaged file
// is refused with PresetFileError and never read past its end.
FxPreset parseFxPreset(const std::vector<unsigned char>& bytes);
std::vector<unsigned char> serializeFxPreset(const FxPreset& preset);

FxPreset readFxPresetFile(const std::string& path);

// Takes the plug-in's current program (or whole bank) in the variant it supports: chunks when it keeps
// them, parameter values otherwise.
FxPreset captureFxPreset(VstHost& host, bool bank);
// Loads a preset into the plug-in; refuses one made for another plug-in or in a variant it cannot take.
void applyFxPreset(VstHost& host, const FxPreset& preset);

// A unique ID as its four characters when printable ('zlSB'), else in hexadecimal.
std::string fourCharText(VstInt32 id);
} // namespace zr::host
