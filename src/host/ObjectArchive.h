// The framework's object archive: a plain little-endian stream of fixed-width
// values, used only for the whole-object forms of stations and chain tables.
#pragma once

#include <cstdint>
#include <string>

#include <qdat/host/Export.h>
#include <qdat/host/HostException.h>

namespace qdat {

class File;

// Thrown when an object archive is short or holds an object of the wrong class.
class QDAT_API ObjectArchiveException : public HostException {
public:
    enum Cause { EndOfFile = 1, BadClass = 2 };
    ObjectArchiveException(Cause cause, const std::string& message)
        : HostException(message), m_cause(cause) {}
    Cause m_cause;
};

class QDAT_API ObjectArchive {
public:
    enum Mode { Store, Load };
    ObjectArchive(File& file, Mode mode) : m_file(file), m_mode(mode) {}

    bool IsLoading() const { return m_mode == Load; }
    bool IsStoring() const { return m_mode == Store; }

    ObjectArchive& operator<<(std::int32_t v);
    ObjectArchive& operator<<(double v);
    ObjectArchive& operator>>(std::int32_t& v);
    ObjectArchive& operator>>(double& v);

    // Throws BadClass: a schema or class that this code does not read.
    [[noreturn]] void ThrowBadClass(const std::string& what) const;

private:
    void ReadExact(void* buffer, std::size_t count);
    File& m_file;
    Mode m_mode;
};

}  // namespace qdat
