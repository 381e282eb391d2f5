// A host's other threads load and save the state, edit and read parameters while the audio thread
// processes with parameter changes of its own: the audio thread never waits, every saved state is one a
// thread applied whole (ThreadSanitizer watches the exchange), and the last state loaded wins.

#include "Common/musicplugin/PluginState.h"
#include "ZaRorurarozeParam.h"
#include "tests/vst3/Vst3TestHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>

using namespace vst3test;

namespace
{
std::string stateWithThreshold(const char* threshold)
{
    ZaRorurarozePlugin plugin;
    plugin.paramList.param(ZaRorurarozeParam::threshold)->loadString(threshold);
    plugin.paramList.param(ZaRorurarozeParam::ratio)->loadString(threshold[2] == '1' ? "3" : "5");
    return PluginState::saveBank(plugin, 0) + '\0';
}

std::string thresholdOf(const std::string& state)
{
    const std::string key = "\t\t\tthreshold\n\t\t\t\t";
    const std::size_t at = state.find(key);
    return at == std::string::npos ? "(none)"
                                   : state.substr(at + key.size(), state.find('\0') - at - key.size());
}
} // namespace

TEST(Vst3Concurrency, StatesAndEditsBesideProcessing)
{
    Instance a;
    const std::string first = stateWithThreshold("0.1");
    const std::string second = stateWithThreshold("0.2");
    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (int block = 0; block < 3000; ++block) {
            ParameterChanges changes;
            if (block % 50 == 0) changes.add(ZaRorurarozeParam::attack, 7, block % 100 == 0 ? 0.1 : 0.3);
            a.process(64, &changes);
        }
        done = true;
    });
    std::set<std::string> seen;
    int rounds = 0;
    while (!done) {
        ASSERT_EQ(a.setState(rounds % 2 == 0 ? first : second, 5), kResultOk);
        const std::string saved = a.state();
        ZaRorurarozePlugin check;
        ASSERT_TRUE(PluginState::loadBank(check, 0, saved.substr(0, saved.size() - 1))) << saved;
        seen.insert(thresholdOf(saved));
        a.controller->setParamNormalized(ZaRorurarozeParam::mix, rounds % 3 / 2.0);
        EXPECT_GE(a.controller->getParamNormalized(ZaRorurarozeParam::attack), 0.0);
        ++rounds;
    }
    audio.join();
    // Only the two states' thresholds: the audio thread never moves it.
    EXPECT_TRUE(seen.size() <= 2 && !seen.count("(none)")) << *seen.begin();
    ASSERT_EQ(a.setState(first), kResultOk);
    ASSERT_EQ(a.process(64), kResultOk);
    EXPECT_EQ(a.state(), first);
    EXPECT_GT(rounds, 0);
}
