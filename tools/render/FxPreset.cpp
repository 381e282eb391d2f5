#include "tools/render/FxPreset.h"

#include "tools/render/ProgramState.h"
#include "tools/render/VstHost.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace zr::host
{
namespace
{
constexpr VstInt32 kRecordMagic = vstFourCharCode('C', 'c', 'n', 'K');
constexpr VstInt32 kProgramParamsMagic = vstFourCharCode('F', 'x', 'C', 'k');
constexpr VstInt32 kProgramChunkMagic = vstFourCharCode('F', 'P', 'C', 'h');
constexpr VstInt32 kBankParamsMagic = vstFourCharCode('F', 'x', 'B', 'k');
constexpr VstInt32 kBankChunkMagic = vstFourCharCode('F', 'B', 'C', 'h');
// Fixed field sizes of the published records.
constexpr std::size_t kProgramNameBytes = 28;
constexpr std::size_t kBankFutureBytes = 124;
// Larger files are not presets; refusing them keeps a wrong path from exhausting memory.
constexpr std::size_t kMaxFileBytes = std::size_t(256) << 20;

// Bounds-checked big-endian reader over a file image.
class Reader
{
public:
    explicit Reader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}

    std::size_t remaining() const { return bytes_.size() - pos_; }

    std::uint32_t u32()
    {
        need(4);
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | bytes_[pos_++];
        return v;
    }
    VstInt32 i32() { return static_cast<VstInt32>(u32()); }
    float f32()
    {
        const std::uint32_t bits = u32();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    std::string text(std::size_t fieldBytes)
    {
        need(fieldBytes);
        const char* begin = reinterpret_cast<const char*>(bytes_.data() + pos_);
        pos_ += fieldBytes;
        return std::string(begin, strnlen(begin, fieldBytes));
    }
    void skip(std::size_t count)
    {
        need(count);
        pos_ += count;
    }
    std::vector<char> blob(std::size_t count)
    {
        need(count);
        std::vector<char> out(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_),
                              bytes_.begin() + static_cast<std::ptrdiff_t>(pos_ + count));
        pos_ += count;
        return out;
    }

private:
    void need(std::size_t count) const
    {
        if (count > remaining()) throw PresetFileError("the file is truncated");
    }
    const std::vector<unsigned char>& bytes_;
    std::size_t pos_ = 0;
};

class Writer
{
public:
    void u32(std::uint32_t v)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<unsigned char>(v >> shift));
    }
    void i32(VstInt32 v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        u32(bits);
    }
    void text(const std::string& s, std::size_t fieldBytes)
    {
        // Keeps room for the terminator that readers of the fixed field expect.
        for (std::size_t i = 0; i < fieldBytes; ++i)
            bytes.push_back(i + 1 < fieldBytes && i < s.size() ? static_cast<unsigned char>(s[i]) : 0);
    }
    void blob(const std::vector<char>& data) { bytes.insert(bytes.end(), data.begin(), data.end()); }
    // Fills in the record's size field: the bytes after the magic and the size itself.
    void closeRecord(std::size_t recordStart)
    {
        const std::uint32_t size = static_cast<std::uint32_t>(bytes.size() - recordStart - 8);
        for (int i = 0; i < 4; ++i)
            bytes[recordStart + 4 + i] = static_cast<unsigned char>(size >> (24 - 8 * i));
    }
    std::vector<unsigned char> bytes;
};

std::size_t checkedCount(VstInt32 count, std::size_t bytesEach, const Reader& reader, const char* what)
{
    if (count < 0 || static_cast<std::size_t>(count) > reader.remaining() / bytesEach)
        throw PresetFileError(std::string("the file is truncated or damaged (") + what + " " +
                              std::to_string(count) + ")");
    return static_cast<std::size_t>(count);
}

std::vector<float> readKnobPositions(Reader& reader, VstInt32 count)
{
    std::vector<float> values(checkedCount(count, 4, reader, "parameter count"));
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = reader.f32();
        if (!(values[i] >= 0.0f && values[i] <= 1.0f))
            throw PresetFileError("parameter " + std::to_string(i) + " holds a value outside 0..1");
    }
    return values;
}

std::vector<char> readChunk(Reader& reader)
{
    const VstInt32 size = reader.i32();
    return reader.blob(checkedCount(size, 1, reader, "chunk size"));
}

// One program record after its magic; the record header has been read up to fxMagic.
FxProgram readProgramBody(Reader& reader, bool chunk, VstInt32& id, VstInt32& version, VstInt32& count,
                          std::vector<char>* chunkOut)
{
    const VstInt32 formatVersion = reader.i32();
    if (formatVersion < 1 || formatVersion > 2)
        throw PresetFileError("unsupported program format version " + std::to_string(formatVersion));
    id = reader.i32();
    version = reader.i32();
    count = reader.i32();
    FxProgram program;
    program.name = reader.text(kProgramNameBytes);
    if (chunk)
        *chunkOut = readChunk(reader);
    else
        program.knobPositions = readKnobPositions(reader, count);
    return program;
}

