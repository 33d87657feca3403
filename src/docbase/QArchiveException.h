// The archive's exception and the library's numbered-message exception.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <qdat/host/Export.h>
#include <qdat/host/HostException.h>

namespace qdat {

class DataArchive;

// Raised by DataArchive and by documents reading through it. The message names
// the file and the position (text line, or byte offset in binary forms).
class QDAT_API QArchiveException : public HostException {
public:
    enum Cause { GenericError = 0, BadFormat = 1, EndOfFile = 2, ReadFailed = 3, WriteFailed = 4 };

    // Where in which file the error was found: a text line or a byte offset.
    struct Place {
        std::string fileName;
        std::int64_t position = 0;
        bool isLine = false;
    };

    // Builds the message from the archive's file name and position at the time
    // of the throw; detail, when given, is appended (what was expected).
    QArchiveException(Cause cause, const DataArchive* archive, std::string_view detail = {});
    QArchiveException(Cause cause, const Place& place, std::string_view detail = {});
    // Without an archive the message is the detail alone (empty by default).
    explicit QArchiveException(Cause cause, std::string_view detail = {});

    Cause m_cause;
    std::string m_fileName;
    std::int64_t m_position = 0;

private:
    QArchiveException(Cause cause, const std::optional<Place>& place, std::string_view detail);
    static std::string BuildMessage(Cause cause, const std::optional<Place>& place, std::string_view detail);
};

// A numbered message of the resource library with up to two inserts.
class QDAT_API QDLException : public HostException {
public:
    // With an empty first insert the text is message 13; with an empty second
    // insert it is message id with the first insert; otherwise with both.
    QDLException(int messageId, std::string_view insert1 = {}, std::string_view insert2 = {});

    int m_nMessageId;
    std::string m_strMessage;

private:
    static std::string BuildMessage(int messageId, std::string_view insert1, std::string_view insert2);
};

[[noreturn]] void ThrowDLException(int messageId, std::string_view insert1 = {},
                                   std::string_view insert2 = {});

}  // namespace qdat
