#include "host/ProcessState.h"

namespace qdat {

namespace detail {
constinit ProcessState g_process;
}  // namespace detail

std::recursive_mutex& ProcessLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace qdat
