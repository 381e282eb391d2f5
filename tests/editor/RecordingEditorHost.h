#pragma once
// An EditorHost for tests: holds knob positions and meter readings the test sets, and records the gestures
// an editor sends, as lines like "begin 7", "set 7 0.750000", "end 7".

#include "Common/gui/EditorHost.h"
#include "ZaRorurarozeParam.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

class RecordingEditorHost : public EditorHost
{
public:
    RecordingEditorHost() { positions.fill(0.0); }

    void beginEdit(int index) override { log.push_back("begin " + std::to_string(index)); }
    void performEdit(int index, double knobPos) override
    {
        char line[64];
        std::snprintf(line, sizeof line, "set %d %.6f", index, knobPos);
        log.emplace_back(line);
        positions.at(static_cast<std::size_t>(index)) = knobPos;
    }
    void endEdit(int index) override { log.push_back("end " + std::to_string(index)); }
    double knobPosition(int index) override { return positions.at(static_cast<std::size_t>(index)); }
    std::optional<double> takeMeterReading(int index) override
    {
        return meters.at(static_cast<std::size_t>(index));
    }
    bool requestResize(int width, int height) override
    {
        resizes.push_back({width, height});
        return true;
    }

    std::array<double, ZaRorurarozeParam::countWithKey> positions;
    std::array<std::optional<double>, ZaRorurarozeMeter::count> meters{};
    std::vector<std::string> log;
    std::vector<std::array<int, 2>> resizes;
};
