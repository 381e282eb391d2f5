#pragma once
// Conversions between a continuous parameter's value and its knob position in [0, 1].
//
// A mapping keeps no range: the parameter passes its own bounds with every call, so one immutable
// instance can serve any number of parameters on any thread.

class Mapping
{
public:
    constexpr Mapping() = default;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    virtual ~Mapping() = default;

    virtual double positionOfValue(double value, double minValue, double maxValue) const = 0;
    virtual double valueOfPosition(double position, double minValue, double maxValue) const = 0;
    virtual bool isLogarithmic() const { return false; }
};

class LinearMapping : public Mapping
{
public:
    constexpr LinearMapping() = default;
    ~LinearMapping() override = default;

    double positionOfValue(double value, double minValue, double maxValue) const override;
    double valueOfPosition(double position, double minValue, double maxValue) const override;
};

// Equal knob steps are equal ratios; the range must lie above 0.
class LogarithmicMapping : public Mapping
{
public:
    constexpr LogarithmicMapping() = default;
    ~LogarithmicMapping() override = default;

    double positionOfValue(double value, double minValue, double maxValue) const override;
    double valueOfPosition(double position, double minValue, double maxValue) const override;
    bool isLogarithmic() const override { return true; }
};

// The knob is linear in the exponent-th root of the value; odd-symmetric, so ranges may cross zero.
class RootMapping : public Mapping
{
public:
    explicit constexpr RootMapping(double exponent) : exponent(exponent), inverseExponent(1.0 / exponent) {}
    ~RootMapping() override = default;

    double positionOfValue(double value, double minValue, double maxValue) const override;
    double valueOfPosition(double position, double minValue, double maxValue) const override;

    // pow that keeps the sign of x: myPow(-8, 1/3) is -2.
    static double myPow(double x, double y);

private:
    double exponent;
    double inverseExponent;
};

class SqrtMapping : public RootMapping
{
public:
    constexpr SqrtMapping() : RootMapping(2.0) {}
    ~SqrtMapping() override = default;
};
