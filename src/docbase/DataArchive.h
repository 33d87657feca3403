// DataArchive: the library's buffered archive over a File. One class serves the
// four physical forms of a document's content:
//   text      - signature line, then records of blank- or comma-separated tokens;
//   binary    - "QB  " header, signature line, little-endian values;
//   tagged    - binary with a one-byte type tag before every value ("QBT ");
//   scrambled - binary or tagged, value bytes XORed with a rolling key ("QB C").
// A document's SerializeContent is written once against the typed operators and
// works unchanged in every form.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "docbase/FormatFlags.h"
#include "docbase/PtrList.h"
#include "docbase/QArchiveException.h"

namespace qdat {

class File;
class QDocument;

// Stream manipulators: integers with a meaning, streamed with << or >>.
// 0..19 set the decimal places, 200..229 the token width (text form, storing).
enum class ArchiveManipulator : int {
    EndRecord = 100,       // storing: end the line; loading: read the next record
    StationAsNumber = 101, // stations as plain numbers
    StationAsText = 102,   // stations as station text
    BeginComment = 103,    // storing: start a comment line
    EndComment = 104,      // storing: end the comment line
};
inline constexpr ArchiveManipulator EndRecord = ArchiveManipulator::EndRecord;
inline constexpr ArchiveManipulator StationAsNumber = ArchiveManipulator::StationAsNumber;
inline constexpr ArchiveManipulator StationAsText = ArchiveManipulator::StationAsText;
inline constexpr ArchiveManipulator BeginComment = ArchiveManipulator::BeginComment;
inline constexpr ArchiveManipulator EndComment = ArchiveManipulator::EndComment;
constexpr ArchiveManipulator Precision(int places) { return static_cast<ArchiveManipulator>(places); }
constexpr ArchiveManipulator Width(int width) { return static_cast<ArchiveManipulator>(200 + width); }

// Type tags of the tagged binary form.
enum class ArchiveTag : std::uint8_t {
    Char = 0, Byte = 1, Int = 2, Uint = 3, Short = 4, Word = 5,
    Long = 6, Dword = 7, Float = 8, Double = 9, String = 10, Station = 11,
};


// What the first bytes of a file say about its form: header and signature.
struct ArchiveEnvelope {
    bool hasHeader = false;
    bool tagged = false;
    bool scrambled = false;
    bool lengthPrefixedSignature = false;  // old text files written by the object archive
    std::string signature;                 // trimmed and upper-cased
    std::int64_t contentOffset = 0;        // where the content after the signature starts
};

class DataArchive {
public:
    enum Mode : unsigned { Store = 0x0, Load = 0x1, NoFlushOnDelete = 0x2 };
    static constexpr std::uint32_t kInitialKey = 0x3C9A5E71u;

    // mode: Load or Store, optionally with NoFlushOnDelete. A bufferSize below
    // 128 is raised to 128 (and a user buffer is then ignored). With a document
    // the constructor reads or writes the header and the signature and sets the
    // document's form flags; without one the archive is in text form.
    DataArchive(File* file, unsigned mode, int bufferSize = 4096, char* userBuffer = nullptr,
                QDocument* document = nullptr);
    ~DataArchive();
    DataArchive(const DataArchive&) = delete;
    DataArchive& operator=(const DataArchive&) = delete;

    bool IsLoading() const { return (m_nMode & Load) != 0; }
    bool IsStoring() const { return !IsLoading(); }
    File* GetFile() const { return m_pFile; }
    QDocument* GetDocument() const { return m_pDocument; }
    std::uint32_t GetDocumentVersion() const;
    bool IsBufferEmpty() const { return m_lpBufCur == m_lpBufMax; }
    // Text form: the current line number; binary forms: the byte offset.
    std::int64_t GetPosition() const;
    const std::string& GetFileName() const { return m_strFileName; }
    int GetLine() const { return m_nLine; }

    void Close();
    void Abort();

    // Form flags: forwarded to the attached document, also kept here.
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
    bool IsCommentMode() const { return (m_nFlags & FormatFlag::CommentMode) != 0; }
    void SetCommentMode(bool on);

    int SetPrecision(int places);
    int GetPrecision() const { return m_nPrecision; }
    int SetWidth(int width);
    int GetWidth() const { return m_nWidth; }
    int SetStationAsNumber(int flag);
    bool IsStationAsNumber() const { return m_nStationAsNumber != 0; }
    const std::string& GetFloatFormat() const { return m_strFloatFormat; }
    const std::string& GetDoubleFormat() const { return m_strDoubleFormat; }

