#include "docbase/DataArchive.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "docbase/QDocument.h"
#include "host/HostFile.h"
#include "host/Resources.h"

static_assert(std::endian::native == std::endian::little, "the binary forms are read and written as little-endian memory");

namespace qdat {

namespace {

constexpr std::string_view kSeparators = " ,\t";

// Every byte above ',' (digits, the point, the minus, letters) is no separator:
// one comparison settles most bytes of a record.
bool IsSeparator(char c) {
    return static_cast<unsigned char>(c) <= ',' && (c == ' ' || c == ',' || c == '\t');
}

// White space as scanf skips it in the C locale.
bool IsScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Separators are skipped byte by byte: records are short, and a search for
// any of a set of characters costs a library call per character.
inline std::string_view TrimSeparators(std::string_view s) {
    std::size_t first = 0;
    std::size_t last = s.size();
    while (first < last && IsSeparator(s[first])) ++first;
    while (last > first && IsSeparator(s[last - 1])) --last;
    return s.substr(first, last - first);
}

// The end of the unquoted token at pos: the next separator, or n. Tokens are
// mostly numbers, whose bytes all lie above ','; eight bytes with none below
// '-' hold no separator and are passed over at once.
std::size_t TokenEnd(const char* s, std::size_t pos, std::size_t n) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    while (pos + 8 <= n) {
        std::uint64_t word;
        std::memcpy(&word, s + pos, 8);
        // Non-zero when some byte of the word is below '-' (0x2D).
        if ((word - kOnes * 0x2D) & ~word & kHigh) break;
        pos += 8;
    }
    while (pos < n && !IsSeparator(s[pos])) ++pos;
    return pos;
}

bool OnlySeparatorsFrom(std::string_view s, std::size_t pos) {
    for (; pos < s.size(); ++pos)
        if (!IsSeparator(s[pos])) return false;
    return true;
}

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

inline bool IsCommentRecord(std::string_view trimmed) {
    if (trimmed.empty()) return true;
    if (trimmed[0] == ';' || trimmed[0] == '*') return true;
    if (trimmed.size() >= 2 && trimmed[0] == '/' && trimmed[1] == '/') return true;
    return trimmed == "/";
}

std::string Quoted(std::string_view token) {
    std::string out = "\"";
    out += token.substr(0, 40);
    if (token.size() > 40) out += "...";
    out += "\"";
    return out;
}

// Appends UTF-16 code units as UTF-8; unpaired surrogates become U+FFFD.
void AppendUtf8FromUtf16(std::string& out, const unsigned char* bytes, std::size_t units) {
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t c = bytes[2 * i] | (bytes[2 * i + 1] << 8);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
            const std::uint32_t d = bytes[2 * i + 2] | (bytes[2 * i + 3] << 8);
            if (d >= 0xDC00 && d <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
                ++i;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

DataArchive::DataArchive(File* file, unsigned mode, int bufferSize, char* userBuffer, QDocument* document)
    : m_pDocument(document), m_nMode(mode), m_pFile(file) {
    if (m_pDocument) m_pFormatFlags = &m_pDocument->FormatFlagsRef();
    m_strFileName = file ? file->GetFilePath() : std::string();
    if (bufferSize < 128) {
        bufferSize = 128;
        userBuffer = nullptr;
    }
    m_nBufSize = bufferSize;
    if (userBuffer) {
        m_bUserBuf = true;
        m_lpBufStart = userBuffer;
    } else {
        m_ownedBuffer = std::make_unique<char[]>(static_cast<std::size_t>(bufferSize));
        m_lpBufStart = m_ownedBuffer.get();
    }
    m_lpBufCur = m_lpBufStart;
    m_lpBufMax = IsLoading() ? m_lpBufStart : m_lpBufStart + m_nBufSize;
    if (IsLoading() && file) m_nFileLength = file->GetLength();

    if (!m_pDocument) {
        m_nFlags |= FormatFlag::TextForm;
        m_nLine = 0;
        return;
    }
    if (IsLoading()) ReadHeaderAndSignature();
    else WriteHeaderAndSignature();
}

DataArchive::~DataArchive() {
    if (m_pFile && !(m_nMode & NoFlushOnDelete)) {
        try {
            Close();
        } catch (...) {
            // A destructor cannot report; callers that care call Close themselves.
        }
    }
    m_warnings.RemoveAll();
}

std::uint32_t DataArchive::GetDocumentVersion() const { return m_pDocument ? m_pDocument->GetFileVersion() : 0; }

std::int64_t DataArchive::GetPosition() const {
    if (IsTextForm()) return m_nLine + m_nLineBase;
    if (!m_pFile) return 0;
    const std::int64_t filePos = m_pFile->GetPosition();
    return IsLoading() ? filePos - (m_lpBufMax - m_lpBufCur) : filePos + (m_lpBufCur - m_lpBufStart);
}

std::int64_t DataArchive::RemainingBytes() const {
    if (!m_pFile || m_nFileLength < 0 || !IsLoading()) return -1;
    return std::max<std::int64_t>(0, m_nFileLength - m_pFile->GetPosition()) + (m_lpBufMax - m_lpBufCur);
}

void DataArchive::Close() {
    if (!m_pFile) return;
    Flush();
    m_pFile = nullptr;
}

void DataArchive::Abort() {
    m_pFile = nullptr;
    m_ownedBuffer.reset();
    m_lpBufStart = m_lpBufCur = m_lpBufMax = nullptr;
}

void DataArchive::SetFlag(std::uint32_t bit, bool on) {
    if (on) m_nFlags |= bit; else m_nFlags &= ~bit;
    if (m_pFormatFlags != &m_nFlags && bit != FormatFlag::CommentMode) {
        if (on) *m_pFormatFlags |= bit; else *m_pFormatFlags &= ~bit;
    }
}

void DataArchive::SetCommentMode(bool on) {
    if (on) m_nFlags |= FormatFlag::CommentMode; else m_nFlags &= ~FormatFlag::CommentMode;
}

int DataArchive::SetPrecision(int places) {
    const int previous = m_nPrecision;
    if (places < 0) places = 0;
    m_nPrecision = places;
    m_strFloatFormat = "%." + std::to_string(places) + "f";
    m_strDoubleFormat = "%." + std::to_string(places) + "lf";
    return previous;
}

int DataArchive::SetWidth(int width) {
    const int previous = m_nWidth;
    m_nWidth = width;
    return previous;
}

int DataArchive::SetStationAsNumber(int flag) {
    const int previous = m_nStationAsNumber;
    m_nStationAsNumber = flag;
    return previous;
}

void DataArchive::AddWarning(std::string_view text) {
    std::string warning = FormatResource(22, m_nLine + m_nLineBase);
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

std::string DataArchive::ReadSignatureLine(bool textForm, bool& lengthPrefixed) {
    lengthPrefixed = false;
    std::string line;
    bool first = true;
    for (;;) {
        const std::int64_t lineStart = m_pFile->GetPosition() - (m_lpBufMax - m_lpBufCur);
        if (!ReadLine(line)) return {};
        ++m_nLineBase;
        if (first && textForm) {
            first = false;
            const auto* b = reinterpret_cast<const unsigned char*>(line.data());
            const bool wideMark = line.size() > 2 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0xFF;
            if (wideMark || (!line.empty() && static_cast<std::size_t>(b[0]) + 1 <= line.size())) {
                // An old text file whose signature the object archive wrote as a
                // length-prefixed string: read it again in the binary string form.
                m_lpBufCur = m_lpBufMax = m_lpBufStart;
                m_pFile->Seek(lineStart, File::SeekFrom::Begin);
                std::string sig = ReadRawString();
                lengthPrefixed = true;
                m_nLineBase = 0;  // the content goes on in the signature's own line
                return sig;
            }
        }
        const std::string_view trimmed = TrimSeparators(line);
        if (IsCommentRecord(trimmed)) continue;
        return std::string(trimmed);
    }
}

ArchiveEnvelope DataArchive::ReadEnvelope(File& file) {
    DataArchive ar(&file, Load | NoFlushOnDelete, 4096);
    ArchiveEnvelope env;
    ar.m_nFlags = 0;
    try {
        ar.FillBuffer(4);
    } catch (const QArchiveException&) {
    }
    const auto* b = reinterpret_cast<const unsigned char*>(ar.m_lpBufCur);
    if (ar.m_lpBufMax - ar.m_lpBufCur >= 4 && b[0] == 'Q' && b[1] == 'B' && (b[2] == ' ' || b[2] == 'T') &&
        (b[3] == ' ' || b[3] == 'C')) {
        env.hasHeader = true;
        env.tagged = b[2] == 'T';
        env.scrambled = b[3] == 'C';
        ar.m_lpBufCur += 4;
    } else {
        ar.m_nFlags |= FormatFlag::TextForm;
    }
    std::string sig = ar.ReadSignatureLine(!env.hasHeader, env.lengthPrefixedSignature);
    sig = std::string(TrimBlanks(sig));
    for (char& c : sig) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    env.signature = std::move(sig);
    env.contentOffset = file.GetPosition() - (ar.m_lpBufMax - ar.m_lpBufCur);
    return env;
}

void DataArchive::ReadHeaderAndSignature() {
    std::int64_t headerLength = 0;
    try {
        FillBuffer(4);
    } catch (const QArchiveException&) {
        // A file shorter than a header is text (or empty).
    }
    const auto* b = reinterpret_cast<const unsigned char*>(m_lpBufCur);
    bool header = false;
    if (m_lpBufMax - m_lpBufCur >= 4 && b[0] == 'Q' && b[1] == 'B' && (b[2] == ' ' || b[2] == 'T')) {
        SetTaggedForm(b[2] == 'T');
        if (b[3] == ' ' || b[3] == 'C') {
            header = true;
            SetScrambledForm(b[3] == 'C');
        }
    }
    if (header) {
        SetTextForm(false);
        headerLength = 4;
        m_lpBufCur += 4;
    } else {
        SetTextForm(true);
    }

    bool lengthPrefixed = false;
    std::string sig = ReadSignatureLine(!header, lengthPrefixed);
    sig = std::string(TrimBlanks(sig));
    for (char& c : sig) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!m_pDocument->ParseSignature(sig)) {
        // No signature this class knows: the content starts right after the header.
        m_lpBufCur = m_lpBufMax = m_lpBufStart;
        m_pFile->Seek(headerLength, File::SeekFrom::Begin);
        m_nLineBase = 0;
    }
    m_nLine = 0;
    if (IsTextForm()) NextRecord();
}

void DataArchive::WriteHeaderAndSignature() {
    if (!IsTextForm() && !IsLegacyLayout()) {
        const char header[4] = {'Q', 'B', IsTaggedForm() ? 'T' : ' ', IsScrambledForm() ? 'C' : ' '};
        Write(header, 4);
    }
    const std::string sig = m_pDocument->GetSignature();
    if (!sig.empty()) {
        WriteText(sig);
        WriteText("\n");
    }
    m_nLine = 0;
}

// ---------------------------------------------------------------------------
// Byte level

void DataArchive::FillBuffer(std::size_t needed) {
    const std::size_t unread = static_cast<std::size_t>(m_lpBufMax - m_lpBufCur);
    if (unread >= needed) return;
    if (m_lpBufCur != m_lpBufStart) {
        std::memmove(m_lpBufStart, m_lpBufCur, unread);
        m_lpBufCur = m_lpBufStart;
        m_lpBufMax = m_lpBufStart + unread;
    }
    const std::size_t room = static_cast<std::size_t>(m_nBufSize) - unread;
    const std::size_t got = m_pFile ? m_pFile->Read(m_lpBufMax, room) : 0;
    m_lpBufMax += got;
    if (static_cast<std::size_t>(m_lpBufMax - m_lpBufCur) < needed) ThrowError(QArchiveException::EndOfFile);
}

std::size_t DataArchive::Read(void* buffer, std::size_t count) {
    if (count == 0 || !m_pFile) return 0;
    char* out = static_cast<char*>(buffer);
    std::size_t done = std::min<std::size_t>(count, static_cast<std::size_t>(m_lpBufMax - m_lpBufCur));
    std::memcpy(out, m_lpBufCur, done);
    m_lpBufCur += done;
    std::size_t left = count - done;
    if (left == 0) return done;
    // Whole buffers go straight from the file.
    const std::size_t direct = left - left % static_cast<std::size_t>(m_nBufSize);
    if (direct) {
        const std::size_t got = m_pFile->Read(out + done, direct);
        done += got;
        left -= got;
        if (got < direct) return done;
    }
    if (left) {
        m_lpBufCur = m_lpBufMax = m_lpBufStart;
        m_lpBufMax += m_pFile->Read(m_lpBufStart, static_cast<std::size_t>(m_nBufSize));
        const std::size_t n = std::min<std::size_t>(left, static_cast<std::size_t>(m_lpBufMax - m_lpBufCur));
        std::memcpy(out + done, m_lpBufCur, n);
        m_lpBufCur += n;
        done += n;
    }
    return done;
}

void DataArchive::Write(const void* buffer, std::size_t count) {
    if (count == 0 || !m_pFile) return;
    const char* in = static_cast<const char*>(buffer);
    std::size_t room = static_cast<std::size_t>(m_lpBufMax - m_lpBufCur);
    if (count <= room) {
        std::memcpy(m_lpBufCur, in, count);
        m_lpBufCur += count;
        return;
    }
    std::memcpy(m_lpBufCur, in, room);
    m_lpBufCur += room;
    in += room;
    count -= room;
    Flush();
    const std::size_t direct = count - count % static_cast<std::size_t>(m_nBufSize);
    if (direct) {
        m_pFile->Write(in, direct);
        in += direct;
        count -= direct;
    }
    std::memcpy(m_lpBufCur, in, count);
    m_lpBufCur += count;
}

void DataArchive::Flush() {
    if (!m_pFile) return;
    if (IsLoading()) {
        const std::int64_t unread = m_lpBufMax - m_lpBufCur;
        if (unread) m_pFile->Seek(-unread, File::SeekFrom::Current);
        m_lpBufCur = m_lpBufMax = m_lpBufStart;
    } else {
        if (m_lpBufCur != m_lpBufStart) m_pFile->Write(m_lpBufStart, static_cast<std::size_t>(m_lpBufCur - m_lpBufStart));
        m_lpBufCur = m_lpBufStart;
    }
}

void DataArchive::Scramble(unsigned char* bytes, std::size_t count) {
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        std::uint32_t plain;
        std::memcpy(&plain, bytes + i, 4);
        const std::uint32_t stored = plain ^ m_nKey;
        std::memcpy(bytes + i, &stored, 4);
        m_nKey = (stored >> 1) + (m_nKey >> 1);
    }
    for (; i < count; ++i) bytes[i] ^= static_cast<unsigned char>(m_nKey & 0xFF);
}

void DataArchive::Unscramble(unsigned char* bytes, std::size_t count) {
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        std::uint32_t stored;
        std::memcpy(&stored, bytes + i, 4);
        const std::uint32_t plain = stored ^ m_nKey;
        std::memcpy(bytes + i, &plain, 4);
        m_nKey = (stored >> 1) + (m_nKey >> 1);
    }
    for (; i < count; ++i) bytes[i] ^= static_cast<unsigned char>(m_nKey & 0xFF);
}

std::size_t DataArchive::ReadBytes(void* buffer, std::size_t count) {
    if (IsCommentMode()) return 0;
    // Read never gives more than asked; saying so keeps the compiler from
    // assuming the key walk can leave the buffer.
    const std::size_t n = std::min(Read(buffer, count), count);
    if (IsScrambledForm()) Unscramble(static_cast<unsigned char*>(buffer), n);
    return n;
}

void DataArchive::WriteBytes(const void* buffer, std::size_t count) {
    if (IsCommentMode()) return;
    if (!IsScrambledForm()) {
        Write(buffer, count);
        return;
    }
    // Scramble a copy in chunks of whole words, so the caller's bytes stay intact
    // and the word groups still run from the start of the block.
    unsigned char chunk[4096];
    const auto* in = static_cast<const unsigned char*>(buffer);
    while (count > 0) {
        const std::size_t n = std::min(count, sizeof chunk);
        std::memcpy(chunk, in, n);
        Scramble(chunk, n);
        Write(chunk, n);
        in += n;
        count -= n;
    }
}

void DataArchive::WriteText(std::string_view text) { Write(text.data(), text.size()); }

bool DataArchive::ReadLine(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (m_lpBufCur == m_lpBufMax) {
            try {
                FillBuffer(1);
            } catch (const QArchiveException&) {
                return any;
            }
        }
        any = true;
        const char* start = m_lpBufCur;
        const std::size_t avail = static_cast<std::size_t>(m_lpBufMax - start);
        const char* p = static_cast<const char*>(std::memchr(start, '\n', avail));
        if (!p) p = m_lpBufMax;
        // A zero byte also ends a line.
        if (const void* nul = std::memchr(start, '\0', static_cast<std::size_t>(p - start))) p = static_cast<const char*>(nul);
        line.append(start, p);
        if (p != m_lpBufMax) {
            m_lpBufCur = const_cast<char*>(p) + 1;
            if (*p == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        m_lpBufCur = m_lpBufMax;
    }
}

int DataArchive::PeekByte() {
    if (m_lpBufCur == m_lpBufMax) {
        try {
            FillBuffer(1);
        } catch (const QArchiveException&) {
            return -1;
        }
    }
    return static_cast<unsigned char>(*m_lpBufCur);
}

bool DataArchive::AtEnd() {
    if (!IsTextForm()) {
        if (m_lpBufCur != m_lpBufMax) return false;
        try {
            FillBuffer(1);
        } catch (const QArchiveException& e) {
            if (e.m_cause == QArchiveException::EndOfFile) return true;
            throw;
        }
        return false;
    }
    if (!OnlySeparatorsFrom(m_strRecord, m_nTokenPos)) return false;
    // Skip blank input and every line the record reader would skip as a
    // comment; only a real record left means "not at end".
    for (;;) {
        const int c = PeekByte();
        if (c < 0) return true;
        if (c == '\n') {
            ++m_nLine;
            ++m_lpBufCur;
        } else if (c == '\r' || c == ' ' || c == ',' || c == '\t') {
            ++m_lpBufCur;
        } else if (c == ';' || c == '*' || c == '/') {
            if (c == '/') {
                if (m_lpBufMax - m_lpBufCur < 2) {
                    try {
                        FillBuffer(2);
                    } catch (const QArchiveException&) {
                        ++m_lpBufCur;  // a lone "/" at the very end is a comment
                        continue;
                    }
                }
                const char next = m_lpBufCur[1];
                if (next != '/' && next != '\n' && next != '\r') return false;
            }
            while (PeekByte() >= 0 && *m_lpBufCur != '\n') ++m_lpBufCur;
        } else {
            return false;
        }
    }
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
    if (IsScrambledForm()) Scramble(bytes, sizeof(T));
    Write(bytes, sizeof(T));
}

template <class T>
T DataArchive::LoadBinary(ArchiveTag tag) {
    T value{};
    if (IsCommentMode()) return value;
    ReadTag(tag);
    unsigned char bytes[sizeof(T)];
    // A value cut short by the end of the file is an error, not stale bytes.
    if (m_lpBufMax - m_lpBufCur >= static_cast<std::ptrdiff_t>(sizeof(T))) {
        std::memcpy(bytes, m_lpBufCur, sizeof(T));
        m_lpBufCur += sizeof(T);
    } else {
        FillBuffer(sizeof(T));
        std::memcpy(bytes, m_lpBufCur, sizeof(T));
        m_lpBufCur += sizeof(T);
    }
    if (IsScrambledForm()) Unscramble(bytes, sizeof(T));
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

void DataArchive::WriteStringLength(std::size_t length) {
    if (length <= 254) {
        const auto b = static_cast<std::uint8_t>(length);
        WriteBytes(&b, 1);
        return;
    }
    const std::uint8_t ff = 0xFF;
    WriteBytes(&ff, 1);
    if (length <= 0xFFFD) {
        const auto w = static_cast<std::uint16_t>(length);
        WriteBytes(&w, 2);
        return;
    }
    const std::uint16_t ffff = 0xFFFF;
    WriteBytes(&ffff, 2);
    const auto d = static_cast<std::uint32_t>(length);
    WriteBytes(&d, 4);
}

std::uint32_t DataArchive::ReadStringLength() {
    std::uint8_t b = 0;
    if (ReadBytes(&b, 1) != 1) ThrowError(QArchiveException::EndOfFile, "string length");
    if (b < 0xFF) return b;
    std::uint16_t w = 0;
    if (ReadBytes(&w, 2) != 2) ThrowError(QArchiveException::EndOfFile, "string length");
    if (w < 0xFFFE) return w;
    if (w == 0xFFFE) return 0x80000000u;  // marks a wide string; the caller reads the second prefix
    std::uint32_t d = 0;
    if (ReadBytes(&d, 4) != 4) ThrowError(QArchiveException::EndOfFile, "string length");
    return d;
}

// ---------------------------------------------------------------------------
// Text tokens and records

void DataArchive::AppendToken(std::string_view text) {
    const bool first = m_strRecord.empty();
    if (!first) m_strRecord += ' ';
    if (IsCommentMode()) {
        m_strRecord += text;
        return;
    }
    if (static_cast<int>(text.size()) < m_nWidth) m_strRecord.append(static_cast<std::size_t>(m_nWidth) - text.size(), ' ');
    // A token with a separator inside, or a first token that would make the
    // record read as a comment line, is quoted.
    const bool looksLikeComment = first && !text.empty() &&
                                  (text[0] == ';' || text[0] == '*' || text == "/" || text.substr(0, 2) == "//");
    if (looksLikeComment || text.find_first_of(kSeparators) != std::string_view::npos) {
        m_strRecord += '"';
        m_strRecord += text;
        m_strRecord += '"';
    } else {
        m_strRecord += text;
    }
}

std::string DataArchive::NextToken() { return std::string(NextTokenView()); }

std::string_view DataArchive::NextTokenView() {
    const std::size_t n = m_strRecord.size();
    std::size_t i = m_nTokenPos;
    if (i >= n) return {};
    const char* const s = m_strRecord.data();
    while (i < n && IsSeparator(s[i])) ++i;
    if (i >= n) {
        m_nTokenPos = i;
        return {};
    }
    if (s[i] == '"') return QuotedTokenView(i);
    const std::size_t end = TokenEnd(s, i, n);
    m_nTokenPos = end < n ? end + 1 : n;
    return std::string_view(s + i, end - i);
}

std::string_view DataArchive::QuotedTokenView(std::size_t quote) {
    // A quoted token runs to the next quote, or to the end of the record.
    const std::size_t n = m_strRecord.size();
    const std::size_t start = quote + 1;
    std::size_t end = m_strRecord.find('"', start);
    if (end == std::string::npos) {
        end = n;
        m_nTokenPos = n;
    } else {
        m_nTokenPos = end + 1;
    }
    return std::string_view(m_strRecord).substr(start, end - start);
}

int DataArchive::CountTokens() {
    const std::size_t saved = m_nTokenPos;
    int count = 0;
    while (!OnlySeparatorsFrom(m_strRecord, m_nTokenPos)) {
        NextTokenView();
        ++count;
    }
    m_nTokenPos = saved;
    return count;
}

bool DataArchive::NextTokenContains(std::string_view text) {
    const std::size_t saved = m_nTokenPos;
    std::string token = NextToken();
    m_nTokenPos = saved;
    std::string needle(text);
    for (char& c : token) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : needle) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return token.find(needle) != std::string::npos;
}

bool DataArchive::NextRecordContains(std::string_view text) {
    NextRecord();
    return NextTokenContains(text);
}

void DataArchive::NextRecord() {
    if (IsStoring()) {
        if (!m_strRecord.empty()) {
            WriteText(m_strRecord);
            m_strRecord.clear();
        }
        WriteText("\n");
        if (IsCommentMode()) WriteText("//");
        return;
    }
    ReadRecordInto(m_strRecord);
    m_nTokenPos = 0;
}

std::string DataArchive::ReadRecord() {
    std::string record;
    ReadRecordInto(record);
    return record;
}

void DataArchive::ReadRecordInto(std::string& line) {
    for (;;) {
        // Most lines lie whole in the buffer: take the record straight from
        // there, the way ReadLine would end it (at a line feed or a zero byte,
        // a carriage return before the line feed dropped).
        const std::size_t avail = static_cast<std::size_t>(m_lpBufMax - m_lpBufCur);
        const char* feed = avail ? static_cast<const char*>(std::memchr(m_lpBufCur, '\n', avail)) : nullptr;
        if (feed) {
            const char* start = m_lpBufCur;
            const char* end = feed;
            if (const void* nul = std::memchr(start, '\0', static_cast<std::size_t>(feed - start)))
                end = static_cast<const char*>(nul);
            m_lpBufCur = const_cast<char*>(end) + 1;
            std::string_view raw(start, static_cast<std::size_t>(end - start));
            if (end == feed && !raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
            ++m_nLine;
            const std::string_view record = TrimSeparators(raw);
            if (IsCommentRecord(record)) continue;
            line.clear();  // the record keeps its buffer from line to line
            line.append(record);
            return;
        }
        if (!ReadLine(line)) {
            line.clear();
            return;
        }
        ++m_nLine;
        const std::string_view record = TrimSeparators(line);
        if (IsCommentRecord(record)) continue;
        line.assign(record);  // assign handles the overlap with its own buffer
        return;
    }
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

std::string_view DataArchive::NextTokenOrThrow(const char* what) {
    const std::string_view token = NextTokenView();
    if (token.empty()) ThrowError(QArchiveException::BadFormat, std::string(what) + " expected, found nothing");
    return token;
}

// ---------------------------------------------------------------------------
// Number text

std::string DataArchive::FormatFixed(double value, int places) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, places);
    if (r.ec != std::errc()) {
        const int n = std::snprintf(buf, sizeof buf, "%.*f", places, value);
        return std::string(buf, static_cast<std::size_t>(std::max(n, 0)));
    }
    return std::string(buf, r.ptr);
}

bool DataArchive::ScanDouble(std::string_view token, double& value, std::size_t* used) {
    // Most tokens start with a digit: nothing to skip, no sign, no hex prefix.
    if (!token.empty() && token[0] >= '1' && token[0] <= '9') {
        double v = 0;
        const auto r = std::from_chars(token.data(), token.data() + token.size(), v);
        if (r.ec == std::errc()) {
            value = v;
            if (used) *used = static_cast<std::size_t>(r.ptr - token.data());
            return true;
        }
    }
    std::size_t i = 0;
    while (i < token.size() && IsScanSpace(token[i])) ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    const char* first = token.data() + i;
    const char* last = token.data() + token.size();
    if (first == last) return false;
    if (*first == '+' || *first == '-') return false;
    if (last - first > 1 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        const std::string copy(first, last);
        char* end = nullptr;
        const double v = std::strtod(copy.c_str(), &end);
        if (end == copy.c_str()) return false;
        value = negative ? -v : v;
        if (used) *used = static_cast<std::size_t>(first - token.data()) + static_cast<std::size_t>(end - copy.c_str());
        return true;
    }
    double v = 0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec == std::errc::result_out_of_range) {
        const std::string copy(first, last);
        v = std::strtod(copy.c_str(), nullptr);
    } else if (r.ec != std::errc()) {
        return false;
    }
    value = negative ? -v : v;
    if (used) *used = static_cast<std::size_t>(r.ptr - token.data());
    return true;
}

bool DataArchive::ScanLong(std::string_view token, long long& value) {
    std::size_t i = 0;
    while (i < token.size() && IsScanSpace(token[i])) ++i;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    unsigned long long magnitude = 0;
    const auto r = std::from_chars(token.data() + i, token.data() + token.size(), magnitude);
    if (r.ec == std::errc::invalid_argument) return false;
    if (r.ec == std::errc::result_out_of_range || magnitude > static_cast<unsigned long long>(LLONG_MAX)) {
        value = negative ? LLONG_MIN : LLONG_MAX;
        return true;
    }
    value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    return true;
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
    if constexpr (sizeof(T) == 4) AppendToken(std::to_string(static_cast<std::int32_t>(value)));
    else AppendToken(std::to_string(static_cast<int>(value)));
}

template <class T>
T DataArchive::LoadInteger(ArchiveTag tag) {
    if (!IsTextForm()) return LoadBinary<T>(tag);
    const std::string_view token = NextTokenOrThrow("a whole number");
    long long v = 0;
    if (!ScanLong(token, v)) ThrowError(QArchiveException::BadFormat, "a whole number expected, found " + Quoted(token));
    // Kept as scanf's "%d" leaves it in the variable: the low bits of the number.
    return static_cast<T>(v);
}

DataArchive& DataArchive::operator<<(char v) {
    if (IsTextForm()) AppendToken(std::string_view(&v, 1));
    else StoreBinary(ArchiveTag::Char, v);
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
    if (v < INT32_MIN || v > INT32_MAX) ThrowError(QArchiveException::GenericError, "value out of the 32-bit range");
    StoreInteger(ArchiveTag::Long, static_cast<std::int32_t>(v));
    return *this;
}
DataArchive& DataArchive::operator<<(unsigned long v) {
    if (v > UINT32_MAX) ThrowError(QArchiveException::GenericError, "value out of the 32-bit range");
    StoreInteger(ArchiveTag::Dword, static_cast<std::uint32_t>(v));
    return *this;
}

void DataArchive::AppendFixed(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, m_nPrecision);
    if (r.ec == std::errc()) AppendToken(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
    else AppendToken(FormatFixed(v, m_nPrecision));  // very large values
}

DataArchive& DataArchive::operator<<(float v) {
    if (IsTextForm()) AppendFixed(static_cast<double>(v));
    else StoreBinary(ArchiveTag::Float, v);
    return *this;
}
DataArchive& DataArchive::operator<<(double v) {
    if (IsTextForm()) AppendFixed(v);
    else StoreBinary(ArchiveTag::Double, v);
    return *this;
}

DataArchive& DataArchive::operator<<(std::string_view v) {
    if (IsTextForm()) {
        std::string text(v);
        std::replace(text.begin(), text.end(), '\n', ' ');
        std::replace(text.begin(), text.end(), '\r', ' ');
        // An empty string written bare would vanish between separators and shift
        // every later token of the record; quoted, it reads back as empty.
        if (text.empty() && !IsCommentMode()) AppendToken("\"\"");
        else AppendToken(text);
        return *this;
    }
    if (IsCommentMode()) return *this;
    WriteTag(ArchiveTag::String);
    WriteStringLength(v.size());
    WriteBytes(v.data(), v.size());
    return *this;
}

DataArchive& DataArchive::operator>>(char& v) {
    if (IsTextForm()) v = NextTokenOrThrow("a character")[0];
    else v = LoadBinary<char>(ArchiveTag::Char);
    return *this;
}
DataArchive& DataArchive::operator>>(unsigned char& v) {
    if (IsTextForm()) v = static_cast<unsigned char>(NextTokenOrThrow("a character")[0]);
    else v = LoadBinary<unsigned char>(ArchiveTag::Byte);
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
    // Scan straight to float, as "%f" does, so the value is rounded once.
    std::string_view t = TrimBlanks(token);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    float f = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), f);
    if (r.ec == std::errc() && !(t.size() > 1 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) && !t.empty() &&
        t[0] != '-' && t[0] != '+') {
        v = negative ? -f : f;
        return *this;
    }
    double d = 0;
    if (!ScanDouble(token, d)) ThrowError(QArchiveException::BadFormat, "a number expected, found " + Quoted(token));
    v = static_cast<float>(d);
    return *this;
}

