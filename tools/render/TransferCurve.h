#pragma once
// The static transfer curve of a plug-in at its current settings: 1 kHz sines of rising level are
// rendered through it, each until the output level stops moving, and the steady output level is read.

#include "tools/render/Gnuplot.h"

#include <vector>

namespace zr::host
{
class VstHost;

struct CurveSweep
{
    double fromDbfs = -80.0;
    double toDbfs = 12.0; // the top of the threshold range and a bit of the drive's
    double stepDb = 2.0;
    double toneHz = 1000.0;
    double pieceSeconds = 0.05; // one level reading: 50 periods of the tone
    double minSeconds = 0.5;    // per level, before settling is judged
    double maxSeconds = 30.0;   // per level; a slower plug-in's point is marked unsettled
    double settledDb = 0.01;    // level change between readings that counts as steady
    int settledReadings = 3;
};

// Levels are peak amplitudes in dBFS (a full-scale sine is 0 dBFS); output is read from the first
// output channel. Leaves the plug-in suspended.
std::vector<CurvePoint> measureTransferCurve(VstHost& host, const CurveSweep& sweep = CurveSweep());
} // namespace zr::host
