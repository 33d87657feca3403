// The settings the library works under: the host's user interface, how
// stations are written and compared, the chain table, the texts, the geometry
// tolerance and the superelevation hooks.
//
// Threads. A context belongs to one thread at a time: every call of the
// library reads the context current on the calling thread and some calls
// change it (the station precision changes how every station compares; the
// chain table how every station is written). Context::Default() is current
// on every thread that never chose another, so a host with one thread never
// thinks about contexts. A host that works on several threads gives each its
// own context with a ContextScope; documents are not shared between threads
// without a lock (their lookups keep caches), but separate documents on
// separate threads, each under its own context, are safe.
//
// Besides contexts the process holds registries that are filled while the
// library loads: run-time classes, document kinds, the named-interface
// registry, the built-in texts, and the data types and setting keys of project
// files. A host may register more later; each registry takes a lock of its own.
#pragma once

#include <qdat/host/Export.h>
#include <cstdint>
#include <memory>
#include <mutex>

namespace qdat {

class UserInterface;
class ChainTable;
class QDLException;
class RuntimeClass;
class TransitionToolWindow;
struct LanguageTexts;

class QDAT_API Context {
public:
    // A context with the library's start-up settings: precision 3, tolerance
    // 0.001, an empty chain table, the process's language, railway mode off.
    Context() = default;
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // Takes over every setting of other but its chain table and the error of
    // its last station text, which stay this context's own: how a context
    // for one file or one call starts from the host's.
    void TakeSettingsFrom(const Context& other);

    // The context of threads that never chose one; lives as long as the library.
    static Context& Default();
    // The context of the calling thread: the innermost ContextScope's, else
    // the default one.
    static Context& Current();

    // The host's user interface (host/HostUi.h); null stands for the console
    // default, which answers every question No.
    UserInterface* ui = nullptr;

    // Language texts over the built-in ones (host/Resources.h); null until a
    // language file is loaded or dropped under this context: the process's
    // language, chosen once.
    std::shared_ptr<const LanguageTexts> texts;

    // Stationing (station/QStation.h, station/ChainTable.h): decimals of
    // station text, the tolerance of station comparisons (0.1 to the power of
    // the precision), the chain table through which every station text is
    // written and read (made on first use, once), and the error of the last
    // station text that did not parse.
    int stationPrecision = 3;
    double stationTolerance = 0.001;
    std::shared_ptr<ChainTable> chainTable;
    std::once_flag chainTableMade;
    std::shared_ptr<QDLException> lastStationTextError;

    // Documents (docbase/QDocument.h): while railway mode is on every write
    // marks the document as the railway variant; the notice of an old file
    // version is shown once after it is armed (by each project opened).
    bool railwayMode = false;
    bool oldVersionNoticeArmed = true;

    // Plan geometry (plan/Clothoid.h): the length to which iterations on
    // spirals are carried, metres.
    double geometryTolerance = 0.0001;

    // Superelevation evaluators (section/SupEvaluator.h): the evaluator class
    // the transition tool and the host create (null: the first class
    // registered below the evaluator class), the factor of each column 1-6
    // that the library keeps for the host's hooks, and the host's calculation
    // window that runs the transition tool when one is installed.
    const RuntimeClass* selectedEvaluatorClass = nullptr;
    double evaluatorColumnFactors[6] = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    TransitionToolWindow* transitionToolWindow = nullptr;
};

// While it lives, context is the calling thread's current context; scopes
// nest, and each one's end brings back the context before it.
class QDAT_API ContextScope {
public:
    explicit ContextScope(Context& context);
    ~ContextScope();
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

private:
    Context* m_previous;
};

}  // namespace qdat
