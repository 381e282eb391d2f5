#pragma once
// The observer kit the parameter framework rests on: values that tell their listeners when they change.
//
// A listener list owns the listeners still registered when it dies, so registered listeners are heap
// objects. Nothing here locks: callers serialise (the VST adaptor holds its mutex around every host call).

#include "Common/Assert.h"

#include <algorithm>
#include <cstddef>
#include <vector>

template <typename T> class ValueListener
{
public:
    ValueListener() = default;
    ValueListener(const ValueListener&) = delete;
    ValueListener& operator=(const ValueListener&) = delete;
    virtual ~ValueListener() = default;

    virtual void valueChanged(T newValue) = 0;
};

// Itself a listener, so a list registered inside another list forwards what it receives.
template <typename T> class ValueListenerList : public ValueListener<T>
{
public:
    ValueListenerList() = default;

    // Deletes the listeners still registered, last registered first.
    ~ValueListenerList() override
    {
        while (!listeners_.empty()) {
            ValueListener<T>* listener = listeners_.back();
            listeners_.pop_back();
            delete listener;
        }
    }

    void valueChanged(T newValue) override
    {
        // Index against the current size at every step, so a list that changes underneath is not overrun.
        for (std::size_t i = 0; i < listeners_.size(); ++i) {
            if (listeners_[i] != nullptr) listeners_[i]->valueChanged(newValue);
        }
    }

    virtual void addValueListener(ValueListener<T>* listener)
    {
        ZR_ASSERT(std::find(listeners_.begin(),listeners_.end(),listener) == listeners_.end());
        // A second entry for the same pointer would be deleted twice.
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) return;
        listeners_.push_back(listener);
    }

    virtual void removeValueListener(ValueListener<T>* listener)
    {
        auto found = std::find(listeners_.begin(), listeners_.end(), listener);
        if (found == listeners_.end()) {
            ZR_ASSERT(false);
            return;
        }
        listeners_.erase(found);
    }

private:
    std::vector<ValueListener<T>*> listeners_;
};

template <typename T> class Value
{
public:
    Value() = default;
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
    virtual ~Value() = default;

    virtual T getValue() const = 0;

    // Delivers the current value at once, so the listener starts in step, then keeps it informed.
    void addValueListener(ValueListener<T>* listener)
    {
        if (listener == nullptr) return;
        listener->valueChanged(getValue());
        valueListeners_.addValueListener(listener);
    }

    void notifyValueListeners() { valueListeners_.valueChanged(getValue()); }

private:
    ValueListenerList<T> valueListeners_;
};

template <typename T> class SettableValue : public Value<T>
{
public:
    explicit SettableValue(T value) : value_(value) {}

    T getValue() const override { return value_; }

    void setValue(T newValue)
    {
        if (newValue == value_) return;
        value_ = newValue;
        this->notifyValueListeners();
    }

private:
    T value_;
};

// Forwards each new value to a member function of an object it does not own.
template <typename Object, typename T> class ObjectValueListener : public ValueListener<T>
{
public:
    using Method = void (Object::*)(T);

    ObjectValueListener(Object* object, Method method) : object_(object), method_(method) {}

    void valueChanged(T newValue) override
    {
        if (object_ != nullptr && method_ != nullptr) (object_->*method_)(newValue);
    }

private:
    Object* object_;
    Method method_;
};
