#include <qdat/host/HostFile.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string_view>

#include <qdat/host/HostException.h>
#include <qdat/host/HostPaths.h>

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
    if (flags & ModeReadWrite)
        oflags |= O_RDWR;
    else if (flags & ModeWrite)
        oflags |= O_WRONLY;
    else
        oflags |= O_RDONLY;
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

std::string File::GetFileName() const {
    return FileTitleOf(m_path);
}

MirrorFile::~MirrorFile() {
    if (!m_tempPath.empty()) Abort();
}

namespace {

// The file a path finally names: symbolic links followed, also when the last
// one points to a file that does not exist yet. A loop of links is an error.
std::string ResolveLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::error_code ec;
        const std::filesystem::path target = std::filesystem::read_symlink(current, ec);
        if (ec) return current;
        current = target.is_absolute() ? target.string()
                                       : (std::filesystem::path(current).parent_path() / target).string();
    }
    errno = ELOOP;
    ThrowErrno(path, "cannot create");
}

// Carries the old file's owner, group, permission bits and extended
// attributes (access lists among them) over to the new one, as far as the
// process may: a save by another user still succeeds, as a copy would.
void CopyFileAttributes(const std::string& from, int to, const struct stat& st) {
    if (::fchown(to, st.st_uid, st.st_gid) != 0) {
        // Not permitted: keep the group at least when we may.
        [[maybe_unused]] const int ignored = ::fchown(to, static_cast<uid_t>(-1), st.st_gid);
    }
    ::fchmod(to, st.st_mode & 07777);
    const ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
    if (size <= 0) return;
    std::string names(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ::listxattr(from.c_str(), names.data(), names.size());
    if (got <= 0) return;
    names.resize(static_cast<std::size_t>(got));
    for (std::size_t pos = 0; pos < names.size();) {
        const char* name = names.c_str() + pos;
        pos += std::strlen(name) + 1;
        const ssize_t length = ::getxattr(from.c_str(), name, nullptr, 0);
        if (length < 0) continue;
        std::string value(static_cast<std::size_t>(length), '\0');
        const ssize_t read = ::getxattr(from.c_str(), name, value.data(), value.size());
        if (read >= 0) ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(read), 0);
    }
}

// The file a save writes before it replaces its target is named
// ".<target name>.qdat-part-<process id>", with "-<n>" after the process id
// when that process writes the same target twice at once. The target's name
// is cut short where the whole would not fit in a file name.
constexpr std::string_view kPartTag = ".qdat-part-";
constexpr int kMaxPartSequence = 999;
constexpr std::size_t kMaxFileName = 255;
constexpr std::size_t kPartNameRoom = 1 + kPartTag.size() + 10 + 1 + 3;

std::string PartFilePrefix(const std::string& targetName) {
    std::size_t keep = std::min(targetName.size(), kMaxFileName - kPartNameRoom);
    // Cut between characters, not inside a UTF-8 sequence.
    while (keep > 0 && keep < targetName.size() &&
           (static_cast<unsigned char>(targetName[keep]) & 0xC0) == 0x80)
        --keep;
    return "." + targetName.substr(0, keep) + std::string(kPartTag);
}

// The process that wrote a part file whose name ends in `rest` (after the
// prefix): "<pid>" or "<pid>-<n>"; 0 for any other name.
pid_t PartFileWriter(std::string_view rest) {
    const auto digits = [](std::string_view text) {
        return !text.empty() && text.size() <= 10 &&
               std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::size_t dash = rest.find('-');
    const std::string_view pidText = rest.substr(0, dash);
    if (!digits(pidText) || (dash != std::string_view::npos && !digits(rest.substr(dash + 1)))) return 0;
    const long long pid = std::stoll(std::string(pidText));
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

// Removes the part files of a target that a save cut short (a killed process,
// a file-size limit) left behind: those whose process is gone and that no
// process holds locked. A save still running, here or on another machine
// sharing the folder, holds its lock and keeps its file.
void RemoveStalePartFiles(const std::filesystem::path& folder, const std::string& prefix) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const int dirFd = ::dirfd(dir);
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
        const pid_t writer = PartFileWriter(name.substr(prefix.size()));
        if (writer == 0) continue;
        // Another process of this process's id died long ago; this one's own
        // files in use are locked.
        if (writer != self && !(::kill(writer, 0) != 0 && errno == ESRCH)) continue;
        const int fd =
            ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        bool stale = false;
        struct stat opened;
        if (fd < 0) {
            // Unreadable (the target's mode allows no reading): its process tells.
            stale = writer != self && errno == EACCES &&
                    ::fstatat(dirFd, entry->d_name, &opened, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISREG(opened.st_mode);
        } else if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode)) {
            // Where the file system keeps no locks, the process alone tells.
            stale = ::flock(fd, LOCK_EX | LOCK_NB) == 0 || (errno != EWOULDBLOCK && writer != self);
        }
        struct stat named;
        if (stale && ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            ::unlinkat(dirFd, entry->d_name, 0);
        if (fd >= 0) ::close(fd);
    }
    ::closedir(dir);
}

}  // namespace

