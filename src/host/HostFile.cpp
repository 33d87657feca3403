#include "host/HostFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <random>

#include "host/HostException.h"

namespace qdat {

namespace {
[[noreturn]] void ThrowErrno(const std::string& path, const char* action) {
    const int err = errno;
    throw FileException(FileException::CauseFromErrno(err), err, path, action);
}
}  // namespace

File::~File() {
    if (m_fd >= 0) ::close(m_fd);
}

void File::Open(const std::string& path, unsigned flags) {
    if (m_fd >= 0) Abort();
    int oflags = O_CLOEXEC;
    if (flags & ModeReadWrite) oflags |= O_RDWR;
    else if (flags & ModeWrite) oflags |= O_WRONLY;
    else oflags |= O_RDONLY;
    if (flags & ModeCreate) oflags |= O_CREAT | O_TRUNC;
    m_path = path;
    m_fd = ::open(path.c_str(), oflags, 0666);
    if (m_fd < 0) ThrowErrno(path, "cannot open");
    struct stat st;
    if (::fstat(m_fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        errno = EISDIR;
        ThrowErrno(path, "cannot open");
    }
}

std::size_t File::Read(void* buffer, std::size_t count) {
    std::size_t done = 0;
    char* out = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(m_fd, out + done, std::min<std::size_t>(count - done, INT_MAX));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(m_path, "cannot read");
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void File::Write(const void* buffer, std::size_t count) {
    const char* in = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t n = ::write(m_fd, in, std::min<std::size_t>(count, INT_MAX));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(m_path, "cannot write");
        }
        in += n;
        count -= static_cast<std::size_t>(n);
    }
}

std::int64_t File::Seek(std::int64_t offset, SeekFrom from) {
    const int whence = from == SeekFrom::Begin ? SEEK_SET : from == SeekFrom::Current ? SEEK_CUR : SEEK_END;
    const off_t pos = ::lseek(m_fd, offset, whence);
    if (pos < 0) ThrowErrno(m_path, "cannot seek in");
    return pos;
}

std::int64_t File::GetPosition() const {
    const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    return pos < 0 ? 0 : pos;
}

std::int64_t File::GetLength() const {
    struct stat st;
    if (::fstat(m_fd, &st) != 0) return 0;
    return st.st_size;
}

void File::Flush() {}

void File::Close() {
    if (m_fd < 0) return;
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) ThrowErrno(m_path, "cannot close");
}

void File::Abort() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

std::string File::GetFileName() const { return FileTitleOf(m_path); }

MirrorFile::~MirrorFile() {
    if (!m_tempPath.empty()) Abort();
}

void MirrorFile::Open(const std::string& path, unsigned flags) {
    if (!(flags & ModeCreate)) {
        File::Open(path, flags);
        return;
    }
    // Write beside the target, so that the final rename stays on one file system.
    std::random_device rd;
    for (int attempt = 0;; ++attempt) {
        const std::string temp = path + ".~" + std::to_string(rd() % 1000000) + ".tmp";
        m_fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_tempPath = temp;
            break;
        }
        if (errno != EEXIST || attempt > 100) ThrowErrno(path, "cannot create");
    }
    m_path = path;
}

void MirrorFile::Close() {
    if (m_tempPath.empty()) {
        File::Close();
        return;
    }
    const std::string temp = m_tempPath;
    try {
        if (::fsync(m_fd) != 0) ThrowErrno(m_path, "cannot write");
        struct stat st;
        if (::stat(m_path.c_str(), &st) == 0) ::fchmod(m_fd, st.st_mode & 07777);
        File::Close();
        if (::rename(temp.c_str(), m_path.c_str()) != 0) ThrowErrno(m_path, "cannot replace");
        m_tempPath.clear();
    } catch (...) {
        Abort();
        throw;
    }
}

void MirrorFile::Abort() {
    File::Abort();
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

MemoryFile::MemoryFile(std::string bytes, std::string path) : m_bytes(std::move(bytes)) { m_path = std::move(path); }

void MemoryFile::Open(const std::string& path, unsigned flags) {
    m_path = path;
    if (flags & ModeCreate) m_bytes.clear();
    m_pos = 0;
    m_open = true;
}

std::size_t MemoryFile::Read(void* buffer, std::size_t count) {
    const std::int64_t size = GetLength();
    if (m_pos >= size) return 0;
    const std::size_t n = std::min<std::size_t>(count, static_cast<std::size_t>(size - m_pos));
    std::memcpy(buffer, m_bytes.data() + m_pos, n);
    m_pos += static_cast<std::int64_t>(n);
    return n;
}

void MemoryFile::Write(const void* buffer, std::size_t count) {
    const std::size_t pos = static_cast<std::size_t>(m_pos);
    if (pos + count > m_bytes.size()) m_bytes.resize(pos + count);
    std::memcpy(m_bytes.data() + pos, buffer, count);
    m_pos += static_cast<std::int64_t>(count);
}

std::int64_t MemoryFile::Seek(std::int64_t offset, SeekFrom from) {
    const std::int64_t base = from == SeekFrom::Begin ? 0 : from == SeekFrom::Current ? m_pos : GetLength();
    if (base + offset < 0) throw FileException(FileException::BadPath, EINVAL, m_path, "cannot seek in");
    m_pos = base + offset;
    return m_pos;
}

std::string MakeAbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    auto abs = std::filesystem::absolute(path, ec);
    if (ec) return path;
    return abs.lexically_normal().string();
}

std::string FileTitleOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace qdat
