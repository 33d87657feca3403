// ArchiveBuffer: the archive's buffered access to a File, for reading or for
// writing. All bytes of a file pass through it: files are read in buffer-sized
// chunks, and large reads and writes go past the buffer in whole multiples of
// its size. It also keeps the rolling key that scrambles the bytes of values,
// and reads and writes the length-prefixed strings of the binary forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <qdat/docbase/QArchiveException.h>

namespace qdat {

class File;

class ArchiveBuffer {
public:
    static constexpr std::uint32_t kInitialKey = 0x3C9A5E71u;
    static constexpr int kMinimumSize = 128;

    // A size below kMinimumSize is raised to it, and a caller's buffer is then
    // not used. A loading buffer starts empty, a storing one with room for
    // size bytes.
    ArchiveBuffer(File* file, bool loading, int size, char* callerBuffer = nullptr);
    ArchiveBuffer(const ArchiveBuffer&) = delete;
    ArchiveBuffer& operator=(const ArchiveBuffer&) = delete;

    File* GetFile() const { return m_file; }
    const std::string& GetFileName() const { return m_fileName; }
    bool IsLoading() const { return m_loading; }
    // The byte offset in the file of the next byte read or written.
    std::int64_t GetPosition() const;
    // Bytes of the input not yet read (file and buffer together); -1 when unknown.
    std::int64_t RemainingBytes() const;

    // The unread bytes (loading) lie between Cursor and End.
    const char* Cursor() const { return m_cursor; }
    const char* End() const { return m_end; }
    std::size_t Available() const { return static_cast<std::size_t>(m_end - m_cursor); }
    bool IsEmpty() const { return m_cursor == m_end; }
    void Skip(std::size_t count) { m_cursor += count; }
    void SkipTo(const char* at) { m_cursor = const_cast<char*>(at); }

    // Moves the unread bytes to the start and reads from the file until the
    // buffer is full, the file ends, or at least needed bytes are there; false
    // when fewer than needed bytes are then available.
    bool TryFill(std::size_t needed);
    // As TryFill; too few bytes are an EndOfFile error.
    void Fill(std::size_t needed);
    // The next byte without taking it, or -1 at the end of the input.
    int Peek() {
        if (m_cursor == m_end && !TryFill(1)) return -1;
        return static_cast<unsigned char>(*m_cursor);
    }
    // Reads up to count bytes; fewer only at the end of the file, never an error.
    std::size_t Read(void* buffer, std::size_t count);
    void Write(const void* buffer, std::size_t count);
    // Reading: the file goes back to the logical position and the buffer is
    // emptied; writing: the buffered bytes go to the file.
    void Flush();
    // Empties the buffer and puts the file at offset (reading).
    void SeekTo(std::int64_t offset);
    // Reads the bytes up to a line feed or a zero byte, which is taken too; a
    // carriage return before the line feed is dropped. False when nothing
    // could be read.
    bool ReadLine(std::string& line);
    // Lets go of the file; with free, of the buffer too.
    void Detach(bool free);

    // Value bytes: scrambled with the rolling key when scrambled is set.
    std::size_t ReadBytes(void* buffer, std::size_t count, bool scrambled);
    void WriteBytes(const void* buffer, std::size_t count, bool scrambled);
    // A value of n bytes, read whole or not at all (EndOfFile).
    void ReadValue(void* bytes, std::size_t count, bool scrambled);
    void Scramble(unsigned char* bytes, std::size_t count) { XorWithKey(bytes, count, true); }
    void Unscramble(unsigned char* bytes, std::size_t count) { XorWithKey(bytes, count, false); }

    // Strings of the binary forms: a length prefix, then the bytes. A wide
    // string (prefix 0xFF 0xFFFE) is read as UTF-16 and given back as UTF-8.
    std::string ReadString(bool scrambled);
    void WriteString(std::string_view text, bool scrambled);

    // An archive error at the current byte offset of this file.
    [[noreturn]] void ThrowError(QArchiveException::Cause cause, std::string_view detail = {}) const;

private:
    void XorWithKey(unsigned char* bytes, std::size_t count, bool scrambling);
    std::uint32_t ReadStringLength(bool scrambled);
    void WriteStringLength(std::size_t length, bool scrambled);

    File* m_file = nullptr;
    std::string m_fileName;
    bool m_loading = true;
    int m_size = 0;
    char* m_start = nullptr;
    char* m_cursor = nullptr;
    char* m_end = nullptr;
    std::unique_ptr<char[]> m_owned;
    std::int64_t m_fileLength = -1;  // loading: the file's length when the buffer was made
    std::uint32_t m_key = kInitialKey;
};

}  // namespace qdat
