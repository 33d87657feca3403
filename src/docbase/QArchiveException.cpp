#include <qdat/docbase/QArchiveException.h>

#include <qdat/docbase/DataArchive.h>
#include <qdat/host/Resources.h>

namespace qdat {

namespace {
const char* CauseName(QArchiveException::Cause cause) {
    switch (cause) {
        case QArchiveException::BadFormat:
            return "bad format";
        case QArchiveException::EndOfFile:
            return "unexpected end of file";
        default:
            return "archive error";
    }
}

QArchiveException::Place PlaceOf(const DataArchive& archive) {
    return {archive.GetFileName(), archive.GetPosition(), archive.IsTextForm()};
}
}  // namespace

QArchiveException::QArchiveException(Cause cause, const DataArchive* archive, std::string_view detail)
    : QArchiveException(cause, archive ? std::optional<Place>(PlaceOf(*archive)) : std::nullopt, detail) {}

QArchiveException::QArchiveException(Cause cause, const Place& place, std::string_view detail)
    : QArchiveException(cause, std::optional<Place>(place), detail) {}

QArchiveException::QArchiveException(Cause cause, std::string_view detail)
    : QArchiveException(cause, std::nullopt, detail) {}

QArchiveException::QArchiveException(Cause cause, const std::optional<Place>& place, std::string_view detail)
    : HostException(BuildMessage(cause, place, detail)), m_cause(cause) {
    if (place) {
        m_fileName = place->fileName;
        m_position = place->position;
    }
}

std::string QArchiveException::BuildMessage(Cause cause, const std::optional<Place>& place,
                                            std::string_view detail) {
    if (!place) return std::string(detail);
    const long long pos = place->position;
    const std::string where = place->isLine ? FormatResource(2010, pos) : FormatResource(2011, pos);
    const char* file = place->fileName.c_str();
    std::string message;
    switch (cause) {
        case BadFormat:
            message = FormatResource(249, file, where.c_str());
            break;
        case ReadFailed:
            message = FormatResource(2000, file);
            break;
        case WriteFailed:
            message = FormatResource(2001, file);
            break;
        default:
            message = FormatResource(2002, file, where.c_str());
            break;
    }
    message += std::string(" (") + CauseName(cause);
    if (!detail.empty()) message += std::string(": ") + std::string(detail);
    message += ")";
    return message;
}

QDLException::QDLException(int messageId, std::string_view insert1, std::string_view insert2)
    : HostException(BuildMessage(messageId, insert1, insert2)),
      m_nMessageId(messageId),
      m_strMessage(what()) {}

std::string QDLException::BuildMessage(int messageId, std::string_view insert1, std::string_view insert2) {
    if (insert1.empty()) return LoadResourceString(13);
    return FormatResourceMessage(messageId, insert1, insert2);
}

void ThrowDLException(int messageId, std::string_view insert1, std::string_view insert2) {
    throw QDLException(messageId, insert1, insert2);
}

}  // namespace qdat
