#pragma once
// Streams a sound file through a loaded plug-in in blocks. A mono file feeds both plug-in inputs (dual
// mono) and gets the mean of the first two outputs back, which is the left output itself whenever the
// plug-in treats both channels alike.

#include "tools/render/AudioFile.h"
#include "tools/render/LevelStatistics.h"

#include <functional>

namespace zr::host
{
class VstHost;

struct RenderTiming
{
    double audioSeconds = 0.0;
    double processSeconds = 0.0; // inside the plug-in's process calls only
    double totalSeconds = 0.0;   // reading, processing and writing
};

// Called with the fraction done (0..1) after every block.
using ProgressCallback = std::function<void(double)>;

// Resumes the plug-in, renders the whole input into the output and suspends it again. The host's block
// size sets the block length.
RenderTiming renderFile(VstHost& host, InputAudioFile& input, OutputAudioFile& output,
                        LevelStatistics& levels, const ProgressCallback& progress);
} // namespace zr::host
