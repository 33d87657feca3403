#include "docbase/QArchiveException.h"

#include "docbase/DataArchive.h"
#include "host/Resources.h"

namespace qdat {

namespace {
const char* CauseName(QArchiveException::Cause cause) {
    switch (cause) {
        case QArchiveException::BadFormat: return "bad format";
        case QArchiveException::EndOfFile: return "unexpected end of file";
        default: return "archive error";
    }
}
}  // namespace

QArchiveException::QArchiveException(Cause cause, const DataArchive* archive, std::string_view detail)
    : HostException(BuildMessage(cause, archive, detail)), m_cause(cause) {
    if (archive) {
        m_fileName = archive->GetFileName();
        m_position = archive->GetPosition();
    }
}

QArchiveException::QArchiveException(Cause cause, std::string_view detail)
    : QArchiveException(cause, nullptr, detail) {}

std::string QArchiveException::BuildMessage(Cause cause, const DataArchive* archive, std::string_view detail) {
    std::string message;
    if (archive) {
        const long long pos = archive->GetPosition();
        const std::string where = archive->IsTextForm() ? FormatResource(2010, pos) : FormatResource(2011, pos);
        const char* file = archive->GetFileName().c_str();
        switch (cause) {
            case BadFormat: message = FormatResource(249, file, where.c_str()); break;
            case Cause3: message = FormatResource(2000, file); break;
            case Cause4: message = FormatResource(2001, file); break;
            default: message = FormatResource(2002, file, where.c_str()); break;
        }
        message += std::string(" (") + CauseName(cause);
        if (!detail.empty()) message += std::string(": ") + std::string(detail);
        message += ")";
    } else {
        message = std::string(detail);
    }
    return message;
}

QDLException::QDLException(int messageId, std::string_view insert1, std::string_view insert2)
    : HostException(BuildMessage(messageId, insert1, insert2)), m_nMessageId(messageId), m_strMessage(what()) {}

std::string QDLException::BuildMessage(int messageId, std::string_view insert1, std::string_view insert2) {
    if (insert1.empty()) return LoadResourceString(13);
    return FormatResourceMessage(messageId, insert1, insert2);
}

void ThrowDLException(int messageId, std::string_view insert1, std::string_view insert2) {
    throw QDLException(messageId, insert1, insert2);
}

}  // namespace qdat
