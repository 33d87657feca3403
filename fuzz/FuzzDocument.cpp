// Generic fuzz target: reads the input as a file of one document class
// (QDAT_FUZZ_KIND) through the read pipeline, then writes the document back and
// reads the result again. Any crash, hang or sanitizer report is a bug; an
// archive error is the expected answer to bad input.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "docbase/QDocument.h"
#include "host/HostFile.h"
#include "host/HostUi.h"
#include "host/RuntimeClass.h"

namespace {
class SilentUi : public qdat::ConsoleUi {
public:
    qdat::MessageAnswer ShowMessage(const std::string&, qdat::MessageKind, qdat::MessageButtons) override {
        return qdat::MessageAnswer::No;
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SilentUi ui;
    static qdat::ScopedUi scoped(ui);
    auto doc = qdat::CreateObjectAs<qdat::QDocument>(QDAT_FUZZ_KIND);
    if (!doc) return 0;
    if (size == 0 && !data) data = reinterpret_cast<const std::uint8_t*>("");
    qdat::MemoryFile in(std::string(reinterpret_cast<const char*>(data), size), "fuzz.in");
    if (!doc->ReadFromFile(in)) return 0;
    qdat::MemoryFile out(std::string(), "fuzz.out");
    try {
        doc->WriteToFile(out);
    } catch (const std::exception&) {
        return 0;
    }
    auto again = qdat::CreateObjectAs<qdat::QDocument>(QDAT_FUZZ_KIND);
    qdat::MemoryFile back(out.Bytes(), "fuzz.back");
    again->ReadFromFile(back);
    return 0;
}
