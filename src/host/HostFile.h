// Files of the platform layer: a file over a POSIX descriptor, the mirror file
// that makes saving atomic, and an in-memory file for tests and fuzzing.
#pragma once

#include <qdat/host/Export.h>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qdat {

class QDAT_API File {
public:
    enum OpenFlags : unsigned {
        ModeRead = 0x0000,
        ModeWrite = 0x0001,
        ModeReadWrite = 0x0002,
        ShareExclusive = 0x0010,
        ShareDenyWrite = 0x0020,
        ModeCreate = 0x1000,
    };
    enum class SeekFrom { Begin, Current, End };

    File() = default;
    virtual ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens path; throws FileException on failure.
    virtual void Open(const std::string& path, unsigned flags);
    // Reads up to count bytes; fewer only at the end of the file.
    virtual std::size_t Read(void* buffer, std::size_t count);
    // Writes all count bytes or throws.
    virtual void Write(const void* buffer, std::size_t count);
    virtual std::int64_t Seek(std::int64_t offset, SeekFrom from);
    virtual std::int64_t GetPosition() const;
    virtual std::int64_t GetLength() const;
    virtual void Flush();
    // Closes the file; errors throw.
    virtual void Close();
    // Closes the file ignoring every error.
    virtual void Abort();
    virtual bool IsOpen() const { return m_fd >= 0; }

    const std::string& GetFilePath() const { return m_path; }
    // The last path component, e.g. "road.dmx".
    std::string GetFileName() const;

protected:
    int m_fd = -1;
    std::string m_path;
};

// A file opened with ModeCreate writes to a temporary file beside the target;
// Close flushes it to disk and renames it over the target, Abort deletes it. A
// failed save therefore leaves the old file exactly as it was. The new file
// takes the old one's owner and group (where permitted), permission bits and
// extended attributes; a symbolic link is followed, so the file it names is
// replaced and the link stays. Opening refuses, as opening the old file for
// writing would, a target the user may not write, and a target with other hard
// links (replacing it would leave them the old bytes).
//
// The temporary file is ".<target name>.qdat-part-<process id>"; a save cut
// short by a killed process leaves it behind, and the next save of the same
// target removes it once that process is gone.
class QDAT_API MirrorFile : public File {
public:
    ~MirrorFile() override;
    void Open(const std::string& path, unsigned flags) override;
    void Close() override;
    void Abort() override;

private:
    std::string m_tempPath;
    std::string m_targetPath;  // the file the path names, links followed
};

// A file held in memory. Reading works on the given bytes; writing appends or
// overwrites at the position.
class QDAT_API MemoryFile : public File {
public:
    MemoryFile() = default;
    explicit MemoryFile(std::string bytes, std::string path = "memory");
    void Open(const std::string& path, unsigned flags) override;
    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekFrom from) override;
    std::int64_t GetPosition() const override { return m_pos; }
    std::int64_t GetLength() const override { return static_cast<std::int64_t>(m_bytes.size()); }
    void Flush() override {}
    void Close() override { m_open = false; }
    void Abort() override { m_open = false; }
    bool IsOpen() const override { return m_open; }

    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    std::int64_t m_pos = 0;
    bool m_open = true;
};

// Path helpers used by the document pipeline.
QDAT_API std::string MakeAbsolutePath(const std::string& path);
QDAT_API std::string FileTitleOf(const std::string& path);  // last component
QDAT_API bool FileExists(const std::string& path);

}  // namespace qdat
