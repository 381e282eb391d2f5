#include "MidiEvents.h"

namespace zr::test
{
MidiEvents::MidiEvents(const Positions& positionsAndStatus)
    : midi(positionsAndStatus.size()), record_(sizeof(VstEvents) + midi.size() * sizeof(VstEvent*))
{
    events()->numEvents = static_cast<VstInt32>(midi.size());
    for (std::size_t i = 0; i < midi.size(); ++i) {
        midi[i].type = kVstMidiType;
        midi[i].byteSize = sizeof(VstMidiEvent);
        midi[i].deltaFrames = positionsAndStatus[i].first;
        midi[i].midiData[0] = static_cast<char>(positionsAndStatus[i].second);
        events()->events[i] = reinterpret_cast<VstEvent*>(&midi[i]);
    }
}
} // namespace zr::test
