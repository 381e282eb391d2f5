#pragma once
// The parameter interface the host bridge and the presets drive without knowing a parameter's type.

#include "Common/musicplugin/ValueListener.h"

#include <string>
#include <utility>

class ParamList;

class Param
{
public:
    // Appends the new parameter to list (when not null): construction order is the host's index order.
    Param(ParamList* list, std::string saveName, std::string displayName, std::string displayLabel);
    Param(const Param&) = delete;
    Param& operator=(const Param&) = delete;
    virtual ~Param();

    // The key under which presets store the parameter.
    virtual std::string getSaveName() const;
    virtual std::string saveString() const = 0;
    // Never fails: unreadable text gives the default, out-of-range numbers are clamped.
    virtual void loadString(std::string text) = 0;
    virtual std::string getDisplayName() const;
    // The value as text, without the unit label.
    virtual std::string getDisplayValue() const = 0;
    virtual std::string getDisplayLabel() const;
    virtual void resetToDefault() = 0;
    virtual bool isAtDefault() const = 0;
    virtual double getKnobPos() const = 0;
    virtual void setKnobPos(double knobPos) = 0;
    // Delivers the current knob position at once; the listener list owns the listener from then on.
    virtual void addKnobListener(ValueListener<double>* listener);
    virtual void removeKnobListener(ValueListener<double>* listener);
    virtual void notifyKnobListeners();

    // A parameter a plug-in gained after its presets were in use leaves itself out of a saved preset while
    // it holds its default: such a preset reads as one of the plug-in without it, and a preset without it
    // loads it at its default anyway (ParamList).
    void omitFromPresetsAtDefault() { omittedAtDefault_ = true; }
    bool omittedAtDefault() const { return omittedAtDefault_; }

private:
    std::string saveName_;
    std::string displayName_;
    std::string displayLabel_;
    ValueListenerList<double> knobListeners_;
    bool omittedAtDefault_ = false;
};

// A parameter that program code reads, and listens to, in its own type.
template <typename T> class ValueParam : public Param, public Value<T>
{
public:
    ValueParam(ParamList* list, std::string saveName, std::string displayName, std::string displayLabel)
        : Param(list, std::move(saveName), std::move(displayName), std::move(displayLabel))
    {}
    ~ValueParam() override = default;

    T getValue() const override = 0;
    virtual void setValue(T newValue) = 0;

protected:
    // After a change: value listeners first, then knob listeners.
    void notifyChange()
    {
        this->notifyValueListeners();
        notifyKnobListeners();
    }
};
