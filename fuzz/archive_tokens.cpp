// Fuzz target for the archive's loading side. The input is read through a bare
// archive in each physical form (text, binary, tagged, scrambled, tagged and
// scrambled), then once more with a document attached so that the header and
// signature detection run, and finally through ReadArchiveEnvelope. Each run reads a
// mix of typed values, records and key-value records until the end of the data
// or an archive error. An archive error is the expected answer to bad input;
// a crash, a hang, a sanitizer report or any other exception is a bug.
#include <cstddef>
#include <cstdint>
#include <string>

#include <qdat/docbase/ArchiveEnvelope.h>
#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/host/HostFile.h>

namespace {

using qdat::DataArchive;

class FuzzDoc : public qdat::QDocument {
public:
    std::string GetSignature() override { return "RADUDAR6.00_TEST_SHUJU"; }
    bool ParseSignature(const std::string& signature) override {
        const bool known = signature == "RADUDAR6.00_TEST_SHUJU";
        SetFileVersion(known ? 600 : 0);
        return known;
    }
};

void ReadOneValue(DataArchive& ar, unsigned op) {
    switch (op % 12) {
        case 0: {
            char v;
            ar >> v;
            break;
        }
        case 1: {
            unsigned char v;
            ar >> v;
            break;
        }
        case 2: {
            int v;
            ar >> v;
            break;
        }
        case 3: {
            unsigned v;
            ar >> v;
            break;
        }
        case 4: {
            short v;
            ar >> v;
            break;
        }
        case 5: {
            unsigned short v;
            ar >> v;
            break;
        }
        case 6: {
            long v;
            ar >> v;
            break;
        }
        case 7: {
            unsigned long v;
            ar >> v;
            break;
        }
        case 8: {
            float v;
            ar >> v;
            break;
        }
        case 9: {
            double v;
            ar >> v;
            break;
        }
        case 10: {
            std::string v;
            ar >> v;
            break;
        }
        default:
            if (ar.IsTextForm())
                ar.NextToken();
            else
                ar.ReadStationValue();
            break;
    }
}

void ReadTextExtras(DataArchive& ar, unsigned op) {
    std::string name, text;
    long number = 0;
    double value = 0;
    switch (op % 6) {
        case 0:
            ar.ParseKeyInt(name, number);
            break;
        case 1:
            ar.ParseKeyDouble(name, value);
            break;
        case 2:
            ar.ParseKeyText(name, text);
            break;
        case 3:
            ar.NextTokenContains("A");
            break;
        case 4:
            ar.ReadRecord();
            break;
        default:
            ar.AddWarning("fuzz");
            break;
    }
}

// Reads until the end, an archive error, or a step limit (a text record that
// yields no token makes no progress on its own).
void ReadMix(DataArchive& ar, unsigned pattern, std::size_t size) {
    const std::size_t limit = 4 * size + 64;
    for (std::size_t step = 0; step < limit && !ar.AtEnd(); ++step) {
        const unsigned op = pattern + static_cast<unsigned>(step) * 7u;
        if (ar.IsTextForm()) {
            if (ar.CountTokens() == 0 || op % 9 == 0) {
                ar >> qdat::EndRecord;
                continue;
            }
            if (op % 5 == 0) {
                ReadTextExtras(ar, op / 5);
                continue;
            }
        }
        ReadOneValue(ar, op);
        ar.GetPosition();
        ar.RemainingBytes();
    }
}

void RunBare(const std::string& bytes, unsigned form, unsigned pattern) {
    qdat::MemoryFile file(bytes, "fuzz.in");
    try {
        DataArchive ar(&file, DataArchive::Load | DataArchive::NoFlushOnDelete, 128);
        ar.SetTextForm(form == 0);
        ar.SetTaggedForm(form == 2 || form == 4);
        ar.SetScrambledForm(form == 3 || form == 4);
        ar >> qdat::EndRecord;
        ReadMix(ar, pattern, bytes.size());
    } catch (const qdat::QArchiveException&) {
    }
}

void RunWithDocument(const std::string& bytes, unsigned pattern) {
    qdat::MemoryFile file(bytes, "fuzz.doc");
    try {
        FuzzDoc doc;
        DataArchive ar(&file, DataArchive::Load | DataArchive::NoFlushOnDelete, 4096, nullptr, &doc);
        ReadMix(ar, pattern, bytes.size());
    } catch (const qdat::QArchiveException&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The last byte picks where the sequence of value types starts, so one
    // input is read against several type sequences across the runs.
    const unsigned pattern = size ? data[size - 1] : 0;
    for (unsigned form = 0; form < 5; ++form) RunBare(bytes, form, pattern + form);
    RunWithDocument(bytes, pattern);
    qdat::MemoryFile file(bytes, "fuzz.env");
    try {
        qdat::ReadArchiveEnvelope(file);
    } catch (const qdat::QArchiveException&) {
    }
    return 0;
}
