// DataArchive: the library's buffered archive over a File. One class serves the
// four physical forms of a document's content:
//   text      - signature line, then records of blank- or comma-separated tokens;
//   binary    - "QB  " header, signature line, little-endian values;
//   tagged    - binary with a one-byte type tag before every value ("QBT ");
//   scrambled - binary or tagged, value bytes XORed with a rolling key ("QB C").
// A document's SerializeContent is written once against the typed operators and
// works unchanged in every form.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <qdat/docbase/FormatFlags.h>
#include <qdat/docbase/PtrList.h>
#include <qdat/docbase/QArchiveException.h>
#include <qdat/host/Export.h>

namespace qdat {

class ArchiveBuffer;
class File;
class QDocument;
class TextRecords;

// Stream manipulators: integers with a meaning, streamed with << or >>.
// Codes 0..19 (kMaxDecimalPlaces) set the decimal places, codes 200..229 the
// token width 0..29 (text form, storing); other codes are ignored.
inline constexpr int kWidthCodeBase = 200;
inline constexpr int kLastWidth = 29;
enum class ArchiveManipulator : int {
    EndRecord = 100,        // storing: end the line; loading: read the next record
    StationAsNumber = 101,  // stations as plain numbers
    StationAsText = 102,    // stations as station text
    BeginComment = 103,     // storing: start a comment line
    EndComment = 104,       // storing: end the comment line
};
inline constexpr ArchiveManipulator EndRecord = ArchiveManipulator::EndRecord;
inline constexpr ArchiveManipulator StationAsNumber = ArchiveManipulator::StationAsNumber;
inline constexpr ArchiveManipulator StationAsText = ArchiveManipulator::StationAsText;
inline constexpr ArchiveManipulator BeginComment = ArchiveManipulator::BeginComment;
inline constexpr ArchiveManipulator EndComment = ArchiveManipulator::EndComment;
// Held to their ranges, so that no number turns into another manipulator.
constexpr ArchiveManipulator Precision(int places) {
    return static_cast<ArchiveManipulator>(std::clamp(places, 0, kMaxDecimalPlaces));
}
constexpr ArchiveManipulator Width(int width) {
    return static_cast<ArchiveManipulator>(kWidthCodeBase + std::clamp(width, 0, kLastWidth));
}

// A double that a file must hold as a finite number, with the name of what
// it is: ar >> Finite(elevation, "elevation"), ar << Finite(value, "radius")
// (the same as ReadFinite and WriteFinite of docbase/FiniteValues.h, in a
// chain of values). NaN and the infinities are corrupt data wherever a file
// holds a measure: reading one fails with BadFormat naming the value as the
// file holds it (in text form the token itself, so that an overflowing
// "1e999" is named as written) and where it stands; writing one fails with
// GenericError naming it, so that no file ever holds one.
struct QDAT_API FiniteValue {
    double* target;  // loading: where the value goes; null for a value only written
    double value;    // storing
    const char* what;
};
inline FiniteValue Finite(double& value, const char* what) {
    return {&value, value, what};
}
inline FiniteValue Finite(const double& value, const char* what) {
    return {nullptr, value, what};
}

// Type tags of the tagged binary form.
enum class ArchiveTag : std::uint8_t {
    Char = 0,
    Byte = 1,
    Int = 2,
    Uint = 3,
    Short = 4,
    Word = 5,
    Long = 6,
    Dword = 7,
    Float = 8,
    Double = 9,
    String = 10,
    Station = 11,
};

class QDAT_API DataArchive {
public:
    enum Mode : unsigned { Store = 0x0, Load = 0x1, NoFlushOnDelete = 0x2 };
    static constexpr std::uint32_t kInitialKey = 0x3C9A5E71u;  // of the scrambled form

    // mode: Load or Store, optionally with NoFlushOnDelete. A bufferSize below
    // 128 is raised to 128 (and a user buffer is then ignored). With a document
    // the constructor reads or writes the header and the signature and sets the
    // document's form flags; without one the archive is in text form.
    DataArchive(File* file, unsigned mode, int bufferSize = 4096, char* userBuffer = nullptr,
                QDocument* document = nullptr);
    ~DataArchive();
    DataArchive(const DataArchive&) = delete;
    DataArchive& operator=(const DataArchive&) = delete;

