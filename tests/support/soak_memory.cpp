#include "soak_memory.h"

#include <fstream>
#include <string>

namespace karvel::soak {

int64_t ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            int64_t kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

} // namespace karvel::soak
