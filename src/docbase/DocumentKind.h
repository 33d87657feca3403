// Document kinds described as data. Every document class has one
// DocumentKind: its run-time class record together with what the library and
// its tools need to know about the class's files — the signatures it reads and
// writes with their versions and format flags, the version it writes, its
// document-type strings (which give its file extensions and its data types in a
// project), the columns of its content, and its table-editor descriptors.
//
// Defining the kind registers it. Detection of a file's kind, `qdat kinds`, the
// tool's dumpers, the fuzz targets and the generic tests all read the registry,
// so a new kind is its class, its description and the tests of its own rules.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <qdat/docbase/ArchiveEnvelope.h>
#include <qdat/docbase/FormatFlags.h>
#include <qdat/host/Export.h>
#include <qdat/host/RuntimeClass.h>

namespace qdat {

class QDocument;
class DocumentKind;

// How a signature of the table is used.
enum class SignatureUse : std::uint8_t {
    Accepted,     // read: version and flags taken, the signature is accepted
    Written,      // accepted, and written when the document's variant flags select it
    Refused,      // read: version and flags taken, but the signature is refused (the
                  // content is then read from its first byte, as in a file without one)
    WrittenOnly,  // never matched when reading; written when its variant flags select
                  // it (an empty text writes no signature line)
};

// One row of a kind's signature table. Reading a file whose signature (trimmed
// and upper-cased by the archive) equals text sets FileVersion to fileVersion,
// clears the flags `clear` and sets the flags `set`. When writing, the flags of
// a written row among LegacyLayout, NzsVariant and RailwayVariant say for which
// variant it is the signature.
struct QDAT_API SignatureRule {
    std::string_view text;
    std::uint32_t fileVersion = 0;
    std::uint32_t set = 0;
    std::uint32_t clear = 0;
    SignatureUse use = SignatureUse::Accepted;

    bool IsRead() const { return use != SignatureUse::WrittenOnly; }
    bool IsAccepted() const { return use == SignatureUse::Accepted || use == SignatureUse::Written; }
    bool IsWritten() const { return use == SignatureUse::Written || use == SignatureUse::WrittenOnly; }
};

// One column of a kind's content: a field of a record that the table editor
// edits and the tools show. Values travel as doubles; text columns use the
// text accessors instead.
struct QDAT_API ColumnDescription {
    enum class Kind { Station, Double, Integer, Unsigned, Text };
    static constexpr double kNoMarker = std::numeric_limits<double>::quiet_NaN();

    const char* key;  // the field's name in lowerCamelCase, the key of dumps
    Kind kind;
    double (*get)(const void* row) = nullptr;
    void (*set)(void* row, double value) = nullptr;
    const char* unit = "";       // "m", "rad", "1" (a ratio) or "" (a count or a code)
    double noValue = kNoMarker;  // the value that stands for "none" (-9999 for a missing elevation)
    std::string (*getText)(const void* row) = nullptr;
    void (*setText)(void* row, std::string_view text) = nullptr;

    bool IsNoValue(double value) const { return value == noValue; }
};

// A list that every row of a block holds in turn (the ground points of one
// side of a cross-section): its items are records of the columns.
struct QDAT_API RowList {
    const char* key;
    std::span<const ColumnDescription> columns;
    int (*count)(const void* row) = nullptr;
    const void* (*item)(const void* row, int index) = nullptr;  // null out of range
};

// A part of a document's content: a list of records (count and row given), or
// the fields of one record (count null; row 0 is the record), shown at the top
// level of the content. Rows are handed out by address for the editor.
struct QDAT_API ContentBlock {
    const char* key;  // the list's name; null for a record of fields
    std::span<const ColumnDescription> columns;
    int (*count)(QDocument& doc) = nullptr;
    void* (*row)(QDocument& doc, int index) = nullptr;  // null out of range
    // The table editor's row operations; null when the list is not edited.
    bool (*insertAt)(QDocument& doc, int index) = nullptr;
    bool (*removeAt)(QDocument& doc, int index) = nullptr;
    // Lists each row holds besides its columns; none for most kinds.
    std::span<const RowList> rowLists = {};
    // The rows as one array, when they lie one after another in memory:
    // the first row, with the distance in bytes from each to the next in
    // `stride` (null when there are none or they are held otherwise). For
    // readers that take every row at once.
    const void* (*rowArray)(QDocument& doc, std::size_t& stride) = nullptr;

