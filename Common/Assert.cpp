#include "Common/Assert.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zr
{
void assertionFailed(const char* condition, const char* file, int line, const char* message)
{
    // Report the path as the project names its sources: no extension.
    const char* dot = std::strrchr(file, '.');
    const char* slash = std::strrchr(file, '/');
    int pathLength = (dot != nullptr && (slash == nullptr || dot > slash))
                         ? static_cast<int>(dot - file)
                         : static_cast<int>(std::strlen(file));
    if (message != nullptr && message[0] != '\0')
        std::fprintf(stderr, "Assertion \"%s\" failed in %.*s, line %d: %s\n", condition, pathLength, file,
                     line, message);
    else
        std::fprintf(stderr, "Assertion \"%s\" failed in %.*s, line %d\n", condition, pathLength, file, line);
    std::fflush(stderr);
    std::abort();
}
} // namespace zr
