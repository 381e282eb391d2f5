// figure-data: the numbers behind the manual's pictures, measured on the real engine classes and on files
// the render tool wrote. Prints whitespace-separated columns for gnuplot on standard output.
//
//   figure-data bands                  band responses of the detector's splitter (impulse, FFT)
//   figure-data times                  time constants of each band at the default Attack and Release
//   figure-data signals IMPULSE SILENCE  writes a unit impulse and silence (stereo float WAV, 44.1 kHz)
//   figure-data tone FILE HZ SECONDS DBFS  writes a sine of that peak level, the same in both channels
//   figure-data voice FILE SECONDS     writes a voice-like signal in phrases, the same in both channels
//   figure-data response FILE BASE     magnitude response of FILE minus BASE (left channel)
//   figure-data levels IN OUT          10 ms input and output levels and the gain change between them
//   figure-data gain IN OUT FROM TO    sample-by-sample gain (output over input) between FROM and TO s

#include "Common/musicplugin/UserValue.h"
#include "Src/Compressor.h"
#include "tools/render/AudioFile.h"
#include "tools/render/LevelStatistics.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace
{
using zr::host::InputAudioFile;
constexpr double kPi = 3.14159265358979323846;
constexpr double kSampleRateHz = 44100.0;
// Log-spaced frequencies of the response columns.
constexpr double kLowestHz = 10.0;
constexpr double kHighestHz = 22000.0;
constexpr int kResponsePoints = 400;
// Gains and levels below this are drawn at it.
constexpr double kFloorDb = -120.0;

double toDb(double amplitude)
{
    return amplitude > 0.0 ? std::fmax(kFloorDb, 20.0 * std::log10(amplitude)) : kFloorDb;
}

// In-place radix-2 FFT; the size is a power of two.
void fft(std::vector<std::complex<double>>& data)
{
    const std::size_t n = data.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) std::swap(data[i], data[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2.0 * kPi / static_cast<double>(length));
        for (std::size_t start = 0; start < n; start += length) {
            std::complex<double> w = 1.0;
            for (std::size_t k = 0; k < length / 2; ++k) {
                const std::complex<double> a = data[start + k];
                const std::complex<double> b = data[start + k + length / 2] * w;
                data[start + k] = a + b;
                data[start + k + length / 2] = a - b;
                w *= step;
            }
        }
    }
}

// The magnitude of an impulse response at the log-spaced frequencies, read between the FFT's bins.
std::vector<double> magnitudes(const std::vector<double>& impulseResponse, std::size_t fftFrames)
{
    std::vector<std::complex<double>> spectrum(fftFrames);
    for (std::size_t i = 0; i < impulseResponse.size() && i < fftFrames; ++i)
        spectrum[i] = impulseResponse[i];
    fft(spectrum);
    std::vector<double> result;
    for (int p = 0; p < kResponsePoints; ++p) {
        const double hz = kLowestHz * std::pow(kHighestHz / kLowestHz, p / (kResponsePoints - 1.0));
        const double bin = hz / kSampleRateHz * fftFrames;
        const auto below = static_cast<std::size_t>(bin);
        const double above = bin - below;
        result.push_back((1.0 - above) * std::abs(spectrum[below]) + above * std::abs(spectrum[below + 1]));
    }
    return result;
}

double responseHz(int point)
{
    return kLowestHz * std::pow(kHighestHz / kLowestHz, point / (kResponsePoints - 1.0));
}

// A compressor at 44.1 kHz with the plug-in's default Attack and Release (0.2 s).
void prepare(Compressor& compressor)
{
    compressor.attackTime(0.2);
    compressor.releaseTime(0.2);
    compressor.sampleRate(kSampleRateHz);
}

int bands()
{
    Compressor compressor;
    prepare(compressor);
    MultibandPowerDetector& detector = compressor.detector_;
    const int n = MultibandPowerDetector::numBands;
    constexpr std::size_t fftFrames = 1 << 17; // 0.34 Hz bins; the lowest crossover rings for ~0.1 s
    std::vector<std::vector<double>> impulseResponses(n, std::vector<double>(fftFrames));
    double bandSamples[MultibandPowerDetector::numBands];
    for (std::size_t i = 0; i < fftFrames; ++i) {
        detector.splitterLeft_.split(detector.splitterCoeffs_, i == 0 ? 1.0 : 0.0, bandSamples);
        for (int k = 0; k < n; ++k)
            impulseResponses[k][i] = bandSamples[k];
    }
    std::vector<std::vector<double>> responses;
    for (int k = 0; k < n; ++k)
        responses.push_back(magnitudes(impulseResponses[k], fftFrames));
    // The last column is the power sum of all bands: what the detector sees of a sine (the bands themselves
    // add up to twice the input, but their powers do not).
    std::printf("# Hz, then the gain of bands 0..32 in dB, then the bands' power sum in dB\n");
    for (int p = 0; p < kResponsePoints; ++p) {
        std::printf("%.3f", responseHz(p));
        double powerSum = 0.0;
        for (int k = 0; k < n; ++k) {
            const double gain = responses[k][p];
            powerSum += gain * gain;
            std::printf(" %.3f", toDb(gain));
        }
        std::printf(" %.3f\n", toDb(std::sqrt(powerSum)));
    }
    return 0;
}

