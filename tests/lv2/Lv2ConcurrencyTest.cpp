// A host may save the state from its own thread while run() goes on: run must never wait, and the saved
// chunk must hold values run applied, never a torn or racing read (ThreadSanitizer watches this one).

#include "ZaRorurarozeParam.h"
#include "tests/lv2/Lv2TestHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

using namespace lv2test;

TEST(Lv2Concurrency, SaveBesideRunReadsOnlyPublishedValues)
{
    Host host;
    Instance a(host);
    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (int block = 0; block < 2000; ++block) {
            a.controls[ZaRorurarozeParam::threshold] = block % 2 == 0 ? -20.0f : -30.0f; // moves every block
            a.run(64);
        }
        done = true;
    });
    int saves = 0;
    while (!done) {
        Host saved;
        ASSERT_EQ(a.save(saved), LV2_STATE_SUCCESS);
        const std::string& text = saved.state.at(saved.chunkKey()).value;
        const std::string key = "\t\t\tthreshold\n\t\t\t\t";
        const size_t at = text.find(key);
        ASSERT_NE(at, std::string::npos);
        const std::string value = text.substr(at + key.size());
        // The default, then one of the two values run applied (-20 dB and -30 dB).
        const bool known = value == std::string("1\0", 2) || value == std::string("0.1\0", 4) ||
                           value == std::string("0.03162277660168379\0", 20);
        EXPECT_TRUE(known) << value;
        ++saves;
    }
    audio.join();
    EXPECT_GT(saves, 0);
}
