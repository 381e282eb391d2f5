#pragma once
// A small plug-in with parameters of every kind, wired to an engine that logs what it receives.

#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/IntegerParam.h"
#include "Common/musicplugin/MusicPlugin.h"
#include "Common/musicplugin/RealParam.h"
#include "Recorder.h"

#include <vector>

class Engine
{
public:
    void cutoff(double hz) { log.push_back(Recorder<double>::entry("cutoff", hz)); }
    void listen(bool on) { log.push_back(on ? "listen:on" : "listen:off"); }
    void sampleRate(double hz) { log.push_back(Recorder<double>::entry("rate", hz)); }
    Log log;
};

class TestPlugin : public MusicPlugin
{
public:
    TestPlugin()
        : MusicPlugin("abcd", "Test Effect", "Test Vendor", "", 2, 2, false),
          ratio(&paramList, "ratio", "Ratio", "dB/dB", 32.0, 0.5, 64.0, &ratioMapping(),
                &NormalDisplay::globalInstance),
          cutoff(&paramList, "sidechainHighpassCutoff", "Side HP", 20.0, 5.0, 2000.0),
          attack(&paramList, "attack", "Attack", 0.2, 0.0, 10.0),
          threshold(&paramList, "threshold", "Threshold", 1.0, 0.001, 4.0),
          outputGain(&paramList, "outputGain", "Out Gain", 1.0, 0.0, 4.0),
          mix(&paramList, "mix", "Mix", 1.0, 0.0, 1.0), steps(&paramList, "steps", "Steps", "", 2, 0, 3),
          plain(&paramList, "plain", "Plain", false),
          listen(&paramList, "sidechainListen", "Sd Listen", false),
          confirm(&paramList, "confirm", "Confirm", true)
    {
        cutoff.addValueListener(new ObjectValueListener<Engine, double>(&engine, &Engine::cutoff));
        listen.addValueListener(new ObjectValueListener<Engine, bool>(&engine, &Engine::listen));
        sampleRate.addValueListener(new ObjectValueListener<Engine, double>(&engine, &Engine::sampleRate));
    }

    void clear() noexcept override {}
    void process(const float* const*, float* const*, int) noexcept override {}

    std::vector<Param*> params()
    {
        return {&ratio, &cutoff, &attack, &threshold, &outputGain, &mix, &steps, &plain, &listen, &confirm};
    }
    std::vector<std::string> saveStrings()
    {
        std::vector<std::string> texts;
        for (Param* param : params())
            texts.push_back(param->saveString());
        return texts;
    }

    static const LogarithmicMapping& ratioMapping()
    {
        static const LogarithmicMapping mapping;
        return mapping;
    }

    // Declared first so that it outlives the listeners that point at it.
    Engine engine;
    RealParam ratio;
    FrequencyParam cutoff;
    TimeParam attack;
    GainParam threshold;
    GainParam outputGain;
    PercentParam mix;
    IntegerParam steps;
    BoolParam plain;
    OnOffParam listen;
    YesNoParam confirm;
};
