#pragma once
// Pictures of a run, drawn by gnuplot (found on PATH) into PNG files that appear only when complete.

#include "tools/render/LevelStatistics.h"

#include <string>
#include <vector>

namespace zr::host
{
struct CurvePoint
{
    double inputDbfs;
    double outputDbfs;
    bool settled; // the output level had stopped moving when it was taken
};

// The full path of a program found on PATH; empty when there is none.
std::string findOnPath(const std::string& program);

// Input and output level envelopes over time, and the gain change beneath them.
void plotLevels(const std::string& gnuplot, const std::string& pngPath, const LevelStatistics& levels,
                const std::string& title);
// Steady output level against input level, with the unity line for reference.
void plotTransferCurve(const std::string& gnuplot, const std::string& pngPath,
                       const std::vector<CurvePoint>& curve, const std::string& title);
} // namespace zr::host
