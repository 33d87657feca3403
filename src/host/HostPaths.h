// What the library asks the file system about a path, besides opening it
// (host/HostFile.h): the layers above ask here rather than call the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include <qdat/host/Export.h>

namespace qdat {

// What a path names, links followed: nothing (or nothing that can be looked
// at), a regular file, or something else (a folder, a device, a pipe).
enum class PathKind { Missing, RegularFile, Other };
QDAT_API PathKind KindOfPath(const std::string& path);

// Whether the user may write the file: the system lets them, and the file is
// not marked read-only (which the system ignores for some users).
QDAT_API bool MayWriteFile(const std::string& path);

// The path made absolute with links, "." and ".." resolved as far as it
// exists, the rest taken as written; false where the system cannot tell.
QDAT_API bool CanonicalPath(const std::string& path, std::string& canonical);

// Whether two paths name one file, the second perhaps not there yet.
QDAT_API bool SameFile(const std::string& a, const std::string& b);

// Writes text to standard output whole and flushes it, for what a host or a
// tool sends there instead of to a file; false when the output does not take
// all of it (a closed pipe, a full disk).
QDAT_API bool WriteToStandardOutput(std::string_view text);

// Removes the name from its folder; false where the system refuses.
QDAT_API bool RemovePath(const std::string& path);

// A regular file read straight through as it lies, for what reads whole files
// without the archive's buffer (digests, the members of a cabinet). It is
// opened without waiting: a pipe named where a file belongs would block.
class QDAT_API RegularFileReader {
public:
    enum class Opened { Yes, CannotOpen, CannotStat, NotRegular };

    RegularFileReader() = default;
    ~RegularFileReader();
    RegularFileReader(const RegularFileReader&) = delete;
    RegularFileReader& operator=(const RegularFileReader&) = delete;

    // Whether the path could be opened, and is a regular file; on failure
    // Error() holds the system's error number (none for NotRegular).
    Opened Open(const std::string& path);
    // Up to count bytes into buffer: how many, 0 at the end, -1 on an error
    // (Error() then). An interrupted read is repeated.
    long long Read(void* buffer, std::size_t count);

    int Error() const { return m_error; }
    std::uint64_t Size() const { return m_size; }
    std::time_t ModifiedTime() const { return m_modified; }
    bool OwnerMayWrite() const { return m_ownerMayWrite; }

private:
    int m_fd = -1;
    int m_error = 0;
    std::uint64_t m_size = 0;
    std::time_t m_modified = 0;
    bool m_ownerMayWrite = false;
};

// An unnamed file in the temporary folder ($TMPDIR, else /tmp) for data that
// waits on disk: gone once closed, and with the process.
class QDAT_API ScratchFile {
public:
    ScratchFile() = default;
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // false, with Error(), where the folder takes no such file.
    bool Create();
    // The folder it was made in, or asked for.
    const std::string& Folder() const { return m_folder; }
    // Every byte at the end of what was written; false with Error().
    bool WriteAll(const void* data, std::size_t size);
    // Empties the file, the next write going to its start; false with Error().
    bool Clear();
    // Up to count bytes from offset: how many, 0 past the end, -1 on an error
    // (Error() then). An interrupted read is repeated.
    long long ReadAt(void* buffer, std::size_t count, std::uint64_t offset);

    int Error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
    std::string m_folder;
};

}  // namespace qdat
