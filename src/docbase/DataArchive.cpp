#include <qdat/docbase/DataArchive.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <qdat/docbase/ArchiveEnvelope.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/docbase/detail/ArchiveBuffer.h>
#include <qdat/docbase/detail/FiniteValues.h>
#include <qdat/docbase/detail/NumberText.h>
#include <qdat/docbase/detail/TextRecords.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/Resources.h>

namespace qdat {

namespace {

std::string_view TrimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::string_view TrimTrailingBlanks(std::string_view s) {
    const auto last = s.find_last_not_of(" \t");
    return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

// A value for a message: in quotes, cut after 40 bytes, control bytes shown
// as \xNN (a zero byte would end the message).
std::string Quoted(std::string_view token) {
    static const char* digits = "0123456789ABCDEF";
    std::string out = "\"";
    for (const char c : token.substr(0, 40)) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b != 0x7F) {
            out += c;
        } else {
            out += "\\x";
            out += digits[b >> 4];
            out += digits[b & 0xF];
        }
    }
    if (token.size() > 40) out += "...";
    out += "\"";
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

DataArchive::DataArchive(File* file, unsigned mode, int bufferSize, char* userBuffer, QDocument* document)
    : m_document(document),
      m_mode(mode),
      m_bufferHolder(std::make_unique<ArchiveBuffer>(file, (mode & Load) != 0, bufferSize, userBuffer)),
      m_textHolder(std::make_unique<TextRecords>()),
      m_buffer(*m_bufferHolder),
      m_text(*m_textHolder) {
    static_assert(kInitialKey == ArchiveBuffer::kInitialKey);
    if (!m_document) {
        m_ownFlags = FormatFlag::TextForm;
        return;
    }
    m_flags = &m_document->FormatFlagsRef();
    if (IsLoading())
        ReadHeaderAndSignature();
    else
        WriteHeaderAndSignature();
}

DataArchive::~DataArchive() {
    if (m_buffer.GetFile() && !(m_mode & NoFlushOnDelete)) {
        try {
            Close();
        } catch (...) {
            // A destructor cannot report; callers that care call Close themselves.
        }
    }
    m_warnings.RemoveAll();
}

File* DataArchive::GetFile() const {
    return m_buffer.GetFile();
}
bool DataArchive::IsBufferEmpty() const {
    return m_buffer.IsEmpty();
}
std::int64_t DataArchive::GetPosition() const {
    return IsTextForm() ? m_text.GetFileLine() : m_buffer.GetPosition();
}
const std::string& DataArchive::GetFileName() const {
    return m_buffer.GetFileName();
}
int DataArchive::GetLine() const {
    return m_text.GetLine();
}
bool DataArchive::IsCommentMode() const {
    return m_text.IsCommentMode();
}
void DataArchive::SetCommentMode(bool on) {
    m_text.SetCommentMode(on);
}
int DataArchive::SetWidth(int width) {
    return m_text.SetWidth(width);
}
int DataArchive::GetWidth() const {
    return m_text.GetWidth();
}
std::size_t DataArchive::Read(void* buffer, std::size_t count) {
    return m_buffer.Read(buffer, count);
}
void DataArchive::Write(const void* buffer, std::size_t count) {
    m_buffer.Write(buffer, count);
}
void DataArchive::WriteText(std::string_view text) {
    m_buffer.Write(text.data(), text.size());
}
bool DataArchive::ReadLine(std::string& line) {
    return m_buffer.ReadLine(line);
}
void DataArchive::Flush() {
    m_buffer.Flush();
}
std::int64_t DataArchive::RemainingBytes() const {
    return m_buffer.RemainingBytes();
}
void DataArchive::AppendToken(std::string_view text) {
    if (!m_text.AppendToken(text)) ThrowUnwritable(text);
}
std::string_view DataArchive::NextTokenView() {
    return m_text.NextTokenView();
}
int DataArchive::CountTokens() {
    return m_text.CountTokens();
}
bool DataArchive::NextTokenContains(std::string_view text) {
    return m_text.NextTokenContains(text);
}
bool DataArchive::TakeCommentLine(std::string_view lead, std::string& text) {
    return IsTextForm() && m_text.TakeCommentLine(m_buffer, lead, text);
}
const std::string& DataArchive::GetRecord() const {
    return m_text.GetRecord();
}
void DataArchive::SetRecord(std::string record) {
    m_text.SetRecord(std::move(record));
}

std::uint32_t DataArchive::GetDocumentVersion() const {
    return m_document ? m_document->GetFileVersion() : 0;
}

void DataArchive::Close() {
    if (!m_buffer.GetFile()) return;
    m_buffer.Flush();
    m_buffer.Detach(false);
}

void DataArchive::Abort() {
    m_buffer.Detach(true);
}

int DataArchive::SetPrecision(int places) {
    const int previous = m_precision;
    m_precision = std::clamp(places, 0, kMaxDecimalPlaces);
    return previous;
}

int DataArchive::SetStationAsNumber(int flag) {
    const int previous = m_stationAsNumber;
    m_stationAsNumber = flag;
    return previous;
}

void DataArchive::AddWarning(std::string_view text) {
    std::string warning = FormatResource(22, m_text.GetFileLine());
    warning += ", ";
    warning += text;
    m_warnings.AddTail(std::move(warning));
}

void DataArchive::ShowWarnings(std::vector<std::string>& lines) {
    for (auto pos = m_warnings.GetHeadPosition(); pos;) lines.push_back(m_warnings.GetNext(pos));
}

void DataArchive::ThrowError(QArchiveException::Cause cause, std::string_view detail) const {
    throw QArchiveException(cause, this, detail);
}

// ---------------------------------------------------------------------------
// Header and signature

void DataArchive::ReadHeaderAndSignature() {
    const ArchiveEnvelope envelope = ReadArchiveEnvelope(*m_buffer.GetFile());
    // The header alone decides the form: a file without one is neither tagged
    // nor scrambled, whatever a failed read before it left in the document.
    SetTextForm(!envelope.hasHeader);
    SetTaggedForm(envelope.tagged);
    SetScrambledForm(envelope.scrambled);
    if (m_document->ParseSignature(envelope.signature)) {
        m_buffer.SeekTo(envelope.contentOffset);
        m_text.SetLineBase(envelope.signatureLines);
    } else {
        // No signature this class knows: the content starts right after the header.
        m_buffer.SeekTo(envelope.signatureOffset);
        m_text.SetLineBase(0);
    }
    m_text.ResetLine();
    if (IsTextForm()) NextRecord();
}

void DataArchive::WriteHeaderAndSignature() {
    if (!IsTextForm() && !IsLegacyLayout()) {
        const char header[4] = {'Q', 'B', IsTaggedForm() ? 'T' : ' ', IsScrambledForm() ? 'C' : ' '};
        Write(header, 4);
    }
    const std::string sig = m_document->GetSignature();
    if (!sig.empty()) {
        WriteText(sig);
        WriteText("\n");
    }
    m_text.ResetLine();
}

// ---------------------------------------------------------------------------
// Byte level

void DataArchive::FillBuffer(std::size_t needed) {
    if (!m_buffer.TryFill(needed)) ThrowError(QArchiveException::EndOfFile);
}

std::size_t DataArchive::ReadBytes(void* buffer, std::size_t count) {
    if (IsCommentMode()) return 0;
    return m_buffer.ReadBytes(buffer, count, IsScrambledForm());
}

void DataArchive::WriteBytes(const void* buffer, std::size_t count) {
    if (IsCommentMode()) return;
    m_buffer.WriteBytes(buffer, count, IsScrambledForm());
}

bool DataArchive::AtEnd() {
    if (IsTextForm()) return m_text.AtEnd(m_buffer);
    return m_buffer.IsEmpty() && !m_buffer.TryFill(1);
}

// ---------------------------------------------------------------------------
// Binary values

void DataArchive::WriteTag(ArchiveTag tag) {
    if (!IsTaggedForm()) return;
    const auto b = static_cast<std::uint8_t>(tag);
    WriteBytes(&b, 1);
}

void DataArchive::ReadTag(ArchiveTag tag) {
    if (!IsTaggedForm()) return;
    std::uint8_t b = 0;
    if (ReadBytes(&b, 1) != 1) ThrowError(QArchiveException::EndOfFile);
    if (b != static_cast<std::uint8_t>(tag))
        ThrowError(QArchiveException::BadFormat, "type tag " + std::to_string(b) + " where " +
                                                     std::to_string(static_cast<int>(tag)) + " was expected");
}

template <class T>
void DataArchive::StoreBinary(ArchiveTag tag, T value) {
    if (IsCommentMode()) return;
    WriteTag(tag);
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if (IsScrambledForm()) m_buffer.Scramble(bytes, sizeof(T));
    m_buffer.Write(bytes, sizeof(T));
}

template <class T>
T DataArchive::LoadBinary(ArchiveTag tag) {
    T value{};
    if (IsCommentMode()) return value;
    ReadTag(tag);
    unsigned char bytes[sizeof(T)];
    m_buffer.ReadValue(bytes, sizeof(T), IsScrambledForm());
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

void DataArchive::WriteStationValue(double value) {
    StoreBinary(ArchiveTag::Station, value);
}

double DataArchive::ReadStationValue() {
    return LoadBinary<double>(ArchiveTag::Station);
}

// ---------------------------------------------------------------------------
// Text records

bool DataArchive::NextRecordContains(std::string_view text) {
    NextRecord();
    return NextTokenContains(text);
}

void DataArchive::NextRecord() {
    if (IsStoring())
        m_text.WriteRecord(m_buffer);
    else
        m_text.ReadRecord(m_buffer);
}

int DataArchive::TakePlainRecord(std::string_view* tokens, int max) {
    if (IsStoring() || !IsTextForm()) {
        NextRecord();
        return 0;
    }
    return m_text.TakePlainRecord(m_buffer, tokens, max);
}

std::string DataArchive::ReadRecord() {
    std::string record;
    m_text.ReadRecordInto(m_buffer, record);
    return record;
}

bool DataArchive::WriteFormatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (size > 0) {
        std::string out(static_cast<std::size_t>(size), '\0');
        std::vsnprintf(out.data(), out.size() + 1, format, args);
        WriteText(out);
    }
    va_end(args);
    return true;
}

void DataArchive::ThrowUnwritable(std::string_view text) const {
    ThrowError(QArchiveException::WriteFailed, "the text form cannot hold the value " + Quoted(text));
}

std::string_view DataArchive::NextTokenOrThrow(const char* what) {
    const std::string_view token = m_text.NextTokenView();
    if (token.empty())
        ThrowError(QArchiveException::BadFormat, std::string(what) + " expected, found nothing");
    return token;
}

// ---------------------------------------------------------------------------
// Typed operators

template <class T>
void DataArchive::StoreInteger(ArchiveTag tag, T value) {
    if (!IsTextForm()) {
        StoreBinary(tag, value);
        return;
    }
    // "%d" and "%ld" of a 32-bit value print its bits as a signed number; a
    // 16-bit value is promoted to int first and prints as itself.
    if constexpr (sizeof(T) == 4)
        AppendToken(std::to_string(static_cast<std::int32_t>(value)));
    else
        AppendToken(std::to_string(static_cast<int>(value)));
}

template <class T>
T DataArchive::LoadInteger(ArchiveTag tag) {
    if (!IsTextForm()) return LoadBinary<T>(tag);
    const std::string_view token = NextTokenOrThrow("a whole number");
    long long v = 0;
    if (!ScanLong(token, v))
        ThrowError(QArchiveException::BadFormat, "a whole number expected, found " + Quoted(token));
    // Kept as scanf's "%d" leaves it in the variable: the low bits of the number.
    return static_cast<T>(v);
}

DataArchive& DataArchive::operator<<(char v) {
    if (IsTextForm())
        AppendToken(std::string_view(&v, 1));
    else
        StoreBinary(ArchiveTag::Char, v);
    return *this;
}
DataArchive& DataArchive::operator<<(unsigned char v) {
    if (IsTextForm()) {
        const char c = static_cast<char>(v);
        AppendToken(std::string_view(&c, 1));
    } else {
        StoreBinary(ArchiveTag::Byte, v);
    }
    return *this;
}
DataArchive& DataArchive::operator<<(int v) {
    StoreInteger(ArchiveTag::Int, static_cast<std::int32_t>(v));
    return *this;
}
DataArchive& DataArchive::operator<<(unsigned int v) {
    StoreInteger(ArchiveTag::Uint, static_cast<std::uint32_t>(v));
    return *this;
}
DataArchive& DataArchive::operator<<(short v) {
    StoreInteger(ArchiveTag::Short, static_cast<std::int16_t>(v));
    return *this;
}
DataArchive& DataArchive::operator<<(unsigned short v) {
    StoreInteger(ArchiveTag::Word, static_cast<std::uint16_t>(v));
    return *this;
}
DataArchive& DataArchive::operator<<(long v) {
    if (v < INT32_MIN || v > INT32_MAX)
        ThrowError(QArchiveException::GenericError, "value out of the 32-bit range");
    StoreInteger(ArchiveTag::Long, static_cast<std::int32_t>(v));
    return *this;
}
DataArchive& DataArchive::operator<<(unsigned long v) {
    if (v > UINT32_MAX) ThrowError(QArchiveException::GenericError, "value out of the 32-bit range");
    StoreInteger(ArchiveTag::Dword, static_cast<std::uint32_t>(v));
    return *this;
}

void DataArchive::AppendFixed(double v, bool countRounding) {
    char buf[kFixedTextCapacity];
    bool rounded = false;
    AppendToken(
        std::string_view(buf, FormatFixedTo(buf, v, m_precision, countRounding ? &rounded : nullptr)));
    if (rounded && !IsCommentMode()) ++m_roundedValues;
}

DataArchive& DataArchive::operator<<(float v) {
    // A float's own decimals are not those of the double it widens to.
    if (IsTextForm())
        AppendFixed(static_cast<double>(v), false);
    else
        StoreBinary(ArchiveTag::Float, v);
    return *this;
}
DataArchive& DataArchive::operator<<(double v) {
    if (IsTextForm())
        AppendFixed(v);
    else
        StoreBinary(ArchiveTag::Double, v);
    return *this;
}

DataArchive& DataArchive::operator<<(std::string_view v) {
    if (IsTextForm()) {
        std::string text(v);
        std::replace(text.begin(), text.end(), '\n', ' ');
        std::replace(text.begin(), text.end(), '\r', ' ');
        AppendToken(text);
        return *this;
    }
    if (IsCommentMode()) return *this;
    WriteTag(ArchiveTag::String);
    m_buffer.WriteString(v, IsScrambledForm());
    return *this;
}

DataArchive& DataArchive::operator>>(char& v) {
    if (IsTextForm())
        v = NextTokenOrThrow("a character")[0];
    else
        v = LoadBinary<char>(ArchiveTag::Char);
    return *this;
}
DataArchive& DataArchive::operator>>(unsigned char& v) {
    if (IsTextForm())
        v = static_cast<unsigned char>(NextTokenOrThrow("a character")[0]);
    else
        v = LoadBinary<unsigned char>(ArchiveTag::Byte);
    return *this;
}

DataArchive& DataArchive::operator>>(int& v) {
    v = LoadInteger<std::int32_t>(ArchiveTag::Int);
    return *this;
}
DataArchive& DataArchive::operator>>(unsigned int& v) {
    v = LoadInteger<std::uint32_t>(ArchiveTag::Uint);
    return *this;
}
DataArchive& DataArchive::operator>>(short& v) {
    v = LoadInteger<std::int16_t>(ArchiveTag::Short);
    return *this;
}
DataArchive& DataArchive::operator>>(unsigned short& v) {
    v = LoadInteger<std::uint16_t>(ArchiveTag::Word);
    return *this;
}
DataArchive& DataArchive::operator>>(long& v) {
    v = LoadInteger<std::int32_t>(ArchiveTag::Long);
    return *this;
}
DataArchive& DataArchive::operator>>(unsigned long& v) {
    v = LoadInteger<std::uint32_t>(ArchiveTag::Dword);
    return *this;
}

DataArchive& DataArchive::operator>>(float& v) {
    if (!IsTextForm()) {
        v = LoadBinary<float>(ArchiveTag::Float);
        return *this;
    }
    const std::string_view token = NextTokenOrThrow("a number");
    if (!ScanFloat(token, v))
        ThrowError(QArchiveException::BadFormat, "a number expected, found " + Quoted(token));
    return *this;
}

DataArchive& DataArchive::operator>>(double& v) {
    if (!IsTextForm()) {
        v = LoadBinary<double>(ArchiveTag::Double);
        return *this;
    }
    const std::string_view token = NextTokenOrThrow("a number");
    if (!ScanDouble(token, v))
        ThrowError(QArchiveException::BadFormat, "a number expected, found " + Quoted(token));
    return *this;
}

DataArchive& DataArchive::operator<<(const FiniteValue& v) {
    CheckFinite(*this, v.value, v.what);
    return *this << v.value;
}

DataArchive& DataArchive::operator>>(const FiniteValue& v) {
    double value = 0.0;
    if (IsTextForm()) {
        const std::string_view token = NextTokenOrThrow(v.what);
        if (!ScanDouble(token, value) || !std::isfinite(value))
            ThrowError(QArchiveException::BadFormat,
                       std::string("a finite ") + v.what + " expected, found " + Quoted(token));
    } else {
        value = LoadBinary<double>(ArchiveTag::Double);
        if (!std::isfinite(value))
            ThrowError(QArchiveException::BadFormat,
                       std::string("a finite ") + v.what + " expected, found " + NonFiniteText(value));
    }
    if (v.target) *v.target = value;
    return *this;
}

DataArchive& DataArchive::operator>>(std::string& v) {
    if (IsTextForm()) {
        v = NextToken();
        return *this;
    }
    if (IsCommentMode()) return *this;
    ReadTag(ArchiveTag::String);
    v = m_buffer.ReadString(IsScrambledForm());
    return *this;
}

// ---------------------------------------------------------------------------
// Manipulators

void DataArchive::ApplyManipulatorStoring(ArchiveManipulator m) {
    const int code = static_cast<int>(m);
    if (code >= 0 && code <= kMaxDecimalPlaces) {
        SetPrecision(code);
        return;
    }
    if (code >= kWidthCodeBase && code <= kWidthCodeBase + kLastWidth) {
        SetWidth(code - kWidthCodeBase);
        return;
    }
    switch (m) {
        case ArchiveManipulator::EndRecord:
            NextRecord();
            break;
        case ArchiveManipulator::StationAsNumber:
            SetStationAsNumber(1);
            break;
        case ArchiveManipulator::StationAsText:
            SetStationAsNumber(0);
            break;
        case ArchiveManipulator::BeginComment:
            m_text.BeginComment(m_buffer);
            break;
        case ArchiveManipulator::EndComment:
            m_text.EndComment(m_buffer);
            break;
        default:
            break;
    }
}

DataArchive& DataArchive::operator<<(ArchiveManipulator m) {
    if (IsTextForm()) {
        ApplyManipulatorStoring(m);
    } else if (m == BeginComment || m == EndComment) {
        // The binary forms have no comment lines, but the values a document
        // writes inside a comment must still stay out of the data: a reader
        // never reads them back.
        SetCommentMode(m == BeginComment);
    }
    return *this;
}

DataArchive& DataArchive::operator>>(ArchiveManipulator m) {
    if (!IsTextForm()) return *this;
    switch (m) {
        case ArchiveManipulator::EndRecord:
            NextRecord();
            break;
        case ArchiveManipulator::StationAsNumber:
            SetStationAsNumber(1);
            break;
        case ArchiveManipulator::StationAsText:
            SetStationAsNumber(0);
            break;
        default:
            break;
    }
    return *this;
}

// ---------------------------------------------------------------------------
// Key-value records

namespace {
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out(static_cast<std::size_t>(std::max(size, 0)), '\0');
    if (size > 0) std::vsnprintf(out.data(), out.size() + 1, format, args);
    va_end(args);
    return out;
}

long LeadingNumber(std::string& name) {
    std::size_t digits = 0;
    while (digits < name.size() && std::isdigit(static_cast<unsigned char>(name[digits]))) ++digits;
    if (digits == 0) return 0;
    long long v = 0;
    ScanLong(std::string_view(name).substr(0, digits), v);
    name.erase(0, digits);
    return static_cast<long>(std::min<long long>(v, INT32_MAX));
}
}  // namespace

void DataArchive::WriteKeyInt(long key, long value) {
    SetRecord(Printf("%ld = %ld", key, value));
    NextRecord();
}

void DataArchive::WriteIndexedKeyInt(long index, std::string_view name, long value) {
    SetRecord(Printf("%ld%.*s = %ld", index, static_cast<int>(name.size()), name.data(), value));
    NextRecord();
}

void DataArchive::WriteKeyDouble(long key, double value) {
    SetRecord(Printf("%ld = %lf", key, value));
    NextRecord();
}

void DataArchive::WriteIndexedKeyDouble(long index, std::string_view name, double value) {
    SetRecord(Printf("%ld%.*s = %lf", index, static_cast<int>(name.size()), name.data(), value));
    NextRecord();
}

void DataArchive::WriteKeyText(long key, std::string_view text) {
    const std::string t(text);
    if (key == -1)
        SetRecord(t);
    else if ((static_cast<unsigned long>(key) & 0xFFFF0000ul) == 0)
        SetRecord(t + std::to_string(key));
    else
        SetRecord(std::to_string(key) + " = " + t);
    NextRecord();
}

void DataArchive::WriteNamedText(long key, std::string_view name, std::string_view text) {
    if (key == -1)
        SetRecord(std::string(name) + " = " + std::string(text));
    else
        SetRecord(std::to_string(static_cast<std::uint32_t>(key)) + std::string(name) + " = " +
                  std::string(text));
    NextRecord();
}

long DataArchive::ParseKeyText(std::string& name, std::string& text) {
    const std::string& record = GetRecord();
    const auto eq = record.find('=');
    if (eq == std::string::npos) {
        name = std::string(TrimTrailingBlanks(record));
        text.clear();
        return 0;
    }
    name = std::string(TrimTrailingBlanks(std::string_view(record).substr(0, eq)));
    text = std::string(TrimBlanks(std::string_view(record).substr(eq + 1)));
    SetRecord(record.substr(0, eq));
    return LeadingNumber(name);
}

long DataArchive::ParseKeyInt(std::string& name, long& value) {
    const std::string& record = GetRecord();
    const auto eq = record.find('=');
    if (eq == std::string::npos || eq == 0) {
        name = std::string(TrimTrailingBlanks(record));
        return -1;
    }
    name = std::string(TrimTrailingBlanks(std::string_view(record).substr(0, eq)));
    const std::string right(TrimBlanks(std::string_view(record).substr(eq + 1)));
    if (!name.empty() && name[0] == '[') return -1;
    long long v = 0;
    if (right.find_first_not_of("-0123456789") != std::string::npos || !ScanLong(right, v))
        ThrowError(QArchiveException::BadFormat,
                   "a whole number expected after \"=\", found " + Quoted(right));
    value = static_cast<std::int32_t>(v);  // the low bits, as "%ld" of a 32-bit long keeps them
    SetRecord(record.substr(0, eq));
    return LeadingNumber(name);
}

long DataArchive::ParseKeyDouble(std::string& name, double& value) {
    const std::string& record = GetRecord();
    const auto eq = record.find('=');
    if (eq == std::string::npos || eq == 0) {
        name = std::string(TrimTrailingBlanks(record));
        return -1;
    }
    name = std::string(TrimTrailingBlanks(std::string_view(record).substr(0, eq)));
    const std::string right(TrimBlanks(std::string_view(record).substr(eq + 1)));
    if (!name.empty() && name[0] == '[') return -1;
    if (right.find_first_not_of("-0123456789.") != std::string::npos || !ScanDouble(right, value))
        ThrowError(QArchiveException::BadFormat, "a number expected after \"=\", found " + Quoted(right));
    SetRecord(record.substr(0, eq));
    return LeadingNumber(name);
}

}  // namespace qdat
