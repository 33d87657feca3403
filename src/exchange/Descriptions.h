// The library's files described as data, for what prints or hands them on
// (`qdat dump --json`, `qdat kinds --json`, `qdat project --json`, the Python
// package): a document's content by its kind's column descriptions, the
// document kinds and data types from their registries, and a project file.
// Stations, lengths and coordinates are metres, angles radians; a missing
// value (a point without elevation) is null.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <qdat/docbase/ArchiveEnvelope.h>
#include <qdat/docbase/DocumentKind.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/exchange/DataValue.h>
#include <qdat/host/Export.h>
#include <qdat/project/DataTypeRegistry.h>
#include <qdat/project/PrjFile.h>
#include <qdat/station/ChainTable.h>

namespace qdat {

// ---------------------------------------------------------------------------
// Files

// The kind that reads a file: the kind whose signature table reads the
// file's signature, else the kind of its extension; null when none does.
// Throws FileException when the file cannot be opened.
QDAT_API const DocumentKind* KindOfFile(const std::string& path);
// The signature the document accepted when it read the file at path, as
// compared (trimmed, upper case); empty when the file has none its kind
// accepts.
QDAT_API std::string AcceptedSignature(const std::string& path, const QDocument& doc);
// The form of a file ("text", "binary", "tagged" or "scrambled") as its
// envelope and the rule its kind reads its signature by say: a file without
// header is text, unless that rule selects a binary layout without header
// (the 5.0 files).
QDAT_API const char* FileFormName(const ArchiveEnvelope& env, const SignatureRule* rule);
// The chain table the file of an old layout carried; null when none.
QDAT_API const ChainTable* FileChainTableOf(const QDocument& doc);

// ---------------------------------------------------------------------------
// Documents

// A chain table: {"prefix", "breaks": [{"before", "after"}...]}.
QDAT_API DataValue ChainTableDescription(const ChainTable& table);
// The fields of the content's records at the top level, each list under its
// key (and the lists each row holds under theirs), a missing value as null.
QDAT_API DataValue ContentDescription(QDocument& doc);
// The number of rows of the content's lists.
QDAT_API std::size_t ContentRowCount(QDocument& doc);
// One row of columns as fields, a missing value as null.
QDAT_API DataValue RowDescription(std::span<const ColumnDescription> columns, const void* row);
// The whole document read from a file with the signature `signature`
// (AcceptedSignature): kind, signature, fileVersion, currentVersion, the
// file's chain table when it carried one, the note of a read in part, and
// the content.
QDAT_API DataValue DocumentDescription(QDocument& doc, const std::string& signature);

// ---------------------------------------------------------------------------
// Kinds and data types

// What a signature's use means when reading and writing ("read and written").
QDAT_API const char* SignatureUseName(SignatureUse use);
// The names of the format flags set in flags.
QDAT_API DataValue FormatFlagNames(std::uint32_t flags);
// A signature as a terminal shows it: bytes outside printable ASCII as \xNN.
QDAT_API std::string PrintableSignature(std::string_view text);
// A kind: class, file name, type strings, extensions, versions, signature
// table and the column keys of its content.
QDAT_API DataValue KindSummary(const DocumentKind& kind);
// Every kind, in the registry's order.
QDAT_API DataValue KindSummaries();
// A data type of a project: id, name, group, extension, class, whether this
// version of the library reads it.
QDAT_API DataValue DataTypeSummary(const DataType& type);

// ---------------------------------------------------------------------------
// Projects

// A project file read from a file with this signature: its versions, every
// data file it names (stored path, resolved path, whether it is there and
// its fingerprint still matches), the settings, the lines it keeps without
// knowing them, the segments and the chain table. Reads the files it names
// for their fingerprints; changes nothing.
QDAT_API DataValue ProjectDescription(PrjFile& project, const std::string& signature);
// The summary of an upgrade or of the upgrade of an old project on opening.
QDAT_API DataValue UpgradeReportDescription(const ProjectUpgradeReport& report);

}  // namespace qdat