// Time for a band's smoothed power to cover 1 - 1/e of a step, from its own coefficient c per sample.
double timeConstantMs(double coeff)
{
    return coeff >= 1.0 ? 0.0 : -1000.0 / (kSampleRateHz * std::log(1.0 - coeff));
}

// Feeds a sine at the band's centre (Hilbert detection on, so a steady sine gives a steady power), then
// silence, and times how long the band's power takes to reach 1 - 1/e of its steady value and to fall back
// to 1/e of it: the band filter's own build-up and decay included.
void measureStep(int band, double& attackMs, double& releaseMs)
{
    Compressor compressor;
    prepare(compressor);
    compressor.hilbert(true);
    MultibandPowerDetector& detector = compressor.detector_;
    const double hz = MultibandPowerDetector::bandCentre(band);
    const int onFrames = static_cast<int>(2.0 * kSampleRateHz);
    std::vector<double> power(2 * static_cast<std::size_t>(onFrames));
    for (int i = 0; i < 2 * onFrames; ++i) {
        const double x = i < onFrames ? std::sin(2.0 * kPi * hz * i / kSampleRateHz) : 0.0;
        detector.tick(x, x);
        power[i] = detector.power_[band];
    }
    const double steady = power[onFrames - 1];
    int rise = 0;
    while (rise < onFrames && power[rise] < (1.0 - std::exp(-1.0)) * steady)
        ++rise;
    int fall = onFrames;
    while (fall < 2 * onFrames && power[fall] > std::exp(-1.0) * steady)
        ++fall;
    attackMs = 1000.0 * rise / kSampleRateHz;
    releaseMs = 1000.0 * (fall - onFrames) / kSampleRateHz;
}

int times()
{
    Compressor compressor;
    prepare(compressor);
    const MultibandPowerDetector& detector = compressor.detector_;
    std::printf("# band, centre Hz, attack and release time constant of the smoothing in ms, measured step "
                "attack and release in ms\n");
    for (int k = 0; k < MultibandPowerDetector::numBands; ++k) {
        double attackMs = 0.0, releaseMs = 0.0;
        measureStep(k, attackMs, releaseMs);
        std::printf("%d %.3f %.4f %.4f %.4f %.4f\n", k, MultibandPowerDetector::bandCentre(k),
                    timeConstantMs(detector.attackCoeffs_[k]), timeConstantMs(detector.releaseCoeffs_[k]),
                    attackMs, releaseMs);
    }
    return 0;
}

int signals(const std::string& impulsePath, const std::string& silencePath)
{
    constexpr sf_count_t frames = 1 << 16;
    std::vector<float> audio(2 * frames, 0.0f);
    zr::host::OutputAudioFile silence(silencePath, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100);
    silence.write(audio.data(), frames);
    silence.commit();
    audio[0] = audio[1] = 1.0f;
    zr::host::OutputAudioFile impulse(impulsePath, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100);
    impulse.write(audio.data(), frames);
    impulse.commit();
    return 0;
}

int tone(const std::string& path, double hz, double seconds, double levelDbfs)
{
    const auto frames = static_cast<sf_count_t>(seconds * kSampleRateHz);
    const double amplitude = std::pow(10.0, levelDbfs / 20.0);
    std::vector<float> audio;
    for (sf_count_t i = 0; i < frames; ++i) {
        const auto sample = static_cast<float>(amplitude * std::sin(2.0 * kPi * hz * i / kSampleRateHz));
        audio.push_back(sample);
        audio.push_back(sample);
    }
    zr::host::OutputAudioFile file(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100);
    file.write(audio.data(), frames);
    file.commit();
    return 0;
}

