// The processor brand string, read the same way on both compilers through
// the compiler's own CPUID header.
#include <orvalis/platform/system_info.h>

#include <cpuid.h>

#include <cstring>

namespace orvalis::platform {

std::string cpuBrand() {
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0x80000000u, &eax, &ebx, &ecx, &edx) || eax < 0x80000004u)
        return {};
    char brand[49] = {};
    for (unsigned int leaf = 0; leaf < 3; ++leaf) {
        unsigned int regs[4] = {};
        if (!__get_cpuid(0x80000002u + leaf, &regs[0], &regs[1], &regs[2], &regs[3]))
            return {};
        std::memcpy(brand + leaf * 16, regs, 16);
    }
    return std::string(brand, strnlen(brand, 48));
}

}  // namespace orvalis::platform
