// The text of an exchange file of ISO 10303-21 ("STEP physical file"): the
// entity instances of its data section, numbered in the order they are
// added, and the encodings of its values.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qdat::step {

// A REAL: the shortest text that reads back as the same double, always with
// its decimal point ("1.", "0.25", "1.E-05"). Throws ExchangeError for a
// value that is not a finite number, naming `what`.
std::string Real(double value, std::string_view what = "a number");

// A STRING: quoted, an apostrophe doubled, a backslash doubled. Printable
// ASCII stands as it is; other characters of valid UTF-8 are written as
// \X2\ (UTF-16 code units, four hex digits each) closed by \X0\; a byte that
// is not part of valid UTF-8 is kept as \X\ and its two hex digits, so no
// byte of a name is lost.
std::string String(std::string_view utf8);

// An optional STRING: "$" when empty.
std::string OptionalString(std::string_view utf8);

// A list "(a,b,c)".
std::string List(const std::vector<std::string>& items);

// A reference "#n".
std::string Ref(int id);

// A list of references.
std::string RefList(const std::vector<int>& ids);

// The 22 characters of an IFC globally unique id (IfcGloballyUniqueId) of
// 128 bits, in IFC's base-64 alphabet.
std::string CompressedGuid(const std::array<std::uint8_t, 16>& bits);

// Globally unique ids that are the same each time for the same seed: the
// first 128 bits of SHA-256 over the seed and a running number, marked as
// name-based (version 5) identifiers. Two exports of the same alignment
// thus give its objects the same ids.
class GuidSource {
public:
    explicit GuidSource(std::string seed) : m_seed(std::move(seed)) {}
    // The next id, quoted as a STRING.
    std::string Next();

private:
    std::string m_seed;
    std::uint64_t m_count = 0;
};

// The data section, one instance per line, "#n=ENTITY(arguments);".
class DataSection {
public:
    // Adds an instance of the entity (its name in capitals) with its
    // arguments already encoded, and returns its number.
    int Add(std::string_view entity, std::string_view arguments);
    // Reserves a number for an instance whose arguments refer to instances
    // added after it; Set fills it in.
    int Reserve();
    void Set(int id, std::string_view entity, std::string_view arguments);

    // The lines, in the order of their numbers. Throws std::logic_error
    // when a reserved number was never set.
    std::string Text() const;

private:
    std::vector<std::string> m_lines;
};

// The whole file: header and data section. `description` becomes
// FILE_DESCRIPTION's lines; `fileName` and `timeStamp` FILE_NAME's first
// two fields.
std::string FileText(const std::vector<std::string>& description, const std::string& fileName,
                     const std::string& timeStamp, const std::string& originatingSystem,
                     const std::string& schema, const DataSection& data);

}  // namespace qdat::step