// A stand-in for a voice, to duck music under: a buzz at a speaking pitch (a sawtooth's harmonics below
// 4 kHz, its pitch drifting between 110 and 150 Hz) through two formant resonators that change with each
// 200 ms syllable, in three phrases with pauses between; peak -12 dBFS.
int voice(const std::string& path, double seconds)
{
    const auto frames = static_cast<std::size_t>(seconds * kSampleRateHz);
    // Phrases as fractions of the length; the formants (Hz) of four vowels, taken in turn.
    const double phrases[][2] = {{0.08, 0.26}, {0.36, 0.58}, {0.68, 0.86}};
    const double vowels[][2] = {{730, 1090}, {530, 1840}, {270, 2290}, {570, 840}};
    constexpr double syllableSeconds = 0.2;
    constexpr double formantQ = 6.0;
    // Two band-pass resonators (bilinear design), their memories, and the vowel they are tuned to.
    struct Resonator
    {
        double b0 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        void tune(double hz)
        {
            const double w = 2.0 * kPi * hz / kSampleRateHz, alpha = std::sin(w) / (2.0 * formantQ);
            b0 = alpha / (1.0 + alpha);
            a1 = -2.0 * std::cos(w) / (1.0 + alpha);
            a2 = (1.0 - alpha) / (1.0 + alpha);
        }
        double run(double x)
        {
            const double y = b0 * (x - x2) - a1 * y1 - a2 * y2;
            x2 = x1, x1 = x, y2 = y1, y1 = y;
            return y;
        }
    } first, second;
    int vowel = -1;
    double phase = 0.0, peak = 0.0;
    std::vector<double> samples(frames, 0.0);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRateHz;
        double envelope = 0.0;
        for (int p = 0; p < 3; ++p) {
            const double from = phrases[p][0] * seconds, to = phrases[p][1] * seconds;
            if (t < from || t >= to) continue;
            const double s = std::sin(kPi * std::fmod(t - from, syllableSeconds) / syllableSeconds);
            envelope = s * s;
            const int syllable = static_cast<int>((t - from) / syllableSeconds) + 3 * p;
            if (syllable % 4 != vowel) {
                vowel = syllable % 4;
                first.tune(vowels[vowel][0]);
                second.tune(vowels[vowel][1]);
            }
        }
        const double pitchHz = 130.0 + 20.0 * std::sin(2.0 * kPi * 0.7 * t);
        phase = std::fmod(phase + pitchHz / kSampleRateHz, 1.0);
        double buzz = 0.0;
        for (int k = 1; k * pitchHz < 4000.0; ++k)
            buzz += std::sin(2.0 * kPi * k * phase) / k;
        samples[i] = envelope * (first.run(buzz) + 0.5 * second.run(buzz));
        peak = std::fmax(peak, std::fabs(samples[i]));
    }
    std::vector<float> audio;
    const double scale = peak > 0.0 ? std::pow(10.0, -12.0 / 20.0) / peak : 0.0;
    for (double x : samples) {
        audio.push_back(static_cast<float>(x * scale));
        audio.push_back(static_cast<float>(x * scale));
    }
    zr::host::OutputAudioFile file(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100);
    file.write(audio.data(), static_cast<sf_count_t>(frames));
    file.commit();
    return 0;
}

// Both channels of a file, planar.
std::vector<std::vector<float>> readPlanar(const std::string& path, int& rateHz)
{
    InputAudioFile file(path);
    rateHz = file.sampleRateHz();
    std::vector<float> interleaved(static_cast<std::size_t>(file.frames() * file.channels()));
    const sf_count_t frames = file.read(interleaved.data(), file.frames());
    std::vector<std::vector<float>> planar(static_cast<std::size_t>(file.channels()));
    for (int c = 0; c < file.channels(); ++c)
        for (sf_count_t i = 0; i < frames; ++i)
            planar[c].push_back(interleaved[static_cast<std::size_t>(i * file.channels() + c)]);
    return planar;
}

int response(const std::string& path, const std::string& basePath)
{
    int rateHz = 0, baseRateHz = 0;
    const std::vector<std::vector<float>> signal = readPlanar(path, rateHz);
    const std::vector<std::vector<float>> base = readPlanar(basePath, baseRateHz);
    if (rateHz != static_cast<int>(kSampleRateHz) || baseRateHz != rateHz ||
        signal[0].size() != base[0].size())
        throw std::runtime_error("the two files differ in rate or length, or are not at 44.1 kHz");
    // The plug-in's noise is the same in both renders and the filters are linear: the difference is the
    // impulse response alone.
    std::vector<double> impulseResponse;
    for (std::size_t i = 0; i < signal[0].size(); ++i)
        impulseResponse.push_back(static_cast<double>(signal[0][i]) - base[0][i]);
    std::size_t fftFrames = 1;
    while (fftFrames < impulseResponse.size())
        fftFrames <<= 1;
    const std::vector<double> gains = magnitudes(impulseResponse, fftFrames);
    std::printf("# Hz, gain in dB\n");
    for (int p = 0; p < kResponsePoints; ++p)
        std::printf("%.3f %.3f\n", responseHz(p), toDb(gains[p]));
    return 0;
}

