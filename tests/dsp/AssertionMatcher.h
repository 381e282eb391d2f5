#pragma once
// Death-test pattern for the project's assertion report: the condition text exactly as written and the source
// path without extension. Regular-expression characters in the condition are escaped.

#include <string>

inline std::string assertionPattern(const std::string& condition, const std::string& source)
{
    std::string escaped;
    for (char c : condition) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) escaped += '\\';
        escaped += c;
    }
    return "Assertion \"" + escaped + "\" failed in " + source + ", line";
}
