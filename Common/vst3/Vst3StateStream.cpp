#include "Common/vst3/Vst3StateStream.h"

#include <algorithm>
#include <cstring>

using namespace vst3;

namespace Vst3StateStream
{
std::optional<std::string> readText(IBStream* stream)
{
    if (stream == nullptr) return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        std::int32_t got = 0;
        const tresult result = stream->read(buffer, sizeof buffer, &got);
        // Hosts end a stream with a short read, an empty one or a failure; none may hand out more than asked.
        got = std::clamp<std::int32_t>(got, 0, sizeof buffer);
        const char* zero = static_cast<const char*>(std::memchr(buffer, 0, static_cast<std::size_t>(got)));
        const std::size_t used = zero != nullptr ? static_cast<std::size_t>(zero - buffer) : std::size_t(got);
        if (text.size() + used > maxStateBytes) return std::nullopt;
        text.append(buffer, used);
        if (zero != nullptr) {
            // Give back what follows our terminator; a stream that cannot seek keeps its position.
            const std::int64_t after = got - static_cast<std::int32_t>(used) - 1;
            if (after > 0) stream->seek(-after, IBStream::kIBSeekCur, nullptr);
            return text;
        }
        if (got == 0 || result != kResultOk) break;
    }
    if (text.empty()) return std::nullopt;
    return text;
}

bool writeText(IBStream* stream, const std::string& text)
{
    if (stream == nullptr) return false;
    // The terminator belongs to the state, as in the VST 2 chunk.
    const char* bytes = text.c_str();
    std::size_t left = text.size() + 1;
    while (left > 0) {
        const auto chunk = static_cast<std::int32_t>(std::min<std::size_t>(left, 1 << 20));
        std::int32_t written = 0;
        const tresult result = stream->write(const_cast<char*>(bytes), chunk, &written);
        if (result != kResultOk || written <= 0 || written > chunk) return false;
        bytes += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}
} // namespace Vst3StateStream
