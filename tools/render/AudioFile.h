#pragma once
// Sound files through libsndfile: every format it reads (WAV, AIFF, FLAC, Ogg, ...), mono or stereo.
// The output is written under a temporary name and appears only when complete.

#include "tools/render/TemporaryFile.h"

#include <memory>
#include <sndfile.h>
#include <string>

namespace zr::host
{
class InputAudioFile
{
public:
    // Refuses files that are missing, unreadable, empty of audio or have more than two channels.
    explicit InputAudioFile(const std::string& path);
    ~InputAudioFile();
    InputAudioFile(const InputAudioFile&) = delete;
    InputAudioFile& operator=(const InputAudioFile&) = delete;

    int channels() const { return info_.channels; }
    int sampleRateHz() const { return info_.samplerate; }
    sf_count_t frames() const { return info_.frames; }
    int format() const { return info_.format; }
    // Up to frameCount interleaved frames; answers how many were read (0 at the end).
    sf_count_t read(float* interleaved, sf_count_t frameCount);

private:
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
};

class OutputAudioFile
{
public:
    // Opens a temporary file beside targetPath; values beyond full scale are clipped, not wrapped, when
    // the format holds integers.
    OutputAudioFile(const std::string& targetPath, int format, int channels, int sampleRateHz);
    ~OutputAudioFile();
    OutputAudioFile(const OutputAudioFile&) = delete;
    OutputAudioFile& operator=(const OutputAudioFile&) = delete;

    void write(const float* interleaved, sf_count_t frameCount);
    // Finishes the file and moves it to the target path.
    void commit();

private:
    TemporaryFile temporary_;
    SNDFILE* file_ = nullptr;
};

// The output format: the input's, with 32-bit float samples when asked for. Throws FileError when the
// container cannot hold them (FLAC, for instance, has no float samples).
int outputFormatFor(int inputFormat, bool floatSamples, int channels, int sampleRateHz);

// "WAV, 16-bit PCM" and similar, for the summary.
std::string describeFormat(int format);

// Refuses an output that is the input itself, also under another path (links, "..", symlinks).
void checkNotSameFile(const std::string& inputPath, const std::string& outputPath);
} // namespace zr::host
