#include <qdat/host/Context.h>

namespace qdat {

namespace {

// The innermost scope's context on this thread; null: the default one.
thread_local Context* t_current = nullptr;

}  // namespace

Context& Context::Default() {
    // Made on first use, so that static initialisers of any module can
    // already use it, and never destroyed, so that they can at exit too.
    static Context* const context = new Context();
    return *context;
}

Context& Context::Current() {
    Context* current = t_current;
    return current ? *current : Default();
}

ContextScope::ContextScope(Context& context) : m_previous(t_current) {
    t_current = &context;
}

ContextScope::~ContextScope() {
    t_current = m_previous;
}

}  // namespace qdat
