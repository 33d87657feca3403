// The plan element file: signatures and content.
#include "plan/QPmDoc.h"

#include <algorithm>
#include <cctype>

#include "docbase/DataArchive.h"
#include "host/Resources.h"
#include "plan/detail/PlanStrings.h"
#include "station/ChainTable.h"

namespace qdat {

namespace {

// The first line of a legacy file without signature: the chain table's
// schema number 4, cut off by the zero byte that follows it.
const std::string kLegacyFirstLine(1, '\x04');

std::string TrimUpper(const std::string& text) {
    const auto blank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    std::string out(first, first < last ? last : first);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

const RuntimeClass QPmDoc::classRecord{"QPmDoc", &QDocument::classRecord,
                                       [] { return std::make_unique<QPmDoc>(); }};

QPmDoc::QPmDoc() : QDocument(std::make_unique<QPmData>()) { SetCurrentVersion(kCurrentVersion); }

std::string QPmDoc::GetSignature() { return IsLegacyLayout() ? std::string() : std::string(kSignature); }

bool QPmDoc::ParseSignature(const std::string& signature) {
    const std::string sig = TrimUpper(signature);
    if (sig == kSignature) {
        SetFileVersion(583);
        SetLegacyLayout(false);
        return true;
    }
    if (sig == kSignature580) {
        SetFileVersion(580);
        SetLegacyLayout(false);
        return true;
    }
    if (sig == kSignaturePpc) {
        SetFileVersion(580);
        SetLegacyLayout(true);
        return true;
    }
    SetFileVersion(0);
    if (sig == kLegacyFirstLine) {
        // A legacy binary file: read from its first byte, without header.
        SetLegacyLayout(true);
        SetTextForm(false);
        SetTaggedForm(false);
        SetScrambledForm(false);
    } else {
        SetLegacyLayout(false);
    }
    return false;
}

std::string QPmDoc::GetTypeString() { return LoadResourceString(plan_strings::kPlanElementFileType); }

void QPmDoc::DeleteContents() { GetAlignment().RemoveAllElements(); }

int QPmDoc::SerializeContent(DataArchive& ar) {
    if (ar.IsStoring()) {
        if (ar.IsLegacyLayout()) GetCurrentChainTable().StoreTo(ar);
        ar << StationAsNumber;
        GetAlignment().Serialize(ar);
        return true;
    }
    // Read into a fresh alignment so that a file that fails half-way leaves
    // nothing of itself behind.
    if (ar.IsLegacyLayout()) {
        ChainTable discarded;
        discarded.LoadFrom(ar);
    }
    ar >> StationAsNumber;
    PlanAlignment alignment;
    alignment.Serialize(ar);
    GetAlignment() = std::move(alignment);
    return true;
}

}  // namespace qdat