    bool IsLoading() const { return (m_mode & Load) != 0; }
    bool IsStoring() const { return !IsLoading(); }
    File* GetFile() const;
    QDocument* GetDocument() const { return m_document; }
    std::uint32_t GetDocumentVersion() const;
    bool IsBufferEmpty() const;
    // Text form: the current line number; binary forms: the byte offset.
    std::int64_t GetPosition() const;
    const std::string& GetFileName() const;
    int GetLine() const;

    void Close();
    void Abort();

    // Form flags: those of the attached document, else the archive's own.
    bool IsTextForm() const { return TestFlag(FormatFlag::TextForm); }
    void SetTextForm(bool on) { SetFlag(FormatFlag::TextForm, on); }
    bool IsTaggedForm() const { return TestFlag(FormatFlag::TaggedForm); }
    void SetTaggedForm(bool on) { SetFlag(FormatFlag::TaggedForm, on); }
    bool IsScrambledForm() const { return TestFlag(FormatFlag::ScrambledForm); }
    void SetScrambledForm(bool on) { SetFlag(FormatFlag::ScrambledForm, on); }
    bool IsLegacyLayout() const { return TestFlag(FormatFlag::LegacyLayout); }
    void SetLegacyLayout(bool on) { SetFlag(FormatFlag::LegacyLayout, on); }
    bool IsNzsVariant() const { return TestFlag(FormatFlag::NzsVariant); }
    bool IsRailwayVariant() const { return TestFlag(FormatFlag::RailwayVariant); }
    void SetRailwayVariant(bool on) { SetFlag(FormatFlag::RailwayVariant, on); }
    // Comment mode is the archive's own, never the document's.
    bool IsCommentMode() const;
    void SetCommentMode(bool on);

    // places is held to 0..kMaxDecimalPlaces; returns the previous precision.
    int SetPrecision(int places);
    int GetPrecision() const { return m_precision; }
    int SetWidth(int width);
    int GetWidth() const;
    // Storing in text form: how many numbers had more decimals than the
    // places they were written with, and were rounded to them.
    int GetRoundedCount() const { return m_roundedValues; }
    int SetStationAsNumber(int flag);
    bool IsStationAsNumber() const { return m_stationAsNumber != 0; }

    // Warnings collected while reading; each is prefixed with the line number.
    void AddWarning(std::string_view text);
    bool HasWarnings() const { return !m_warnings.IsEmpty(); }
    // Appends every warning, in order, to lines (the host's list box).
    void ShowWarnings(std::vector<std::string>& lines);

    // Byte level.
    std::size_t Read(void* buffer, std::size_t count);
    void Write(const void* buffer, std::size_t count);
    // As Read and Write, through the scrambler in the scrambled form; nothing
    // in comment mode.
    std::size_t ReadBytes(void* buffer, std::size_t count);
    void WriteBytes(const void* buffer, std::size_t count);
    void WriteText(std::string_view text);
    bool ReadLine(std::string& line);
    void Flush();
    void FillBuffer(std::size_t needed);
    bool AtEnd();
    [[noreturn]] void ThrowError(QArchiveException::Cause cause, std::string_view detail = {}) const;
    // Bytes of the input not yet read (file and buffer together); -1 when unknown.
    std::int64_t RemainingBytes() const;

    // Typed operators.
    DataArchive& operator<<(char v);
    DataArchive& operator<<(unsigned char v);
    DataArchive& operator<<(int v);
    DataArchive& operator<<(unsigned int v);
    DataArchive& operator<<(short v);
    DataArchive& operator<<(unsigned short v);
    DataArchive& operator<<(long v);           // 4 bytes in binary forms
    DataArchive& operator<<(unsigned long v);  // 4 bytes in binary forms
    DataArchive& operator<<(float v);
    DataArchive& operator<<(double v);
    DataArchive& operator<<(std::string_view v);
    DataArchive& operator<<(const std::string& v) { return *this << std::string_view(v); }
    DataArchive& operator<<(const char* v) { return *this << std::string_view(v); }
    DataArchive& operator<<(ArchiveManipulator m);
    DataArchive& operator<<(const FiniteValue& v);