    bool IsList() const { return count != nullptr; }
    int RowCount(QDocument& doc) const { return count ? count(doc) : 1; }
};

// A document-type string: the resource text with the framework's
// document-template fields separated by line feeds ("Name|description",
// document name, new-file name, filter name, extension with its dot). Its
// number is also the id of the project data type it stands for. A kind that
// is no data type of a project and has no document-type string (the base
// default, empty) gives the number 0: the text then only names its files
// (the filter and the extension by which the tools know them).
struct QDAT_API TypeString {
    int id;
    // 0x8001 plan, 0x8002 design, 0x8003 ground, 0x8004 section and earthwork;
    // 0 for a type string that stands for no data type of a project.
    std::uint16_t projectGroup;
    const char* text;  // the built-in English text

    // Field `index` (from 0) of the built-in text.
    std::string_view Field(int index) const;
    std::string_view Extension() const { return Field(4); }
};

// A descriptor of the host's table editor over one list of the content.
struct QDAT_API EditorType {
    int nameMessage;
    int group;
    int firstDisplay;
    int secondDisplay;
    int block = 0;  // the content block it edits
    // Makes the descriptor, for a kind whose rows the editor needs more
    // operations on than the generic descriptor has (docbase/DocDataType.h);
    // null for the generic one.
    std::unique_ptr<QObject> (*makeDescriptor)(const DocumentKind& kind, const EditorType& type) = nullptr;
};

struct QDAT_API KindDescription {
    std::span<const TypeString> typeStrings;  // the first is the document-type string
    std::uint32_t currentVersion = 0;         // 0: files of the kind are never old
    std::span<const SignatureRule> signatures;
    // What any other signature gives (its text is not compared).
    SignatureRule unknownSignature{{}, 0, 0, FormatFlag::LegacyLayout, SignatureUse::Refused};
    std::span<const ContentBlock> content;
    std::span<const EditorType> editorTypes;
    bool textOnly = false;  // written in text form whatever form is asked for
    // What a user calls the kind's files ("cross-section ground-line file"),
    // in messages; the class name stays in machine-read output.
    const char* fileName = nullptr;
};

class QDAT_API DocumentKind : public RuntimeClass {
public:
    // Registers the run-time class, the document-type texts and the editor
    // descriptors. A second kind or class of the same name, a type string whose
    // number is taken, or a signature another kind already reads is refused
    // with std::logic_error (at start-up, where kinds are defined).
    DocumentKind(const char* name, const RuntimeClass* base, Factory factory, KindDescription description);
    DocumentKind(const DocumentKind&) = delete;
    DocumentKind& operator=(const DocumentKind&) = delete;

    const KindDescription& Description() const { return m_description; }
    std::uint32_t GetCurrentVersion() const { return m_description.currentVersion; }
    std::span<const ContentBlock> GetContent() const { return m_description.content; }
    bool IsTextOnly() const { return m_description.textOnly; }
    // What a user calls the kind's files; the class name when the kind has
    // no such name.
    std::string_view GetFileName() const {
        return m_description.fileName ? std::string_view(m_description.fileName)
                                      : std::string_view(GetName());
    }
    // The document-type string's number; 0 when the kind has none.
    int GetTypeStringId() const;
    // The file extensions of the kind's type strings, each once, with the dot.
    std::vector<std::string> GetExtensions() const;

    // The row a read of this signature takes: the matching row, else the
    // unknown-signature row.
    const SignatureRule& RuleFor(std::string_view signature) const;
    // The row written for a document with these flags (null when the kind
    // writes no signature), and its text.
    const SignatureRule* WrittenRule(std::uint32_t flags) const;
    std::string_view WrittenSignature(std::uint32_t flags) const;
    // Whether the kind writes a layout of its own when LegacyLayout is set.
    bool HasLegacyLayout() const;

    // A new empty document of the kind.
    std::unique_ptr<QDocument> CreateDocument() const;

    // Every registered kind, in the order of their type-string numbers (kinds
    // without one last).
    static std::vector<const DocumentKind*> All();
    // The kind of a class name; null when there is none.
    static const DocumentKind* Find(std::string_view className);

