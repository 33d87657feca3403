// The fuzz target of every document kind: one program, the kind chosen by
// the environment variable QDAT_FUZZ_KIND (a class name of `qdat kinds`).
// With QDAT_FUZZ_LIST_KINDS set it prints every kind with its extensions, one
// a line, and exits: the CI loop fuzzes each of them in turn.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <qdat/host/HostUi.h>
#include "DocumentRoundTrip.h"

namespace {

class SilentUi : public qdat::ConsoleUi {
public:
    qdat::MessageAnswer ShowMessage(const std::string&, qdat::MessageKind, qdat::MessageButtons) override {
        return qdat::MessageAnswer::No;
    }
};

const qdat::DocumentKind* g_kind = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static SilentUi ui;
    qdat::SetCurrentUi(&ui);
    if (std::getenv("QDAT_FUZZ_LIST_KINDS")) {
        for (const qdat::DocumentKind* kind : qdat::DocumentKind::All()) {
            std::printf("%s", kind->GetName());
            for (const std::string& ext : kind->GetExtensions()) std::printf(" %s", ext.c_str());
            std::printf("\n");
        }
        std::exit(0);
    }
    const char* name = std::getenv("QDAT_FUZZ_KIND");
    g_kind = name ? qdat::DocumentKind::Find(name) : nullptr;
    if (!g_kind) {
        std::fprintf(stderr, "set QDAT_FUZZ_KIND to a document kind (QDAT_FUZZ_LIST_KINDS=1 lists them)\n");
        std::exit(2);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), data ? size : 0);
    const std::string fault = qdat::fuzz::ReadWriteRead(*g_kind, input);
    if (!fault.empty()) {
        std::fprintf(stderr, "%s: %s\n", g_kind->GetName(), fault.c_str());
        std::abort();
    }
    return 0;
}
