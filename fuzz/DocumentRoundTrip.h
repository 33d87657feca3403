// What the fuzz target of every document kind checks for one input, shared
// with the generic tests that replay the saved inputs: the input is read as a
// file of the kind; when it reads, the document is written as text, that text
// is read again and written again, and the two texts must be equal. A file the
// kind cannot read, or a document it refuses to write, is an expected answer;
// a crash, a hang, a sanitizer report or two different texts are faults.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <qdat/docbase/DocumentKind.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/host/HostFile.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStation.h>

namespace qdat::fuzz {

// The document written in text form, or nothing when the write is refused.
inline bool WriteAsText(QDocument& doc, std::string& text) {
    doc.SetFormatFlags(FormatFlag::NotLoading | FormatFlag::TextForm);
    MemoryFile out(std::string(), "fuzz.out");
    try {
        if (!doc.WriteToFile(out)) return false;
    } catch (const std::exception&) {
        return false;
    }
    text = out.Bytes();
    return true;
}

// Empty when the input behaves, else what went wrong. The current chain table
// starts empty for every input, so that inputs do not depend on each other.
inline std::string ReadWriteRead(const DocumentKind& kind, std::string_view input) {
    GetCurrentChainTable() = ChainTable();
    std::unique_ptr<QDocument> doc = kind.CreateDocument();
    MemoryFile in(std::string(input), "fuzz.in");
    if (!doc->ReadFromFile(in)) return {};
    std::string first;
    if (!WriteAsText(*doc, first)) return {};
    std::unique_ptr<QDocument> again = kind.CreateDocument();
    MemoryFile back(first, "fuzz.back");
    if (!again->ReadFromFile(back)) return "the text written cannot be read back:\n" + first;
    std::string second;
    if (!WriteAsText(*again, second)) return "the document read back cannot be written:\n" + first;
    if (first != second)
        return "the text written differs after reading it back:\n" + first + "\n----\n" + second;
    return {};
}

}  // namespace qdat::fuzz