    // Warnings collected while reading; each is prefixed with the line number.
    void AddWarning(std::string_view text);
    bool HasWarnings() const { return !m_warnings.IsEmpty(); }
    // Appends every warning, in order, to lines (the host's list box).
    void ShowWarnings(std::vector<std::string>& lines);

    // Byte level.
    std::size_t Read(void* buffer, std::size_t count);
    void Write(const void* buffer, std::size_t count);
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

    // Station values (tag 11): used by QStation's operators. In text form the
    // caller supplies the token (station text or number).
    void WriteStationValue(double value);
    double ReadStationValue();

    // Text form: tokens and records.
    void AppendToken(std::string_view text);
    std::string NextToken();
    // The next token as a view into the current record (valid until the next record).
    std::string_view NextTokenView();
    int CountTokens();
    bool NextTokenContains(std::string_view text);
    bool NextRecordContains(std::string_view text);
    void NextRecord();
    std::string ReadRecord();
    const std::string& GetRecord() const { return m_strRecord; }
    void SetRecord(std::string record) { m_strRecord = std::move(record); m_nTokenPos = 0; }
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

    // Reads the header and signature of a file without a document, as the
    // loading constructor does. Leaves the file position unspecified.
    static ArchiveEnvelope ReadEnvelope(File& file);

    // Text-form number formatting and scanning (printf/scanf compatible).
    static std::string FormatFixed(double value, int places);
    // "%lf"-style scan: leading blanks, then a number; trailing text allowed.
    // With used, also tells how many bytes of token the number took.
    static bool ScanDouble(std::string_view token, double& value, std::size_t* used = nullptr);
    // "%d"/"%ld"-style scan of a whole number.
    static bool ScanLong(std::string_view token, long long& value);

private:
    // Form flags live in the document (its data block outlives the archive),
    // so a flag set while reading stays with the document; comment mode is the
    // archive's own. Tested for every value read or written.
    bool TestFlag(std::uint32_t bit) const {
        return ((bit == FormatFlag::CommentMode ? m_nFlags : *m_pFormatFlags) & bit) != 0;
    }
    void SetFlag(std::uint32_t bit, bool on);
    void ReadHeaderAndSignature();
    void WriteHeaderAndSignature();
    std::string ReadSignatureLine(bool textForm, bool& lengthPrefixed);
    std::uint32_t ReadStringLength();
    std::string ReadRawString();
    void ReadRecordInto(std::string& line);
    void WriteStringLength(std::size_t length);
    void Scramble(unsigned char* bytes, std::size_t count);
    void Unscramble(unsigned char* bytes, std::size_t count);
    void WriteTag(ArchiveTag tag);
    void ReadTag(ArchiveTag tag);
    template <class T> void StoreBinary(ArchiveTag tag, T value);
    template <class T> T LoadBinary(ArchiveTag tag);
    template <class T> void StoreInteger(ArchiveTag tag, T value);
    template <class T> T LoadInteger(ArchiveTag tag);
    std::string_view NextTokenOrThrow(const char* what);
    std::string_view QuotedTokenView(std::size_t quote);
    void AppendFixed(double value);
    void ApplyManipulatorStoring(int code);
    void SkipBlankInput(bool& ended);
    int PeekByte();

    QDocument* m_pDocument = nullptr;
    bool m_bDirectBuffer = false;
    std::string m_strFileName;
    int m_nLine = 0;
    int m_nLineBase = 0;  // lines taken by the signature, so messages name real file lines
    std::uint32_t m_nFlags = 0;
    std::uint32_t* m_pFormatFlags = &m_nFlags;  // the document's flag word, or m_nFlags
    unsigned m_nMode = 0;
    bool m_bUserBuf = false;
    int m_nBufSize = 4096;
    File* m_pFile = nullptr;
    char* m_lpBufCur = nullptr;
    char* m_lpBufMax = nullptr;
    char* m_lpBufStart = nullptr;
    std::unique_ptr<char[]> m_ownedBuffer;
    int m_nStationAsNumber = 0;
    std::string m_strFloatFormat = "%.4f";
    std::string m_strDoubleFormat = "%.4lf";
    int m_nPrecision = 4;
    int m_nWidth = 10;
    std::size_t m_nTokenPos = 0;
    std::string m_strRecord;
    std::uint32_t m_nKey = kInitialKey;
    StringList m_warnings;
    std::int64_t m_nFileLength = -1;  // loading: the file's length at construction
};

}  // namespace qdat