DataArchive& DataArchive::operator>>(double& v) {
    if (!IsTextForm()) {
        v = LoadBinary<double>(ArchiveTag::Double);
        return *this;
    }
    const std::string_view token = NextTokenOrThrow("a number");
    if (!ScanDouble(token, v)) ThrowError(QArchiveException::BadFormat, "a number expected, found " + Quoted(token));
    return *this;
}

DataArchive& DataArchive::operator>>(std::string& v) {
    if (IsTextForm()) {
        v = NextToken();
        return *this;
    }
    if (IsCommentMode()) return *this;
    ReadTag(ArchiveTag::String);
    v = ReadRawString();
    return *this;
}

std::string DataArchive::ReadRawString() {
    std::uint32_t length = ReadStringLength();
    bool wide = false;
    if (length == 0x80000000u) {
        wide = true;
        length = ReadStringLength();
        if (length == 0x80000000u) ThrowError(QArchiveException::BadFormat, "nested wide string mark");
    }
    const std::uint64_t bytes = static_cast<std::uint64_t>(length) * (wide ? 2 : 1);
    const std::int64_t remaining = RemainingBytes();
    // Never allocate for a length the rest of the file cannot hold.
    if (remaining >= 0 && bytes > static_cast<std::uint64_t>(remaining))
        ThrowError(QArchiveException::EndOfFile, "string of " + std::to_string(bytes) + " bytes, but only " +
                                                     std::to_string(remaining) + " bytes remain");
    std::string body(static_cast<std::size_t>(bytes), '\0');
    if (ReadBytes(body.data(), body.size()) != body.size()) ThrowError(QArchiveException::EndOfFile, "string body");
    if (!wide) return body;
    std::string text;
    AppendUtf8FromUtf16(text, reinterpret_cast<const unsigned char*>(body.data()), length);
    return text;
}

