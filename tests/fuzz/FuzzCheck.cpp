#include "FuzzCheck.h"

#include <cstdio>
#include <cstdlib>

namespace zr::fuzz
{
void propertyFailed(const char* property, const char* file, int line)
{
    std::fprintf(stderr, "Property \"%s\" failed in %s, line %d\n", property, file, line);
    std::abort();
}
} // namespace zr::fuzz
