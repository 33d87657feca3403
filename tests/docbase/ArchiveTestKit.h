// Helpers shared by the archive tests: the five physical forms, storing and
// loading through an in-memory file, byte strings written as hex, and a tiny
// document that knows one or two signatures.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>

#include <qdat/docbase/DataArchive.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/host/HostFile.h>

namespace qdat::test {

enum class Form { Text, Binary, Tagged, Scrambled, TaggedScrambled };

inline const char* FormName(Form f) {
    switch (f) {
        case Form::Text:
            return "Text";
        case Form::Binary:
            return "Binary";
        case Form::Tagged:
            return "Tagged";
        case Form::Scrambled:
            return "Scrambled";
        case Form::TaggedScrambled:
            return "TaggedScrambled";
    }
    return "?";
}

inline void ApplyForm(DataArchive& ar, Form f) {
    ar.SetTextForm(f == Form::Text);
    ar.SetTaggedForm(f == Form::Tagged || f == Form::TaggedScrambled);
    ar.SetScrambledForm(f == Form::Scrambled || f == Form::TaggedScrambled);
}

inline std::uint32_t FlagsOf(Form f) {
    switch (f) {
        case Form::Text:
            return FormatFlag::TextForm;
        case Form::Binary:
            return 0;
        case Form::Tagged:
            return FormatFlag::TaggedForm;
        case Form::Scrambled:
            return FormatFlag::ScrambledForm;
        case Form::TaggedScrambled:
            return FormatFlag::TaggedForm | FormatFlag::ScrambledForm;
    }
    return 0;
}

// Bytes from a list of values, e.g. Hex({0x71, 0x5E, 0x9A, 0x3C}).
inline std::string Hex(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) out += static_cast<char>(b);
    return out;
}

inline std::string ToHex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 0xF];
    }
    return out;
}

// Stores through a bare archive (no document, no header) in the given form.
template <class Body>
std::string StoreBare(Form form, Body&& body, int bufferSize = 4096) {
    MemoryFile file(std::string(), "store.dat");
    DataArchive ar(&file, DataArchive::Store | DataArchive::NoFlushOnDelete, bufferSize);
    ApplyForm(ar, form);
    body(ar);
    ar.Close();
    return file.Bytes();
}

// Loads through a bare archive. In text form the first record is read first,
// as the constructor does when a document is attached; the binary forms ignore
// that manipulator.
template <class Body>
void LoadBare(const std::string& bytes, Form form, Body&& body, const std::string& path = "load.dat",
              int bufferSize = 4096) {
    MemoryFile file(bytes, path);
    DataArchive ar(&file, DataArchive::Load | DataArchive::NoFlushOnDelete, bufferSize);
    ApplyForm(ar, form);
    ar >> EndRecord;
    body(ar);
}

// A document that knows a few signatures and writes one of them.
class SignatureDoc : public QDocument {
public:
    static constexpr const char* kSignature = "RADUDAR6.00_TEST_SHUJU";

    SignatureDoc() : m_known{{kSignature, 600}, {"RADUDAR5.83_DMX_SHUJU", 583}} {}

    std::string GetSignature() override { return m_written; }
    bool ParseSignature(const std::string& signature) override {
        seen = signature;
        const auto it = m_known.find(signature);
        SetFileVersion(it == m_known.end() ? 0 : it->second);
        return it != m_known.end();
    }
    void SetWrittenSignature(std::string s) { m_written = std::move(s); }

    std::string seen;

private:
    std::map<std::string, std::uint32_t> m_known;
    std::string m_written = kSignature;
};

// Stores through an archive with the document attached (header and signature
// written by the constructor).
template <class Body>
std::string StoreWithDoc(SignatureDoc& doc, Body&& body) {
    MemoryFile file(std::string(), "store.dat");
    DataArchive ar(&file, DataArchive::Store | DataArchive::NoFlushOnDelete, 4096, nullptr, &doc);
    body(ar);
    ar.Close();
    return file.Bytes();
}

}  // namespace qdat::test