int levels(const std::string& inPath, const std::string& outPath)
{
    int rateHz = 0, outRateHz = 0;
    const std::vector<std::vector<float>> in = readPlanar(inPath, rateHz);
    const std::vector<std::vector<float>> out = readPlanar(outPath, outRateHz);
    if (in.size() != out.size() || in[0].size() != out[0].size())
        throw std::runtime_error("the input and output differ in channels or length");
    zr::host::LevelStatistics statistics(static_cast<int>(in.size()), rateHz, 0.01,
                                         static_cast<long long>(in[0].size()));
    std::vector<const float*> inPointers, outPointers;
    for (std::size_t c = 0; c < in.size(); ++c) {
        inPointers.push_back(in[c].data());
        outPointers.push_back(out[c].data());
    }
    statistics.add(inPointers.data(), outPointers.data(), static_cast<int>(in[0].size()));
    statistics.finish();
    std::printf("# s, input and output level in dBFS (RMS over 10 ms), gain change in dB\n");
    const double windowSeconds = statistics.windowSeconds();
    for (std::size_t w = 0; w < statistics.windows().size(); ++w) {
        const zr::host::WindowLevels& level = statistics.windows()[w];
        const double inDb = toDb(std::sqrt(level.inputPower));
        const double outDb = toDb(std::sqrt(level.outputPower));
        // Below -60 dBFS the gain change would mostly show the signal's silences.
        if (inDb > -60.0)
            std::printf("%.4f %.3f %.3f %.3f\n", (w + 0.5) * windowSeconds, inDb, outDb, outDb - inDb);
        else
            std::printf("%.4f %.3f %.3f NaN\n", (w + 0.5) * windowSeconds, inDb, outDb);
    }
    return 0;
}

int gain(const std::string& inPath, const std::string& outPath, double fromSeconds, double toSeconds)
{
    int rateHz = 0, outRateHz = 0;
    const std::vector<std::vector<float>> in = readPlanar(inPath, rateHz);
    const std::vector<std::vector<float>> out = readPlanar(outPath, outRateHz);
    if (in[0].size() != out[0].size()) throw std::runtime_error("the input and output differ in length");
    std::printf("# s, gain of the left channel in dB (samples whose input is above -40 dBFS)\n");
    const auto first = static_cast<std::size_t>(std::fmax(0.0, fromSeconds * rateHz));
    for (std::size_t i = first; i < in[0].size() && i < toSeconds * rateHz; ++i)
        if (std::fabs(in[0][i]) > 0.01)
            std::printf("%.6f %.4f\n", static_cast<double>(i) / rateHz,
                        toDb(std::fabs(out[0][i] / in[0][i])));
    return 0;
}

double numberArgument(const char* text)
{
    const auto value = zr::host::parseNumber(text);
    if (!value || !std::isfinite(*value)) throw std::runtime_error(std::string("not a number: ") + text);
    return *value;
}

const char* const kUsage =
    "usage: figure-data bands | times | signals IMPULSE SILENCE | tone FILE HZ SECONDS DBFS |\n"
    "       voice FILE SECONDS | response FILE BASE | levels IN OUT | gain IN OUT FROM TO\n";
} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 1 && args[0] == "bands") return bands();
        if (args.size() == 1 && args[0] == "times") return times();
        if (args.size() == 3 && args[0] == "signals") return signals(args[1], args[2]);
        if (args.size() == 3 && args[0] == "response") return response(args[1], args[2]);
        if (args.size() == 3 && args[0] == "voice") return voice(args[1], numberArgument(argv[3]));
        if (args.size() == 3 && args[0] == "levels") return levels(args[1], args[2]);
        if (args.size() == 5 && args[0] == "gain")
            return gain(args[1], args[2], numberArgument(argv[4]), numberArgument(argv[5]));
        if (args.size() == 5 && args[0] == "tone")
            return tone(args[1], numberArgument(argv[3]), numberArgument(argv[4]), numberArgument(argv[5]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "figure-data: %s\n", e.what());
        return 1;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
