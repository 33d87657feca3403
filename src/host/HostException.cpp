#include <qdat/host/HostException.h>

#include <cerrno>
#include <cstring>

#include <qdat/host/HostUi.h>

namespace qdat {

void HostException::ReportError() const {
    CurrentUi().ShowMessage(GetErrorMessage(), MessageKind::Error, MessageButtons::Ok);
}

FileException::FileException(Cause cause, int osError, std::string path, const std::string& action)
    : HostException(action + " " + path + ": " +
                    (osError ? std::strerror(osError) : "unexpected end of file")),
      m_cause(cause),
      m_osError(osError),
      m_path(std::move(path)) {}

FileException::FileException(Cause cause, int osError, std::string path, const std::string& action,
                             const std::string& reason)
    : HostException(action + " " + path + ": " + reason),
      m_cause(cause),
      m_osError(osError),
      m_path(std::move(path)) {}

FileException::Cause FileException::CauseFromErrno(int err) {
    switch (err) {
        case ENOENT:
            return FileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case EISDIR:
            return BadPath;
        case EACCES:
        case EPERM:
        case EROFS:
            return AccessDenied;
        case ENOSPC:
        case EDQUOT:
            return DiskFull;
        default:
            return Generic;
    }
}

}  // namespace qdat
