// Everything the library keeps for the whole process, in one place.
//
// Threads. Every operation of the library runs on one thread, the host's
// user-interface thread, and nothing here is locked: these are plain values
// that any call may read and some calls change (the station precision changes
// how every station compares; the current chain table how every station is
// written). A host that calls the library from more than one thread holds
// ProcessLock() around each call, documents included: their lookups keep
// caches and the values below are shared by all of them.
//
// Besides these values the process holds registries that are filled while the
// library loads and only read afterwards: run-time classes, document kinds,
// the named-interface registry, the built-in texts, and the data types and
// setting keys of project files.
#pragma once

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

struct ProcessState {
    // The host's user interface (host/HostUi.h); null stands for the console
    // default, which answers every question No.
    UserInterface* ui = nullptr;

    // Language texts over the built-in ones (host/Resources.h), made on first
    // use, and a number that changes whenever any text may have changed.
    std::shared_ptr<LanguageTexts> texts;
    std::uint64_t textGeneration = 1;

    // Stationing (station/QStation.h, station/ChainTable.h): decimals of
    // station text, the tolerance of station comparisons (0.1 to the power of
    // the precision), the current chain table through which every station
    // text is written and read (made on first use), and the error of the last
    // station text that did not parse.
    int stationPrecision = 3;
    double stationTolerance = 0.001;
    std::shared_ptr<ChainTable> chainTable;
    std::shared_ptr<QDLException> lastStationTextError;

    // Documents (docbase/QDocument.h): while railway mode is on every write
    // marks the document as the railway variant; the notice of an old file
    // version is shown once after it is armed (by each project opened).
    bool railwayMode = false;
    bool oldVersionNoticeArmed = true;

    // Plan geometry (plan/Clothoid.h, plan/PlanAlignment.h): the length to
    // which iterations on spirals are carried, metres, and the element the
    // last alignment lookup used, where the next one starts its search.
    double geometryTolerance = 0.0001;
    int lastElementIndex = 0;

    // Superelevation evaluators (section/SupEvaluator.h): the evaluator class
    // the transition tool and the host create (null: the first class
    // registered below the evaluator class), the factor of each column 1-6
    // that the library keeps for the host's hooks, and the host's calculation
    // window that runs the transition tool when one is installed.
    const RuntimeClass* selectedEvaluatorClass = nullptr;
    double evaluatorColumnFactors[6] = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    TransitionToolWindow* transitionToolWindow = nullptr;
};

namespace detail {
extern constinit ProcessState g_process;
}  // namespace detail

// The process's state. Constant-initialised, so it is ready before any of the
// library's static initialisers runs.
inline ProcessState& Process() {
    return detail::g_process;
}

// The lock a host that uses several threads holds around each call.
std::recursive_mutex& ProcessLock();

}  // namespace qdat