void MirrorFile::Open(const std::string& path, unsigned flags) {
    if (!(flags & ModeCreate)) {
        File::Open(path, flags);
        return;
    }
    // Saving writes the file a link names, so that the link stays a link.
    const std::string target = ResolveLinks(path);
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        // Replacing the file by a new one would get round its protection:
        // refuse a file the user may not write, as opening it for writing
        // would, and one with other names, which would keep the old bytes.
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            ThrowErrno(path, "cannot replace");
        }
        if (!S_ISREG(st.st_mode))
            throw FileException(FileException::AccessDenied, EINVAL, path, "cannot replace",
                                "it is not a regular file (a device, a pipe or a socket)");
        if (::access(target.c_str(), W_OK) != 0) ThrowErrno(path, "cannot write");
        if (st.st_nlink > 1) {
            throw FileException(FileException::AccessDenied, EMLINK, path, "cannot replace",
                                "it has " + std::to_string(st.st_nlink) +
                                    " hard links, which saving would separate; save it under another name");
        }
    }
    // The new file is written beside the target, so that the final rename
    // stays on one file system, under a name that says whose it is.
    std::filesystem::path folder = std::filesystem::path(target).parent_path();
    if (folder.empty()) folder = ".";
    const std::string prefix = PartFilePrefix(std::filesystem::path(target).filename().string());
    RemoveStalePartFiles(folder, prefix);
    const std::string own = prefix + std::to_string(::getpid());
    for (int attempt = 0;; ++attempt) {
        const std::string temp =
            (folder / (attempt == 0 ? own : own + "-" + std::to_string(attempt))).string();
        m_fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            // The lock tells a later save that this file is still being written.
            ::flock(m_fd, LOCK_EX | LOCK_NB);
            m_tempPath = temp;
            break;
        }
        if (errno != EEXIST || attempt >= kMaxPartSequence) ThrowErrno(path, "cannot create");
    }
    if (exists) CopyFileAttributes(target, m_fd, st);
    m_path = path;
    m_targetPath = target;
}

void MirrorFile::Close() {
    if (m_tempPath.empty()) {
        File::Close();
        return;
    }
    const std::string temp = m_tempPath;
    try {
        if (::fsync(m_fd) != 0) ThrowErrno(m_path, "cannot write");
        File::Close();
        if (::rename(temp.c_str(), m_targetPath.c_str()) != 0) ThrowErrno(m_path, "cannot replace");
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

MemoryFile::MemoryFile(std::string bytes, std::string path) : m_bytes(std::move(bytes)) {
    m_path = std::move(path);
}

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

PathKind KindOfPath(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return PathKind::Missing;
    return S_ISREG(st.st_mode) ? PathKind::RegularFile : PathKind::Other;
}

bool MayWriteFile(const std::string& path) {
    struct stat st;
    return ::access(path.c_str(), W_OK) == 0 && ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) != 0;
}

bool CanonicalPath(const std::string& path, std::string& canonical) {
    std::error_code ec;
    const std::filesystem::path found = std::filesystem::weakly_canonical(path, ec);
    if (ec) return false;
    canonical = found.string();
    return true;
}

bool RemovePath(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

RegularFileReader::~RegularFileReader() {
    if (m_fd >= 0) ::close(m_fd);
}

RegularFileReader::Opened RegularFileReader::Open(const std::string& path) {
    if (m_fd >= 0) ::close(m_fd);
    m_error = 0;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) {
        m_error = errno;
        return Opened::CannotOpen;
    }
    struct stat st;
    if (::fstat(m_fd, &st) != 0) {
        m_error = errno;
        return Opened::CannotStat;
    }
    if (!S_ISREG(st.st_mode)) return Opened::NotRegular;
    m_size = static_cast<std::uint64_t>(st.st_size);
    m_modified = st.st_mtime;
    m_ownerMayWrite = (st.st_mode & S_IWUSR) != 0;
    return Opened::Yes;
}

long long RegularFileReader::Read(void* buffer, std::size_t count) {
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, count);
        if (n >= 0) return n;
        if (errno != EINTR) {
            m_error = errno;
            return -1;
        }
    }
}

ScratchFile::~ScratchFile() {
    if (m_fd >= 0) ::close(m_fd);
}

bool ScratchFile::Create() {
    const char* tmp = std::getenv("TMPDIR");
    m_folder = tmp && *tmp ? tmp : "/tmp";
    std::string pattern = m_folder + "/xxXXXXXX";
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0) {
        m_error = errno;
        return false;
    }
    ::unlink(pattern.c_str());
    return true;
}

bool ScratchFile::WriteAll(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            m_error = errno;
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ScratchFile::Clear() {
    if (::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) {
        m_error = errno;
        return false;
    }
    return true;
}

long long ScratchFile::ReadAt(void* buffer, std::size_t count, std::uint64_t offset) {
    for (;;) {
        const ssize_t n = ::pread(m_fd, buffer, count, static_cast<off_t>(offset));
        if (n >= 0) return n;
        if (errno != EINTR) {
            m_error = errno;
            return -1;
        }
    }
}

bool WriteToStandardOutput(std::string_view text) {
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
    std::cout.flush();
    return static_cast<bool>(std::cout);
}

bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(b, ec) && fs::equivalent(a, b, ec)) return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

}  // namespace qdat