    // A kind that reads a signature, with what the read takes.
    struct Match {
        const DocumentKind* kind;
        const SignatureRule* rule;
    };
    // The kinds whose tables read this signature (accepted or refused rows).
    static std::vector<Match> MatchSignature(std::string_view signature);
    // The kinds one of whose extensions the path ends with (case ignored).
    static std::vector<const DocumentKind*> MatchExtension(std::string_view path);

private:
    KindDescription m_description;
};

// Columns from data members: the kind of column follows the member's type.
// A type of another layer (the station) supplies ColumnKindFor, ColumnValue
// and SetColumnValue overloads next to its own definition.
constexpr ColumnDescription::Kind ColumnKindFor(const double*) {
    return ColumnDescription::Kind::Double;
}
constexpr ColumnDescription::Kind ColumnKindFor(const std::int32_t*) {
    return ColumnDescription::Kind::Integer;
}
constexpr ColumnDescription::Kind ColumnKindFor(const std::uint32_t*) {
    return ColumnDescription::Kind::Unsigned;
}
inline double ColumnValue(double v) {
    return v;
}
inline double ColumnValue(std::int32_t v) {
    return v;
}
inline double ColumnValue(std::uint32_t v) {
    return v;
}
// A value that does not fit the member is stored as 0, never as an undefined cast.
inline void SetColumnValue(double& member, double v) {
    member = v;
}
inline void SetColumnValue(std::int32_t& member, double v) {
    member = v >= -2147483648.0 && v < 2147483648.0 ? static_cast<std::int32_t>(v) : 0;
}
inline void SetColumnValue(std::uint32_t& member, double v) {
    member = v >= 0.0 && v < 4294967296.0 ? static_cast<std::uint32_t>(v) : 0;
}

namespace detail {
template <class M>
struct MemberOf;
template <class R, class T>
struct MemberOf<T R::*> {
    using Row = R;
    using Type = T;
};
}  // namespace detail

template <auto Member>
constexpr ColumnDescription Column(const char* key, const char* unit = "",
                                   double noValue = ColumnDescription::kNoMarker) {
    using Row = typename detail::MemberOf<decltype(Member)>::Row;
    using Type = typename detail::MemberOf<decltype(Member)>::Type;
    ColumnDescription c{key, ColumnKindFor(static_cast<const Type*>(nullptr))};
    c.get = [](const void* row) { return ColumnValue(static_cast<const Row*>(row)->*Member); };
    c.set = [](void* row, double v) { SetColumnValue(static_cast<Row*>(row)->*Member, v); };
    c.unit = unit;
    c.noValue = noValue;
    return c;
}

// A column of one element of an array member (Values[3] of a record).
template <auto Member, std::size_t Index>
constexpr ColumnDescription ElementColumn(const char* key, const char* unit = "",
                                          double noValue = ColumnDescription::kNoMarker) {
    using Row = typename detail::MemberOf<decltype(Member)>::Row;
    using Type = typename detail::MemberOf<decltype(Member)>::Type;
    using Element = std::remove_cvref_t<decltype(std::declval<Type&>()[0])>;
    ColumnDescription c{key, ColumnKindFor(static_cast<const Element*>(nullptr))};
    c.get = [](const void* row) { return ColumnValue((static_cast<const Row*>(row)->*Member)[Index]); };
    c.set = [](void* row, double v) { SetColumnValue((static_cast<Row*>(row)->*Member)[Index], v); };
    c.unit = unit;
    c.noValue = noValue;
    return c;
}

// Column keys numbered from first ("value0", "value1"...), made at compile
// time so that a kind's column table can point into them.
template <std::size_t N>
struct NumberedKeys {
    static constexpr std::size_t kLength = 24;
    char text[N][kLength] = {};

    constexpr NumberedKeys(std::string_view prefix, int first) {
        for (std::size_t i = 0; i < N; ++i) {
            std::size_t at = 0;
            for (const char c : prefix.substr(0, kLength - 8)) text[i][at++] = c;
            char digits[8] = {};
            int n = 0;
            for (int v = first + static_cast<int>(i); v > 0 || n == 0; v /= 10)
                digits[n++] = static_cast<char>('0' + v % 10);
            while (n > 0) text[i][at++] = digits[--n];
        }
    }
    constexpr const char* operator[](std::size_t i) const { return text[i]; }
};

template <auto Member>
constexpr ColumnDescription TextColumn(const char* key) {
    using Row = typename detail::MemberOf<decltype(Member)>::Row;
    ColumnDescription c{key, ColumnDescription::Kind::Text};
    c.getText = [](const void* row) { return std::string(static_cast<const Row*>(row)->*Member); };
    c.setText = [](void* row, std::string_view text) { static_cast<Row*>(row)->*Member = std::string(text); };
    return c;
}

}  // namespace qdat
