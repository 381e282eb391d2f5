#include "tools/render/OptionReader.h"

namespace zr::host
{
OptionReader::OptionReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

bool OptionReader::next()
{
    if (next_ >= arguments_.size()) return false;
    name_ = arguments_[next_++];
    inlineValue_.clear();
    hasInlineValue_ = false;
    isOption_ = false;
    if (name_.rfind("--", 0) == 0) {
        isOption_ = true;
        const std::size_t equals = name_.find('=');
        if (equals != std::string::npos) {
            inlineValue_ = name_.substr(equals + 1);
            name_ = name_.substr(0, equals);
            hasInlineValue_ = true;
        }
    } else if (name_.size() > 1 && name_[0] == '-') {
        throw UsageError("unknown option " + name_);
    }
    return true;
}

std::string OptionReader::value()
{
    if (hasInlineValue_) return inlineValue_;
    if (next_ >= arguments_.size()) throw UsageError(name_ + " needs a value");
    return arguments_[next_++];
}

bool OptionReader::flag() const
{
    if (hasInlineValue_) throw UsageError(name_ + " takes no value");
    return true;
}

Setting parseSettingOption(const std::string& text)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        throw UsageError("--set wants NAME=VALUE, got '" + text + "'");
    return {text.substr(0, equals), text.substr(equals + 1)};
}
} // namespace zr::host
