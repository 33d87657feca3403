// How often the calling thread's current context changed: each ContextScope
// made or ended counts one. A cache of something of the current context
// (the station layer's chain table) stays valid while the count is the same.
#pragma once

#include <cstdint>

namespace qdat {

std::uint64_t ContextChanges();

}  // namespace qdat