void DataArchive::WriteStationValue(double value) { StoreBinary(ArchiveTag::Station, value); }

double DataArchive::ReadStationValue() { return LoadBinary<double>(ArchiveTag::Station); }

// ---------------------------------------------------------------------------
// Manipulators

void DataArchive::ApplyManipulatorStoring(int code) {
    if (code >= 0 && code <= 19) {
        SetPrecision(code);
    } else if (code == 100) {
        NextRecord();
    } else if (code == 101) {
        SetStationAsNumber(1);
    } else if (code == 102) {
        SetStationAsNumber(0);
    } else if (code == 103) {
        if (!m_strRecord.empty()) {
            WriteText(m_strRecord);
            m_strRecord.clear();
            WriteText("\n");
        }
        SetCommentMode(true);
        WriteText("//");
    } else if (code == 104) {
        if (!m_strRecord.empty()) {
            WriteText(m_strRecord);
            m_strRecord.clear();
        }
        WriteText("\n");
        SetCommentMode(false);
    } else if (code >= 200 && code <= 229) {
        SetWidth(code - 200);
    }
}

DataArchive& DataArchive::operator<<(ArchiveManipulator m) {
    if (IsTextForm()) {
        ApplyManipulatorStoring(static_cast<int>(m));
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
    switch (static_cast<int>(m)) {
        case 100: NextRecord(); break;
        case 101: SetStationAsNumber(1); break;
        case 102: SetStationAsNumber(0); break;
        default: break;
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
    DataArchive::ScanLong(std::string_view(name).substr(0, digits), v);
    name.erase(0, digits);
    return static_cast<long>(std::min<long long>(v, INT32_MAX));
}
}  // namespace

void DataArchive::WriteKeyInt(long key, long value) {
    m_strRecord = Printf("%ld = %ld", key, value);
    NextRecord();
}

void DataArchive::WriteIndexedKeyInt(long index, std::string_view name, long value) {
    m_strRecord = Printf("%ld%.*s = %ld", index, static_cast<int>(name.size()), name.data(), value);
    NextRecord();
}

void DataArchive::WriteKeyDouble(long key, double value) {
    m_strRecord = Printf("%ld = %lf", key, value);
    NextRecord();
}

void DataArchive::WriteIndexedKeyDouble(long index, std::string_view name, double value) {
    m_strRecord = Printf("%ld%.*s = %lf", index, static_cast<int>(name.size()), name.data(), value);
    NextRecord();
}

void DataArchive::WriteKeyText(long key, std::string_view text) {
    const std::string t(text);
    if (key == -1) m_strRecord = t;
    else if ((static_cast<unsigned long>(key) & 0xFFFF0000ul) == 0) m_strRecord = t + std::to_string(key);
    else m_strRecord = std::to_string(key) + " = " + t;
    NextRecord();
}

void DataArchive::WriteNamedText(long key, std::string_view name, std::string_view text) {
    if (key == -1) m_strRecord = std::string(name) + " = " + std::string(text);
    else m_strRecord = std::to_string(static_cast<std::uint32_t>(key)) + std::string(name) + " = " + std::string(text);
    NextRecord();
}

long DataArchive::ParseKeyText(std::string& name, std::string& text) {
    const auto eq = m_strRecord.find('=');
    if (eq == std::string::npos) {
        name = std::string(TrimTrailingBlanks(m_strRecord));
        text.clear();
        return 0;
    }
    name = std::string(TrimTrailingBlanks(std::string_view(m_strRecord).substr(0, eq)));
    text = std::string(TrimBlanks(std::string_view(m_strRecord).substr(eq + 1)));
    m_strRecord.erase(eq);
    m_nTokenPos = 0;
    return LeadingNumber(name);
}

long DataArchive::ParseKeyInt(std::string& name, long& value) {
    const auto eq = m_strRecord.find('=');
    if (eq == std::string::npos || eq == 0) {
        name = std::string(TrimTrailingBlanks(m_strRecord));
        return -1;
    }
    name = std::string(TrimTrailingBlanks(std::string_view(m_strRecord).substr(0, eq)));
    const std::string right(TrimBlanks(std::string_view(m_strRecord).substr(eq + 1)));
    if (!name.empty() && name[0] == '[') return -1;
    long long v = 0;
    if (right.find_first_not_of("-0123456789") != std::string::npos || !ScanLong(right, v))
        ThrowError(QArchiveException::BadFormat, "a whole number expected after \"=\", found " + Quoted(right));
    value = static_cast<std::int32_t>(v);  // the low bits, as "%ld" of a 32-bit long keeps them
    m_strRecord.erase(eq);
    m_nTokenPos = 0;
    return LeadingNumber(name);
}

long DataArchive::ParseKeyDouble(std::string& name, double& value) {
    const auto eq = m_strRecord.find('=');
    if (eq == std::string::npos || eq == 0) {
        name = std::string(TrimTrailingBlanks(m_strRecord));
        return -1;
    }
    name = std::string(TrimTrailingBlanks(std::string_view(m_strRecord).substr(0, eq)));
    const std::string right(TrimBlanks(std::string_view(m_strRecord).substr(eq + 1)));
    if (!name.empty() && name[0] == '[') return -1;
    if (right.find_first_not_of("-0123456789.") != std::string::npos || !ScanDouble(right, value))
        ThrowError(QArchiveException::BadFormat, "a number expected after \"=\", found " + Quoted(right));
    m_strRecord.erase(eq);
    m_nTokenPos = 0;
    return LeadingNumber(name);
}

}  // namespace qdat
