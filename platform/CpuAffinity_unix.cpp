#include "CpuAffinity.h"

#include <sched.h>

namespace lw {

void pinToFirstProcessor() {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    (void)sched_setaffinity(0, sizeof set, &set);
}

} // namespace lw