    DataArchive& operator>>(char& v);
    DataArchive& operator>>(unsigned char& v);
    DataArchive& operator>>(int& v);
    DataArchive& operator>>(unsigned int& v);
    DataArchive& operator>>(short& v);
    DataArchive& operator>>(unsigned short& v);
    DataArchive& operator>>(long& v);
    DataArchive& operator>>(unsigned long& v);
    DataArchive& operator>>(float& v);
    DataArchive& operator>>(double& v);
    DataArchive& operator>>(std::string& v);
    DataArchive& operator>>(ArchiveManipulator m);
    DataArchive& operator>>(const FiniteValue& v);

    // Station values (tag 11): used by QStation's operators. In text form the
    // caller supplies the token (station text or number).
    void WriteStationValue(double value);
    double ReadStationValue();

    // Text form: tokens and records.
    // A token the text form cannot give back as it is (see TextRecords) is a
    // WriteFailed archive error naming it; the record stays as it was.
    void AppendToken(std::string_view text);
    std::string NextToken() { return std::string(NextTokenView()); }
    // The next token as a view into the current record (valid until the next record).
    std::string_view NextTokenView();
    int CountTokens();
    bool NextTokenContains(std::string_view text);
    bool NextRecordContains(std::string_view text);
    void NextRecord();
    // Loading in text form: ends the current record and takes the next line's
    // first tokens in place when it is a plain record (TextRecords), or
    // returns 0 having read the next record the usual way.
    int TakePlainRecord(std::string_view* tokens, int max);
    std::string ReadRecord();
    // Text form: the first line after the signature, when it is a comment
    // line that starts with lead ("//" and the rest), with the rest of it in
    // text; false when it is not one. Where reading goes on does not change.
    bool TakeCommentLine(std::string_view lead, std::string& text);
    const std::string& GetRecord() const;
    void SetRecord(std::string record);
    bool WriteFormatted(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Key-value records.
    void WriteKeyInt(long key, long value);
    void WriteIndexedKeyInt(long index, std::string_view name, long value);
    void WriteKeyDouble(long key, double value);
    void WriteIndexedKeyDouble(long index, std::string_view name, double value);
    void WriteKeyText(long key, std::string_view text);
    void WriteNamedText(long key, std::string_view name, std::string_view text);
    long ParseKeyText(std::string& name, std::string& text);
    long ParseKeyInt(std::string& name, long& value);
    long ParseKeyDouble(std::string& name, double& value);

private:
    // Form flags live in the document (its data block outlives the archive),
    // so a flag set while reading stays with the document. Tested for every
    // value read or written.
    bool TestFlag(std::uint32_t bit) const { return (*m_flags & bit) != 0; }
    void SetFlag(std::uint32_t bit, bool on) {
        if (on)
            *m_flags |= bit;
        else
            *m_flags &= ~bit;
    }
    void ReadHeaderAndSignature();
    void WriteHeaderAndSignature();
    void WriteTag(ArchiveTag tag);
    void ReadTag(ArchiveTag tag);
    template <class T>
    void StoreBinary(ArchiveTag tag, T value);
    template <class T>
    T LoadBinary(ArchiveTag tag);
    template <class T>
    void StoreInteger(ArchiveTag tag, T value);
    template <class T>
    T LoadInteger(ArchiveTag tag);
    std::string_view NextTokenOrThrow(const char* what);
    [[noreturn]] void ThrowUnwritable(std::string_view text) const;
    void AppendFixed(double value, bool countRounding = true);
    void ApplyManipulatorStoring(ArchiveManipulator m);

    QDocument* m_document = nullptr;
    std::uint32_t m_ownFlags = 0;          // the form flags of an archive without a document
    std::uint32_t* m_flags = &m_ownFlags;  // the document's FormatFlags, or m_ownFlags
    unsigned m_mode = 0;
    // Held apart, so that the buffer and the records stay the library's own.
    std::unique_ptr<ArchiveBuffer> m_bufferHolder;
    std::unique_ptr<TextRecords> m_textHolder;
    ArchiveBuffer& m_buffer;
    TextRecords& m_text;
    int m_stationAsNumber = 0;
    int m_precision = 4;
    int m_roundedValues = 0;
    StringList m_warnings;
};

}  // namespace qdat