void writeProgramRecord(Writer& w, bool chunk, VstInt32 id, VstInt32 version, VstInt32 count,
                        const FxProgram& program, const std::vector<char>& chunkData)
{
    const std::size_t start = w.bytes.size();
    w.i32(kRecordMagic);
    w.u32(0);
    w.i32(chunk ? kProgramChunkMagic : kProgramParamsMagic);
    w.i32(1);
    w.i32(id);
    w.i32(version);
    w.i32(chunk ? count : static_cast<VstInt32>(program.knobPositions.size()));
    w.text(program.name, kProgramNameBytes);
    if (chunk) {
        w.i32(static_cast<VstInt32>(chunkData.size()));
        w.blob(chunkData);
    } else {
        for (float v : program.knobPositions)
            w.f32(v);
    }
    w.closeRecord(start);
}

std::vector<float> captureKnobPositions(VstHost& host)
{
    std::vector<float> values(static_cast<std::size_t>(host.numParams()));
    for (int i = 0; i < host.numParams(); ++i)
        values[static_cast<std::size_t>(i)] = host.getParameter(i);
    return values;
}

void applyKnobPositions(VstHost& host, const FxProgram& program)
{
    if (static_cast<int>(program.knobPositions.size()) != host.numParams())
        throw PresetFileError("the preset holds " + std::to_string(program.knobPositions.size()) +
                              " parameters, the plug-in has " + std::to_string(host.numParams()));
    for (int i = 0; i < host.numParams(); ++i)
        host.setParameter(i, program.knobPositions[static_cast<std::size_t>(i)]);
    host.setProgramName(program.name);
}
// Many plug-ins answer 0 to a chunk they took, so a 0 alone proves nothing; but when the state text does
// not show the preset's values either, the plug-in refused it.
void checkProgramTaken(VstHost& host, const std::vector<char>& chunk)
{
    const ProgramState wanted = ProgramState::fromChunk(chunk);
    if (!wanted.hasParameterList()) return;
    const ProgramState now = ProgramState::fromChunk(host.getChunk(true));
    for (const auto& [key, text] : wanted.parameters()) {
        const auto current = now.value(key);
        if (current && *current != text) throw PresetFileError("the plug-in refused the preset");
    }
}

// The same for a bank: refused when neither the bank nor the current program moved toward it.
void checkBankTaken(VstHost& host, const std::vector<char>& bank, const std::vector<char>& programBefore)
{
    const std::vector<char> now = host.getChunk(false);
    const bool sameBank = std::vector<char>(now.begin(), std::find(now.begin(), now.end(), '\0')) ==
                          std::vector<char>(bank.begin(), std::find(bank.begin(), bank.end(), '\0'));
    if (!sameBank && host.getChunk(true) == programBefore)
        throw PresetFileError("the plug-in refused the bank");
}
} // namespace

FxPreset parseFxPreset(const std::vector<unsigned char>& bytes)
{
    Reader reader(bytes);
    if (bytes.size() < 8 || reader.i32() != kRecordMagic)
        throw PresetFileError("not a VST preset file (no 'CcnK' header)");
    reader.u32(); // record size: writers disagree on it, the inner sizes are checked instead
    FxPreset preset;
    const VstInt32 magic = reader.i32();
    if (magic == kProgramParamsMagic || magic == kProgramChunkMagic) {
        const bool chunk = magic == kProgramChunkMagic;
        preset.kind = chunk ? FxKind::ProgramChunk : FxKind::ProgramParams;
        preset.program = readProgramBody(reader, chunk, preset.pluginId, preset.pluginVersion, preset.count,
                                         &preset.chunk);
        return preset;
    }
    if (magic != kBankParamsMagic && magic != kBankChunkMagic)
        throw PresetFileError("unknown preset variant '" + fourCharText(magic) + "'");
    const bool chunk = magic == kBankChunkMagic;
    preset.kind = chunk ? FxKind::BankChunk : FxKind::BankParams;
    const VstInt32 formatVersion = reader.i32();
    if (formatVersion < 1 || formatVersion > 2)
        throw PresetFileError("unsupported bank format version " + std::to_string(formatVersion));
    preset.pluginId = reader.i32();
    preset.pluginVersion = reader.i32();
    preset.count = reader.i32();
    // Version 1 keeps all 128 reserved bytes; version 2 uses the first four for the current program.
    const VstInt32 current = reader.i32();
    preset.currentProgram = formatVersion >= 2 ? current : 0;
    reader.skip(kBankFutureBytes);
    if (chunk) {
        preset.chunk = readChunk(reader);
        return preset;
    }
    // Each program record takes at least its 56-byte header.
    const std::size_t count = checkedCount(preset.count, 56, reader, "program count");
    for (std::size_t i = 0; i < count; ++i) {
        if (reader.i32() != kRecordMagic)
            throw PresetFileError("bank program " + std::to_string(i) + " is damaged");
        reader.u32();
        if (reader.i32() != kProgramParamsMagic)
            throw PresetFileError("bank program " + std::to_string(i) + " is not a parameter program");
        VstInt32 id = 0, version = 0, params = 0;
        preset.programs.push_back(readProgramBody(reader, false, id, version, params, nullptr));
        if (id != preset.pluginId)
            throw PresetFileError("bank program " + std::to_string(i) + " belongs to another plug-in");
    }
    return preset;
}

