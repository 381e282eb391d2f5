#pragma once
// An event list as a host hands it over with effProcessEvents: MIDI messages in a record sized for all of
// them (real hosts send more than the two slots the record declares), owned by the host until the block
// they belong to is processed.

#include "Common/vst/VstInterface.h"

#include <utility>
#include <vector>

namespace zr::test
{
class MidiEvents
{
public:
    // One message per pair: its frame in the block and its status byte.
    using Positions = std::vector<std::pair<VstInt32, unsigned char>>;
    explicit MidiEvents(const Positions& positionsAndStatus);
    MidiEvents(const MidiEvents&) = delete;
    MidiEvents& operator=(const MidiEvents&) = delete;

    VstEvents* events() { return reinterpret_cast<VstEvents*>(record_.data()); }

    // The events the record points at, for a test to change.
    std::vector<VstMidiEvent> midi;

private:
    std::vector<char> record_;
};
} // namespace zr::test
