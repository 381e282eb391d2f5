#include "tools/render/AudioFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace zr::host
{
InputAudioFile::InputAudioFile(const std::string& path)
{
    struct stat status = {};
    if (stat(path.c_str(), &status) != 0)
        throw FileError("cannot read " + path + ": " + std::strerror(errno));
    if (S_ISDIR(status.st_mode)) throw FileError("cannot read " + path + ": it is a folder");
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (file_ == nullptr) throw FileError("cannot read " + path + " as audio: " + sf_strerror(nullptr));
    if (info_.channels < 1 || info_.channels > 2) {
        const int channelCount = info_.channels;
        sf_close(file_);
        file_ = nullptr;
        throw FileError(path + " has " + std::to_string(channelCount) +
                        " channels; only mono and stereo files can be processed");
    }
    if (info_.samplerate <= 0) {
        sf_close(file_);
        file_ = nullptr;
        throw FileError(path + " declares no valid sample rate");
    }
}

InputAudioFile::~InputAudioFile()
{
    if (file_ != nullptr) sf_close(file_);
}

sf_count_t InputAudioFile::read(float* interleaved, sf_count_t frameCount)
{
    return sf_readf_float(file_, interleaved, frameCount);
}

OutputAudioFile::OutputAudioFile(const std::string& targetPath, int format, int channels, int sampleRateHz)
    : temporary_(targetPath)
{
    SF_INFO info = {};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRateHz;
    file_ = sf_open_fd(temporary_.fd(), SFM_WRITE, &info, SF_FALSE);
    if (file_ == nullptr) throw FileError("cannot write " + targetPath + ": " + sf_strerror(nullptr));
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

OutputAudioFile::~OutputAudioFile()
{
    if (file_ != nullptr) sf_close(file_);
}

void OutputAudioFile::write(const float* interleaved, sf_count_t frameCount)
{
    if (sf_writef_float(file_, interleaved, frameCount) != frameCount)
        throw FileError("cannot write " + temporary_.targetPath() + ": " + sf_strerror(file_));
}

void OutputAudioFile::commit()
{
    const int result = sf_close(file_);
    file_ = nullptr;
    if (result != 0)
        throw FileError("cannot write " + temporary_.targetPath() + ": " + sf_error_number(result));
    temporary_.commit();
}

int outputFormatFor(int inputFormat, bool floatSamples, int channels, int sampleRateHz)
{
    int format = inputFormat;
    if (floatSamples) format = (inputFormat & (SF_FORMAT_TYPEMASK | SF_FORMAT_ENDMASK)) | SF_FORMAT_FLOAT;
    SF_INFO info = {};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRateHz;
    if (!sf_format_check(&info))
        throw FileError("the input's format (" + describeFormat(inputFormat) + ") cannot hold " +
                        (floatSamples ? "32-bit float samples; leave out --float" : "this output"));
    return format;
}

std::string describeFormat(int format)
{
    SF_FORMAT_INFO major = {};
    major.format = format & SF_FORMAT_TYPEMASK;
    SF_FORMAT_INFO sub = {};
    sub.format = format & SF_FORMAT_SUBMASK;
    std::string text = sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major) == 0 && major.name
                           ? major.name
                           : "unknown container";
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &sub, sizeof sub) == 0 && sub.name)
        text += std::string(", ") + sub.name;
    return text;
}

void checkNotSameFile(const std::string& inputPath, const std::string& outputPath)
{
    struct stat in = {};
    struct stat out = {};
    if (stat(inputPath.c_str(), &in) != 0 || stat(outputPath.c_str(), &out) != 0) return;
    if (in.st_dev == out.st_dev && in.st_ino == out.st_ino)
        throw FileError("the output " + outputPath + " is the input file itself; choose another output path");
}
} // namespace zr::host