std::vector<unsigned char> serializeFxPreset(const FxPreset& preset)
{
    Writer w;
    switch (preset.kind) {
    case FxKind::ProgramParams:
    case FxKind::ProgramChunk:
        writeProgramRecord(w, preset.kind == FxKind::ProgramChunk, preset.pluginId, preset.pluginVersion,
                           preset.count, preset.program, preset.chunk);
        return w.bytes;
    case FxKind::BankParams:
    case FxKind::BankChunk:
        break;
    }
    const bool chunk = preset.kind == FxKind::BankChunk;
    w.i32(kRecordMagic);
    w.u32(0);
    w.i32(chunk ? kBankChunkMagic : kBankParamsMagic);
    w.i32(2);
    w.i32(preset.pluginId);
    w.i32(preset.pluginVersion);
    w.i32(chunk ? preset.count : static_cast<VstInt32>(preset.programs.size()));
    w.i32(preset.currentProgram);
    for (std::size_t i = 0; i < kBankFutureBytes; ++i)
        w.bytes.push_back(0);
    if (chunk) {
        w.i32(static_cast<VstInt32>(preset.chunk.size()));
        w.blob(preset.chunk);
    } else {
        for (const FxProgram& program : preset.programs)
            writeProgramRecord(w, false, preset.pluginId, preset.pluginVersion, 0, program, {});
    }
    w.closeRecord(0);
    return w.bytes;
}

FxPreset readFxPresetFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw PresetFileError("cannot open preset " + path);
    std::vector<unsigned char> bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > kMaxFileBytes) throw PresetFileError(path + " is too large to be a preset");
    }
    if (in.bad()) throw PresetFileError("cannot read preset " + path);
    try {
        return parseFxPreset(bytes);
    } catch (const PresetFileError& e) {
        throw PresetFileError(path + ": " + e.what());
    }
}

FxPreset captureFxPreset(VstHost& host, bool bank)
{
    FxPreset preset;
    preset.pluginId = host.uniqueId();
    preset.pluginVersion = host.version();
    if (host.hasProgramChunks()) {
        preset.kind = bank ? FxKind::BankChunk : FxKind::ProgramChunk;
        preset.chunk = host.getChunk(!bank);
        preset.count = bank ? host.numPrograms() : host.numParams();
        preset.currentProgram = bank ? host.program() : 0;
        preset.program.name = host.programName();
        return preset;
    }
    if (!bank) {
        preset.kind = FxKind::ProgramParams;
        preset.program = {host.programName(), captureKnobPositions(host)};
        return preset;
    }
    preset.kind = FxKind::BankParams;
    const int current = host.program();
    preset.currentProgram = current;
    for (int p = 0; p < host.numPrograms(); ++p) {
        host.setProgram(p);
        preset.programs.push_back({host.programName(), captureKnobPositions(host)});
    }
    if (host.numPrograms() > 0) host.setProgram(current >= 0 && current < host.numPrograms() ? current : 0);
    return preset;
}

void applyFxPreset(VstHost& host, const FxPreset& preset)
{
    if (preset.pluginId != host.uniqueId())
        throw PresetFileError("it was made for the plug-in with ID '" + fourCharText(preset.pluginId) +
                              "', not for this one ('" + fourCharText(host.uniqueId()) + "')");
    const bool chunk = preset.kind == FxKind::ProgramChunk || preset.kind == FxKind::BankChunk;
    if (chunk && !host.hasProgramChunks())
        throw PresetFileError("it holds a state chunk, but this plug-in keeps no chunks");
    switch (preset.kind) {
    case FxKind::ProgramChunk:
        if (host.setChunk(preset.chunk, true) == 0) checkProgramTaken(host, preset.chunk);
        return;
    case FxKind::BankChunk: {
        const std::vector<char> programBefore = host.getChunk(true);
        if (host.setChunk(preset.chunk, false) == 0) checkBankTaken(host, preset.chunk, programBefore);
        if (preset.currentProgram > 0 && preset.currentProgram < host.numPrograms())
            host.setProgram(preset.currentProgram);
        return;
    }
    case FxKind::ProgramParams:
        applyKnobPositions(host, preset.program);
        return;
    case FxKind::BankParams:
        break;
    }
    if (static_cast<int>(preset.programs.size()) > host.numPrograms())
        throw PresetFileError("the bank holds " + std::to_string(preset.programs.size()) +
                              " programs, the plug-in has " + std::to_string(host.numPrograms()));
    for (std::size_t p = 0; p < preset.programs.size(); ++p) {
        host.setProgram(static_cast<int>(p));
        applyKnobPositions(host, preset.programs[p]);
    }
    const int current = preset.currentProgram;
    if (!preset.programs.empty())
        host.setProgram(current >= 0 && current < static_cast<int>(preset.programs.size()) ? current : 0);
}

std::string fourCharText(VstInt32 id)
{
    const auto bits = static_cast<std::uint32_t>(id);
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((bits >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(bits));
            return hex;
        }
        text += c;
    }
    return text;
}
} // namespace zr::host
