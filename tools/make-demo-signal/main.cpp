// make-demo-signal: writes the project's own demo music, a stereo 16-bit WAV of drum-like hits, a bass
// line and a slow tone sweep, with the drums rising in level over the first half so that a compressor has
// something to work on.
//
// usage: make-demo-signal OUTPUT.wav [--seconds S] [--rate HZ]

#include "Common/musicplugin/UserValue.h"
#include "tools/render/AudioFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr double kTwoPi = 6.283185307179586476925;
constexpr double kBeatSeconds = 0.5; // 120 beats per minute
// Peak of the finished mix: 1 dB below full scale leaves room for the codec of whoever plays it.
constexpr double kPeakAmplitude = 0.891;

// A small deterministic noise source, so every run writes the same file.
class Noise
{
public:
    double next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

private:
    std::uint32_t state_ = 0x2545F491u;
};

struct Stereo
{
    std::vector<double> left, right;
    void add(std::size_t i, double sample, double pan) // pan -1 left .. +1 right, equal power
    {
        const double angle = (pan + 1.0) * kTwoPi / 8.0;
        left[i] += sample * std::cos(angle);
        right[i] += sample * std::sin(angle);
    }
};

// Drums louder from -18 dB to 0 dB across the first half, then steady.
double drumGain(double seconds, double totalSeconds)
{
    const double rise = std::min(1.0, seconds / (0.5 * totalSeconds));
    return std::pow(10.0, (-18.0 + 18.0 * rise) / 20.0);
}

void addKick(Stereo& mix, std::size_t start, double rateHz, double gain)
{
    double phase = 0.0;
    for (std::size_t n = 0; n < static_cast<std::size_t>(0.6 * rateHz) && start + n < mix.left.size(); ++n) {
        const double t = n / rateHz;
        // The pitch falls from 150 Hz to 50 Hz within a few tens of milliseconds, like a struck membrane.
        phase += kTwoPi * (50.0 + 100.0 * std::exp(-t / 0.03)) / rateHz;
        mix.add(start + n, gain * 0.9 * std::exp(-t / 0.25) * std::sin(phase), 0.0);
    }
}

void addSnare(Stereo& mix, std::size_t start, double rateHz, double gain, Noise& noise)
{
    for (std::size_t n = 0; n < static_cast<std::size_t>(0.4 * rateHz) && start + n < mix.left.size(); ++n) {
        const double t = n / rateHz;
        const double body = std::exp(-t / 0.05) * std::sin(kTwoPi * 190.0 * t);
        mix.add(start + n, gain * 0.5 * (0.6 * std::exp(-t / 0.08) * noise.next() + 0.5 * body), -0.2);
    }
}

void addHat(Stereo& mix, std::size_t start, double rateHz, double gain, Noise& noise)
{
    double previous = 0.0;
    for (std::size_t n = 0; n < static_cast<std::size_t>(0.1 * rateHz) && start + n < mix.left.size(); ++n) {
        const double t = n / rateHz;
        const double white = noise.next();
        // The first difference takes the low end out of the noise.
        mix.add(start + n, gain * 0.15 * std::exp(-t / 0.02) * (white - previous), 0.4);
        previous = white;
    }
}

void addBassNote(Stereo& mix, std::size_t start, std::size_t length, double rateHz, double frequencyHz)
{
    for (std::size_t n = 0; n < length && start + n < mix.left.size(); ++n) {
        const double t = n / rateHz;
        const double envelope = std::min(1.0, t / 0.005) * std::exp(-t / 0.4) *
                                std::min(1.0, (static_cast<double>(length - n)) / (0.01 * rateHz));
        const double w = kTwoPi * frequencyHz * t;
        mix.add(start + n,
                0.35 * envelope * (std::sin(w) + 0.5 * std::sin(2.0 * w) + 0.25 * std::sin(3.0 * w)), 0.0);
    }
}

