#include <qdat/docbase/detail/ArchiveBuffer.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include <qdat/host/HostFile.h>

static_assert(std::endian::native == std::endian::little,
              "the binary forms are read and written as little-endian memory");

namespace qdat {

namespace {

// A 16-bit length of 0xFFFE after the 0xFF byte marks a wide string; the
// caller reads the second prefix that counts its UTF-16 units.
constexpr std::uint32_t kWideMark = 0x80000000u;

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

ArchiveBuffer::ArchiveBuffer(File* file, bool loading, int size, char* callerBuffer)
    : m_file(file), m_loading(loading) {
    m_fileName = file ? file->GetFilePath() : std::string();
    if (size < kMinimumSize) {
        size = kMinimumSize;
        callerBuffer = nullptr;
    }
    m_size = size;
    if (callerBuffer) {
        m_start = callerBuffer;
    } else {
        m_owned = std::make_unique<char[]>(static_cast<std::size_t>(size));
        m_start = m_owned.get();
    }
    m_cursor = m_start;
    m_end = loading ? m_start : m_start + m_size;
    if (loading && file) m_fileLength = file->GetLength();
}

std::int64_t ArchiveBuffer::GetPosition() const {
    if (!m_file) return 0;
    const std::int64_t filePos = m_file->GetPosition();
    return m_loading ? filePos - (m_end - m_cursor) : filePos + (m_cursor - m_start);
}

std::int64_t ArchiveBuffer::RemainingBytes() const {
    if (!m_file || m_fileLength < 0 || !m_loading) return -1;
    return std::max<std::int64_t>(0, m_fileLength - m_file->GetPosition()) + (m_end - m_cursor);
}

void ArchiveBuffer::ThrowError(QArchiveException::Cause cause, std::string_view detail) const {
    throw QArchiveException(cause, QArchiveException::Place{m_fileName, GetPosition(), false}, detail);
}

// ---------------------------------------------------------------------------
// Bytes in and out

bool ArchiveBuffer::TryFill(std::size_t needed) {
    const std::size_t unread = Available();
    if (unread >= needed) return true;
    if (m_cursor != m_start) {
        std::memmove(m_start, m_cursor, unread);
        m_cursor = m_start;
        m_end = m_start + unread;
    }
    const std::size_t room = static_cast<std::size_t>(m_size) - unread;
    m_end += m_file ? m_file->Read(m_end, room) : 0;
    return Available() >= needed;
}

void ArchiveBuffer::Fill(std::size_t needed) {
    if (!TryFill(needed)) ThrowError(QArchiveException::EndOfFile);
}

std::size_t ArchiveBuffer::Read(void* buffer, std::size_t count) {
    if (count == 0 || !m_file) return 0;
    char* out = static_cast<char*>(buffer);
    std::size_t done = std::min(count, Available());
    std::memcpy(out, m_cursor, done);
    m_cursor += done;
    std::size_t left = count - done;
    if (left == 0) return done;
    // Whole buffers go straight from the file.
    const std::size_t direct = left - left % static_cast<std::size_t>(m_size);
    if (direct) {
        const std::size_t got = m_file->Read(out + done, direct);
        done += got;
        left -= got;
        if (got < direct) return done;
    }
    if (left) {
        m_cursor = m_end = m_start;
        m_end += m_file->Read(m_start, static_cast<std::size_t>(m_size));
        const std::size_t n = std::min(left, Available());
        std::memcpy(out + done, m_cursor, n);
        m_cursor += n;
        done += n;
    }
    return done;
}

void ArchiveBuffer::Write(const void* buffer, std::size_t count) {
    if (count == 0 || !m_file) return;
    const char* in = static_cast<const char*>(buffer);
    const std::size_t room = Available();
    if (count <= room) {
        std::memcpy(m_cursor, in, count);
        m_cursor += count;
        return;
    }
    std::memcpy(m_cursor, in, room);
    m_cursor += room;
    in += room;
    count -= room;
    Flush();
    const std::size_t direct = count - count % static_cast<std::size_t>(m_size);
    if (direct) {
        m_file->Write(in, direct);
        in += direct;
        count -= direct;
    }
    std::memcpy(m_cursor, in, count);
    m_cursor += count;
}

void ArchiveBuffer::Flush() {
    if (!m_file) return;
    if (m_loading) {
        const std::int64_t unread = m_end - m_cursor;
        if (unread) m_file->Seek(-unread, File::SeekFrom::Current);
        m_cursor = m_end = m_start;
    } else {
        if (m_cursor != m_start) m_file->Write(m_start, static_cast<std::size_t>(m_cursor - m_start));
        m_cursor = m_start;
    }
}

void ArchiveBuffer::SeekTo(std::int64_t offset) {
    m_cursor = m_end = m_start;
    m_file->Seek(offset, File::SeekFrom::Begin);
}

bool ArchiveBuffer::ReadLine(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (m_cursor == m_end && !TryFill(1)) return any;
        any = true;
        const char* start = m_cursor;
        const char* p = static_cast<const char*>(std::memchr(start, '\n', Available()));
        if (!p) p = m_end;
        // A zero byte also ends a line.
        if (const void* nul = std::memchr(start, '\0', static_cast<std::size_t>(p - start)))
            p = static_cast<const char*>(nul);
        line.append(start, p);
        if (p != m_end) {
            m_cursor = const_cast<char*>(p) + 1;
            if (*p == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        m_cursor = m_end;
    }
}

void ArchiveBuffer::Detach(bool free) {
    m_file = nullptr;
    if (!free) return;
    m_owned.reset();
    m_start = m_cursor = m_end = nullptr;
}

// ---------------------------------------------------------------------------
// Value bytes and the rolling key

// Whole little-endian words are XORed with the key, which then moves on by the
// word as it stands in the file; the 0 to 3 bytes left over are XORed with the
// key's lowest byte, and the key stays.
void ArchiveBuffer::XorWithKey(unsigned char* bytes, std::size_t count, bool scrambling) {
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        std::uint32_t in;
        std::memcpy(&in, bytes + i, 4);
        const std::uint32_t out = in ^ m_key;
        std::memcpy(bytes + i, &out, 4);
        const std::uint32_t stored = scrambling ? out : in;
        m_key = (stored >> 1) + (m_key >> 1);
    }
    for (; i < count; ++i) bytes[i] ^= static_cast<unsigned char>(m_key & 0xFF);
}

std::size_t ArchiveBuffer::ReadBytes(void* buffer, std::size_t count, bool scrambled) {
    // Read never gives more than asked; saying so keeps the compiler from
    // assuming the key walk can leave the buffer.
    const std::size_t n = std::min(Read(buffer, count), count);
    if (scrambled) Unscramble(static_cast<unsigned char*>(buffer), n);
    return n;
}

void ArchiveBuffer::WriteBytes(const void* buffer, std::size_t count, bool scrambled) {
    if (!scrambled) {
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

void ArchiveBuffer::ReadValue(void* bytes, std::size_t count, bool scrambled) {
    // A value cut short by the end of the file is an error, not stale bytes.
    if (Available() < count) Fill(count);
    std::memcpy(bytes, m_cursor, count);
    m_cursor += count;
    if (scrambled) Unscramble(static_cast<unsigned char*>(bytes), count);
}

// ---------------------------------------------------------------------------
// Strings

void ArchiveBuffer::WriteStringLength(std::size_t length, bool scrambled) {
    if (length <= 254) {
        const auto b = static_cast<std::uint8_t>(length);
        WriteBytes(&b, 1, scrambled);
        return;
    }
    const std::uint8_t ff = 0xFF;
    WriteBytes(&ff, 1, scrambled);
    if (length <= 0xFFFD) {
        const auto w = static_cast<std::uint16_t>(length);
        WriteBytes(&w, 2, scrambled);
        return;
    }
    const std::uint16_t ffff = 0xFFFF;
    WriteBytes(&ffff, 2, scrambled);
    const auto d = static_cast<std::uint32_t>(length);
    WriteBytes(&d, 4, scrambled);
}

std::uint32_t ArchiveBuffer::ReadStringLength(bool scrambled) {
    std::uint8_t b = 0;
    if (ReadBytes(&b, 1, scrambled) != 1) ThrowError(QArchiveException::EndOfFile, "string length");
    if (b < 0xFF) return b;
    std::uint16_t w = 0;
    if (ReadBytes(&w, 2, scrambled) != 2) ThrowError(QArchiveException::EndOfFile, "string length");
    if (w < 0xFFFE) return w;
    if (w == 0xFFFE) return kWideMark;
    std::uint32_t d = 0;
    if (ReadBytes(&d, 4, scrambled) != 4) ThrowError(QArchiveException::EndOfFile, "string length");
    return d;
}

void ArchiveBuffer::WriteString(std::string_view text, bool scrambled) {
    WriteStringLength(text.size(), scrambled);
    WriteBytes(text.data(), text.size(), scrambled);
}

std::string ArchiveBuffer::ReadString(bool scrambled) {
    std::uint32_t length = ReadStringLength(scrambled);
    bool wide = false;
    if (length == kWideMark) {
        wide = true;
        length = ReadStringLength(scrambled);
        if (length == kWideMark) ThrowError(QArchiveException::BadFormat, "nested wide string mark");
    }
    const std::uint64_t bytes = static_cast<std::uint64_t>(length) * (wide ? 2 : 1);
    const std::int64_t remaining = RemainingBytes();
    // Never allocate for a length the rest of the file cannot hold.
    if (remaining >= 0 && bytes > static_cast<std::uint64_t>(remaining))
        ThrowError(QArchiveException::EndOfFile, "string of " + std::to_string(bytes) + " bytes, but only " +
                                                     std::to_string(remaining) + " bytes remain");
    std::string body(static_cast<std::size_t>(bytes), '\0');
    if (ReadBytes(body.data(), body.size(), scrambled) != body.size())
        ThrowError(QArchiveException::EndOfFile, "string body");
    if (!wide) return body;
    std::string text;
    AppendUtf8FromUtf16(text, reinterpret_cast<const unsigned char*>(body.data()), length);
    return text;
}

}  // namespace qdat
