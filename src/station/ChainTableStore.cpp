// Chain-break table: its persistence forms (the project's object archive and
// the data archive of the files that carry a table), and the line after the
// signature that states the table a text file's station text was written
// under.
#include <qdat/station/ChainTable.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/detail/FiniteValues.h>
#include <qdat/host/ObjectArchive.h>

namespace qdat {

void ChainTable::Serialize(ObjectArchive& ar) {
    if (ar.IsStoring()) {
        ar << kSchema << static_cast<std::int32_t>(GetBreakCount());
        for (const ChainBreak& brk : m_breaks) ar << ChainBreak::kSchema << brk.After << brk.Before;
        return;
    }
    std::int32_t schema = 0;
    std::int32_t count = 0;
    ar >> schema;
    if (schema != kSchema) ar.ThrowBadClass("chain table schema " + std::to_string(schema));
    ar >> count;
    if (count < 0) ar.ThrowBadClass("chain table with " + std::to_string(count) + " breaks");
    // Read break by break: a count larger than the stream runs into its end
    // instead of into a huge allocation.
    GrowArray<ChainBreak> breaks;
    for (std::int32_t i = 0; i < count; ++i) {
        ChainBreak brk;
        ar >> schema;
        if (schema != ChainBreak::kSchema) ar.ThrowBadClass("chain break schema " + std::to_string(schema));
        ar >> brk.After >> brk.Before;
        breaks.Add(brk);
    }
    m_breaks = std::move(breaks);
}

void ChainTable::StoreTo(DataArchive& ar) const {
    const bool legacy = ar.IsLegacyLayout();
    if (legacy) ar << static_cast<int>(kSchema);
    ar << static_cast<int>(GetBreakCount());
    for (const ChainBreak& brk : m_breaks) {
        if (legacy) ar << static_cast<int>(ChainBreak::kSchema);
        ar << Precision(4) << brk.After << brk.Before << EndRecord;
    }
}

namespace {
constexpr std::string_view kChainCommentLead = "// Chain breaks:";

std::string ShortestText(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}
}  // namespace

void ChainTable::StoreAsComment(DataArchive& ar) const {
    if (IsEmpty() || !ar.IsTextForm() || ar.IsLegacyLayout()) return;
    // Shortest text that reads back exactly: the stations depend on every bit.
    std::string text(kChainCommentLead.substr(2));
    for (const ChainBreak& brk : m_breaks) {
        CheckFinite(ar, brk.Before, "station of a chain break");
        CheckFinite(ar, brk.After, "station of a chain break");
        text += " " + ShortestText(brk.Before) + "=" + ShortestText(brk.After);
    }
    ar << BeginComment;
    ar.AppendToken(text);
    ar << EndComment;
}

std::optional<ChainTable> ChainTable::LoadFromComment(DataArchive& ar) {
    std::string line;
    if (!ar.TakeCommentLine(kChainCommentLead, line)) return std::nullopt;
    ChainTable table;
    const auto refuse = [&](const std::string& why) {
        ar.ThrowError(QArchiveException::BadFormat,
                      "the chain breaks stated in the line after the signature cannot be read: " + why);
    };
    std::size_t pos = 0;
    for (;;) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r')) ++pos;
        if (pos == line.size()) break;
        std::size_t end = pos;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r') ++end;
        const std::string_view pair(line.data() + pos, end - pos);
        const std::size_t eq = pair.find('=');
        double before = 0.0;
        double after = 0.0;
        const auto scan = [](std::string_view text, double& value) {
            const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
            return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size() &&
                   std::isfinite(value);
        };
        if (eq == std::string_view::npos || !scan(pair.substr(0, eq), before) ||
            !scan(pair.substr(eq + 1), after))
            refuse("\"" + std::string(pair) + "\" is not BEFORE=AFTER");
        table.m_breaks.Add(ChainBreak(before, after));
        pos = end;
    }
    if (table.IsEmpty()) refuse("no break");
    return table;
}

void ChainTable::LoadFrom(DataArchive& ar) {
    const bool schemaWords = ar.IsLegacyLayout() && ar.GetDocumentVersion() <= 500;
    int schema = 0;
    if (schemaWords) {
        ar >> schema;
        if (schema != kSchema)
            ar.ThrowError(QArchiveException::BadFormat,
                          "chain table schema 4 expected, found " + std::to_string(schema));
    }
    int count = 0;
    ar >> count;
    // A break takes at least two doubles in the binary forms, and at least two
    // one-character tokens with their separators in text; the first break of
    // a text table shares the record already read.
    const std::int64_t remaining = ar.RemainingBytes();
    const std::int64_t minimum = ar.IsTextForm() ? 4 : 16;
    const std::int64_t inRecord = ar.IsTextForm() ? 1 : 0;
    if (count < 0 || (remaining >= 0 && count > remaining / minimum + inRecord))
        ar.ThrowError(QArchiveException::BadFormat,
                      "chain table with " + std::to_string(count) + " breaks does not fit the file");
    GrowArray<ChainBreak> breaks;
    breaks.SetSize(0, std::min(count, 64));
    for (int i = 0; i < count; ++i) {
        if (schemaWords) {
            ar >> schema;
            if (schema != ChainBreak::kSchema)
                ar.ThrowError(QArchiveException::BadFormat,
                              "chain break schema 3 expected, found " + std::to_string(schema));
        }
        ChainBreak brk;
        ar >> Precision(4) >> brk.After >> brk.Before >> EndRecord;
        if (!std::isfinite(brk.After) || !std::isfinite(brk.Before))
            ar.ThrowError(QArchiveException::BadFormat, "a chain break is not a finite number");
        breaks.Add(brk);
    }
    m_breaks = std::move(breaks);
}

}  // namespace qdat
