#include "Common/musicplugin/ParamValue.h"

#include "Common/musicplugin/BoolParam.h"
#include "Common/musicplugin/IntegerParam.h"
#include "Common/musicplugin/RealParam.h"

#include <algorithm>
#include <climits>
#include <cmath>

double paramValue(const Param& param) noexcept
{
    if (const auto* real = dynamic_cast<const RealParam*>(&param)) return real->getValue();
    if (const auto* onOff = dynamic_cast<const BoolParam*>(&param)) return onOff->getValue() ? 1.0 : 0.0;
    if (const auto* integer = dynamic_cast<const IntegerParam*>(&param)) return integer->getValue();
    return 0.0;
}

double setParamValue(Param& param, double value) noexcept
{
    if (std::isnan(value)) return paramValue(param);
    try {
        if (auto* real = dynamic_cast<RealParam*>(&param)) {
            real->setValue(std::clamp(value, real->getMinValue(), real->getMaxValue()));
        } else if (auto* onOff = dynamic_cast<BoolParam*>(&param)) {
            onOff->setValue(value >= 0.5);
        } else if (auto* integer = dynamic_cast<IntegerParam*>(&param)) {
            const double nearest = std::floor(std::clamp(value, double(INT_MIN), double(INT_MAX)) + 0.5);
            integer->setValue(integer->clip(static_cast<int>(nearest)));
        }
    } catch (...) {
        // A clamped value is always in range; nothing may leave the audio thread all the same.
    }
    return paramValue(param);
}
