#include <qdat/docbase/ArchiveEnvelope.h>

#include <string_view>

#include <qdat/docbase/detail/ArchiveBuffer.h>
#include <qdat/docbase/detail/TextRecords.h>
#include <qdat/host/HostFile.h>

namespace qdat {

namespace {

constexpr int kHeaderLength = 4;
constexpr int kEnvelopeBufferSize = 4096;

bool IsHeader(const char* bytes) {
    return bytes[0] == 'Q' && bytes[1] == 'B' && (bytes[2] == ' ' || bytes[2] == 'T') &&
           (bytes[3] == ' ' || bytes[3] == 'C');
}

// The signature line. Binary files have it as their first non-empty,
// non-comment line. A text file may instead begin with the signature as a
// length-prefixed string, written by the object archive in old files: a first
// line that is long enough for the length its first byte gives (or starts
// with the wide-string mark) is read again as such a string, and the content
// goes on in that same line.
std::string ReadSignature(ArchiveBuffer& in, bool textForm, ArchiveEnvelope& env) {
    std::string line;
    bool first = true;
    for (;;) {
        const std::int64_t lineStart = in.GetPosition();
        if (!in.ReadLine(line)) return {};
        ++env.signatureLines;
        if (first && textForm) {
            first = false;
            const auto* b = reinterpret_cast<const unsigned char*>(line.data());
            const bool wideMark = line.size() > 2 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0xFF;
            if (wideMark || (!line.empty() && static_cast<std::size_t>(b[0]) + 1 <= line.size())) {
                in.SeekTo(lineStart);
                env.lengthPrefixedSignature = true;
                env.signatureLines = 0;
                return in.ReadString(false);
            }
        }
        const std::string_view trimmed = TextRecords::TrimSeparators(line);
        if (TextRecords::IsCommentRecord(trimmed)) continue;
        return std::string(trimmed);
    }
}

}  // namespace

ArchiveEnvelope ReadArchiveEnvelope(File& file) {
    ArchiveBuffer in(&file, true, kEnvelopeBufferSize);
    ArchiveEnvelope env;
    env.signatureOffset = in.GetPosition();
    if (in.TryFill(kHeaderLength) && IsHeader(in.Cursor())) {
        env.hasHeader = true;
        env.tagged = in.Cursor()[2] == 'T';
        env.scrambled = in.Cursor()[3] == 'C';
        in.Skip(kHeaderLength);
        env.signatureOffset += kHeaderLength;
    }
    const std::string line = ReadSignature(in, !env.hasHeader, env);
    env.signature = NormalizeSignature(line);
    env.writtenSignature = TrimSignature(line);
    env.contentOffset = in.GetPosition();
    return env;
}

std::string TrimSignature(std::string_view signature) {
    constexpr std::string_view kTrimmed = " \t\r\n\v\f,";
    const auto first = signature.find_first_not_of(kTrimmed);
    if (first == std::string_view::npos) return {};
    const auto last = signature.find_last_not_of(kTrimmed);
    return std::string(signature.substr(first, last - first + 1));
}

std::string NormalizeSignature(std::string_view signature) {
    std::string out = TrimSignature(signature);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

}  // namespace qdat
