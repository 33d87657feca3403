// Exceptions of the platform layer: the base every library error derives from,
// and the file errors raised by File and MirrorFile.
#pragma once

#include <qdat/host/Export.h>
#include <stdexcept>
#include <string>

namespace qdat {

// Base of the library's exceptions. Thrown by value and caught by reference.
// The message is complete when the exception is built, so it can be shown to the
// user long after the object that raised it is gone.
class QDAT_API HostException : public std::runtime_error {
public:
    explicit HostException(const std::string& message) : std::runtime_error(message) {}

    // The text shown to the user.
    virtual std::string GetErrorMessage() const { return what(); }

    // Shows the message in an OK box of the current user interface.
    void ReportError() const;
};

// An operating-system error on a file: open, read, write, seek, rename.
class QDAT_API FileException : public HostException {
public:
    enum Cause {
        Generic = 1,
        FileNotFound,
        BadPath,
        AccessDenied,
        DiskFull,
        EndOfFile,
    };

    FileException(Cause cause, int osError, std::string path, const std::string& action);
    // With the reason in words instead of the system's text for osError.
    FileException(Cause cause, int osError, std::string path, const std::string& action,
                  const std::string& reason);

    Cause GetCause() const { return m_cause; }
    int GetOsError() const { return m_osError; }
    const std::string& GetPath() const { return m_path; }

    // Maps an errno value to the cause reported to callers.
    static Cause CauseFromErrno(int err);

private:
    Cause m_cause;
    int m_osError;
    std::string m_path;
};

}  // namespace qdat
