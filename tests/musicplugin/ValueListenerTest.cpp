#include "Common/musicplugin/ValueListener.h"
#include "Recorder.h"

#include <gtest/gtest.h>

TEST(ValueListener, ListDeletesWhatIsLeftLastFirstAndNestedListsForward)
{
    Log log;
    auto* removed = new Recorder<int>(log, "B");
    {
        ValueListenerList<int> list;
        auto* inner = new ValueListenerList<int>;
        inner->addValueListener(new Recorder<int>(log, "inner"));
        list.addValueListener(new Recorder<int>(log, "A"));
        list.addValueListener(removed);
        list.addValueListener(inner);
        list.addValueListener(new Recorder<int>(log, "C"));
        list.removeValueListener(removed);
        list.valueChanged(7);
    }
    delete removed; // AddressSanitizer reports it if the list had deleted it too
    EXPECT_EQ(log, (Log{"A:7", "inner:7", "C:7", "~C", "~inner", "~A", "~B"}));
}

class Target
{
public:
    virtual ~Target() = default;
    virtual void set(bool on) { log.push_back(on ? "base:on" : "base:off"); }
    Log log;
};

class DerivedTarget : public Target
{
public:
    void set(bool on) override { log.push_back(on ? "derived:on" : "derived:off"); }
};

TEST(ValueListener, ObjectValueListenerCallsTheDynamicOverrideAndLeavesItsObjectAlone)
{
    DerivedTarget target;
    {
        ValueListenerList<bool> list;
        list.addValueListener(new ObjectValueListener<Target, bool>(&target, &Target::set));
        list.valueChanged(true);
    }
    target.set(false);
    EXPECT_EQ(target.log, (Log{"derived:on", "derived:off"}));
}
