// Debug builds stop at a broken condition and name it; release builds (assertions compiled out) must
// shrug off the same calls harmlessly, since a host may make them.

#include "Common/musicplugin/Display.h"
#include "Common/musicplugin/ValueListener.h"
#include "TestPlugin.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(AssertionDeathTest, ConditionTextAndSourceAreReported)
{
#if ZR_ASSERTIONS
    TestPlugin plugin;
    char buffer[9];
    EXPECT_DEATH(plugin.cutoff.setKnobPos(-0.25),
                 "Assertion \"0.0<=knobPos\" failed in Common/musicplugin/RealParam, line");
    EXPECT_DEATH(RealParam(nullptr, "x", "X", "", 3, 0, 2, &TestPlugin::ratioMapping(),
                           &NormalDisplay::globalInstance),
                 "Assertion \"defaultValue_<=maxValue_\" failed in Common/musicplugin/RealParam, line");
    EXPECT_DEATH(LogarithmicMapping().positionOfValue(1, 0, 10),
                 "\"0.0<minValue\" failed in Common/musicplugin/Mapping");
    EXPECT_DEATH(DecibelDisplay::globalInstance.display(-1),
                 "\"value>=0\" failed in Common/musicplugin/Display");
    EXPECT_DEATH(plugin.paramList.vstSetParameter(10, 0.5f),
                 "\"index<numParams\\(\\)\" failed in Common/musicplugin/ParamList");
    EXPECT_DEATH(plugin.paramList.vstSetParameter(0, 1.5f),
                 "\"knobPos<=1.0\" failed in Common/musicplugin/ParamList");
    EXPECT_DEATH(plugin.paramList.vstGetParameterName(-1, buffer),
                 "\"index>=0\" failed in Common/musicplugin/ParamList");
    EXPECT_DEATH(plugin.paramList.vstGetParameterDisplay(0, nullptr),
                 "\"dest\" failed in Common/musicplugin/ParamList");
    EXPECT_DEATH(plugin.paramList.add(&plugin.mix),
                 "\"std::find\\(list.begin\\(\\),list.end\\(\\),param\\) == list.end\\(\\)\" failed in "
                 "Common/musicplugin/ParamList");
    EXPECT_DEATH(plugin.presetBank.copyPreset(0, 1),
                 "\"destination< static_cast<int>\\(presetList.size\\(\\)\\)\" failed in "
                 "Common/musicplugin/PresetBank");
    EXPECT_DEATH(plugin.processMidi(nullptr),
                 "\"false\" failed in Common/musicplugin/MusicPlugin, line [0-9]+: "
                 "Midi requested, but processMidi not implemented in plugin!");
    ValueListenerList<int> list;
    ValueListener<int>* listener = new ObjectValueListener<Engine, int>(nullptr, nullptr);
    list.addValueListener(listener);
    EXPECT_DEATH(list.addValueListener(listener),
                 "\"std::find\\(listeners_.begin\\(\\),listeners_.end\\(\\),listener\\) "
                 "== listeners_.end\\(\\)\" failed in Common/musicplugin/ValueListener");
    EXPECT_DEATH(list.removeValueListener(nullptr), "\"false\" failed in Common/musicplugin/ValueListener");
#else
    GTEST_SKIP() << "assertions are compiled out in this build";
#endif
}

TEST(Assertion, ReleaseBuildsIgnoreBadCallsHarmlessly)
{
#if ZR_ASSERTIONS
    GTEST_SKIP() << "the guards behind the assertions only run when assertions are compiled out";
#else
    TestPlugin plugin;
    ParamList& list = plugin.paramList;
    const std::vector<std::string> before = plugin.saveStrings();
    for (float bad : {-0.5f, 1.5f, std::nanf("")}) {
        list.vstSetParameter(0, bad);
        plugin.cutoff.setKnobPos(bad);
        plugin.steps.setKnobPos(bad);
    }
    list.vstSetParameter(-1, 0.5f);
    list.vstSetParameter(10, 0.5f);
    EXPECT_EQ(plugin.saveStrings(), before);
    EXPECT_EQ(list.vstGetParameter(-1) + list.vstGetParameter(10), 0.0f);
    char name[9] = "xxxxxxxx";
    list.vstGetParameterName(10, name);
    list.vstGetParameterLabel(0, nullptr);
    list.vstGetParameterDisplay(0, nullptr);
    EXPECT_EQ(name[0], '\0');
    list.add(&plugin.mix);
    list.add(nullptr);
    EXPECT_EQ(list.numParams(), 10);
    plugin.presetBank.copyPreset(0, 1);
    EXPECT_EQ(&plugin.presetBank.getPreset(5), &plugin.presetBank.presetList[0]) << "nearest preset";
    plugin.processMidi(nullptr);
    EXPECT_EQ(DecibelDisplay::globalInstance.display(-1), "-oo");

    RealParam faulty(nullptr, "x", "X", "", 3, 0, 2, nullptr, nullptr);
    EXPECT_EQ(faulty.getDisplayValue() + " " + faulty.saveString(), "2 2")
        << "default clamped into the range";
    EXPECT_EQ(faulty.getKnobPos(), 1.0);
    Log log;
    {
        ValueListenerList<int> listeners;
        auto* once = new Recorder<int>(log, "A");
        listeners.addValueListener(once);
        listeners.addValueListener(once);
        listeners.removeValueListener(nullptr);
    }
    EXPECT_EQ(log, (Log{"~A"})) << "registered once, deleted once";
#endif
}
