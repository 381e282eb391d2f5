#pragma once
// Turn a continuous parameter's value into the short text a host shows beside it (without the unit label).
//
// Displays are immutable and may be shared by any number of parameters; every text is written in the
// "C" locale whatever the process's global locale is, since hosts set their own.

#include <string>

class Display
{
public:
    constexpr Display() = default;
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;
    virtual ~Display() = default;

    virtual std::string display(double value) const = 0;
};

// Four significant digits below 1000, whole numbers from there on.
class NormalDisplay : public Display
{
public:
    constexpr NormalDisplay() = default;
    ~NormalDisplay() override = default;

    std::string display(double value) const override;

    static const NormalDisplay globalInstance;
};

// A linear amplitude factor shown in decibels; 0 is "-oo".
class DecibelDisplay : public Display
{
public:
    constexpr DecibelDisplay() = default;
    ~DecibelDisplay() override = default;

    std::string display(double value) const override;

    static const DecibelDisplay globalInstance;
};

class ScaledDisplay : public Display
{
public:
    explicit constexpr ScaledDisplay(double factor) : factor(factor) {}
    ~ScaledDisplay() override = default;

    std::string display(double value) const override;

private:
    double factor;
};

class MilliDisplay : public ScaledDisplay
{
public:
    constexpr MilliDisplay() : ScaledDisplay(1000.0) {}
    ~MilliDisplay() override = default;

    static const MilliDisplay globalInstance;
};

// A fraction shown in percent.
class PercentDisplay : public ScaledDisplay
{
public:
    constexpr PercentDisplay() : ScaledDisplay(100.0) {}
    ~PercentDisplay() override = default;

    static const PercentDisplay globalInstance;
};

// Engineering notation with a one-letter SI prefix ("u" for micro).
class SiDisplay : public Display
{
public:
    constexpr SiDisplay() = default;
    ~SiDisplay() override = default;

    std::string display(double value) const override;

    static const SiDisplay globalInstance;
};