std::vector<float> makeDemo(double rateHz, double totalSeconds)
{
    const std::size_t frames = static_cast<std::size_t>(totalSeconds * rateHz);
    Stereo mix{std::vector<double>(frames), std::vector<double>(frames)};
    Noise noise;
    const auto at = [&](double seconds) { return static_cast<std::size_t>(seconds * rateHz); };
    const int beats = static_cast<int>(totalSeconds / kBeatSeconds);
    for (int beat = 0; beat < beats; ++beat) {
        const double t = beat * kBeatSeconds;
        const double g = drumGain(t, totalSeconds);
        if (beat % 2 == 0) addKick(mix, at(t), rateHz, g);
        if (beat % 4 == 3) addKick(mix, at(t + 0.75 * kBeatSeconds), rateHz, 0.7 * g);
        if (beat % 2 == 1) addSnare(mix, at(t), rateHz, g, noise);
        addHat(mix, at(t), rateHz, g, noise);
        addHat(mix, at(t + 0.5 * kBeatSeconds), rateHz, 0.6 * g, noise);
    }
    // A one-bar bass riff in A, in eighth notes: A1 A1 C2 A1 D2 A1 E2 G1.
    const double riffHz[8] = {55.0, 55.0, 65.41, 55.0, 73.42, 55.0, 82.41, 49.0};
    const double eighth = 0.5 * kBeatSeconds;
    for (int note = 0; note < static_cast<int>(totalSeconds / eighth); ++note)
        addBassNote(mix, at(note * eighth), at(0.9 * eighth), rateHz, riffHz[note % 8]);
    // A quiet sine sweeping from 100 Hz to 5 kHz and from left to right over the whole piece.
    double phase = 0.0;
    for (std::size_t n = 0; n < frames; ++n) {
        const double position = static_cast<double>(n) / static_cast<double>(frames);
        phase += kTwoPi * 100.0 * std::pow(50.0, position) / rateHz;
        mix.add(n, 0.08 * std::sin(phase), -0.8 + 1.6 * position);
    }

    double peak = 0.0;
    for (std::size_t n = 0; n < frames; ++n)
        peak = std::max({peak, std::fabs(mix.left[n]), std::fabs(mix.right[n])});
    const double scale = peak > 0.0 ? kPeakAmplitude / peak : 1.0;
    std::vector<float> interleaved(2 * frames);
    for (std::size_t n = 0; n < frames; ++n) {
        interleaved[2 * n] = static_cast<float>(mix.left[n] * scale);
        interleaved[2 * n + 1] = static_cast<float>(mix.right[n] * scale);
    }
    return interleaved;
}
} // namespace

int main(int argc, char** argv)
{
    std::string outputPath;
    double seconds = 10.0;
    double rateHz = 44100.0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "--seconds" || argument == "--rate") && i + 1 < argc) {
            const auto value = zr::host::parseNumber(argv[++i]);
            if (!value || !(*value > 0.0) || *value > 1e6) {
                std::fprintf(stderr, "make-demo-signal: %s wants a positive number\n", argument.c_str());
                return 2;
            }
            (argument == "--seconds" ? seconds : rateHz) = *value;
        } else if (outputPath.empty() && !argument.empty() && argument[0] != '-') {
            outputPath = argument;
        } else {
            std::fprintf(stderr, "usage: make-demo-signal OUTPUT.wav [--seconds S] [--rate HZ]\n");
            return 2;
        }
    }
    if (outputPath.empty() || rateHz < 8000.0 || seconds > 3600.0) {
        std::fprintf(
            stderr,
            "usage: make-demo-signal OUTPUT.wav [--seconds S (up to 3600)] [--rate HZ (8000 or more)]\n");
        return 2;
    }
    try {
        zr::host::TemporaryFile::installCleanupHandlers();
        const int rate = static_cast<int>(std::lround(rateHz));
        const std::vector<float> audio = makeDemo(rate, seconds);
        zr::host::OutputAudioFile file(outputPath, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, rate);
        file.write(audio.data(), static_cast<sf_count_t>(audio.size() / 2));
        file.commit();
        std::printf("wrote %s: %.2f s, %d Hz, stereo, 16-bit\n", outputPath.c_str(), seconds, rate);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-demo-signal: %s\n", e.what());
        return 1;
    }
    return 0;
}
