#include <qdat/host/Context.h>
#include <qdat/host/detail/ContextChanges.h>

#include <algorithm>
#include <iterator>

namespace qdat {

namespace {

// The innermost scope's context on this thread; null: the default one. Read
// on every station comparison: the initial-exec model spares a library loaded
// as a plug-in or a Python module the call the general-dynamic model makes on
// each read (a pointer fits the room the loader keeps for such libraries).
[[gnu::tls_model("initial-exec")]] thread_local Context* t_current = nullptr;
[[gnu::tls_model("initial-exec")]] thread_local std::uint64_t t_changes = 0;

}  // namespace

Context& Context::Default() {
    // Made on first use, so that static initialisers of any module can
    // already use it, and never destroyed, so that they can at exit too.
    static Context* const context = new Context();
    return *context;
}

void Context::TakeSettingsFrom(const Context& other) {
    if (&other == this) return;
    // Every member below the chain table's, listed one by one: a setting
    // added to the class is added here too.
    ui = other.ui;
    texts = other.texts;
    stationPrecision = other.stationPrecision;
    stationTolerance = other.stationTolerance;
    railwayMode = other.railwayMode;
    oldVersionNoticeArmed = other.oldVersionNoticeArmed;
    geometryTolerance = other.geometryTolerance;
    selectedEvaluatorClass = other.selectedEvaluatorClass;
    std::copy(std::begin(other.evaluatorColumnFactors), std::end(other.evaluatorColumnFactors),
              std::begin(evaluatorColumnFactors));
    transitionToolWindow = other.transitionToolWindow;
}

Context& Context::Current() {
    Context* current = t_current;
    return current ? *current : Default();
}

std::uint64_t ContextChanges() {
    return t_changes;
}

ContextScope::ContextScope(Context& context) : m_previous(t_current) {
    t_current = &context;
    ++t_changes;
}

ContextScope::~ContextScope() {
    t_current = m_previous;
    ++t_changes;
}

}  // namespace qdat
