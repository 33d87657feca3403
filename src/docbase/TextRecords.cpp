#include <qdat/docbase/detail/TextRecords.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstring>

#include <qdat/docbase/ArchiveEnvelope.h>
#include <qdat/docbase/detail/ArchiveBuffer.h>

namespace qdat {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHigh = 0x8080808080808080ull;

std::uint64_t Load8(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// The first byte at or after p that is not a blank, looking at eight bytes at
// a time while they lie before readable. Every byte of the word is tested
// exactly: the high bit of a byte is set where it differs from ' '.
[[gnu::always_inline]] inline const char* SkipBlanks(const char* p, const char* readable) {
    constexpr std::uint64_t kLow7 = kOnes * 0x7F;
    while (readable - p >= 8) {
        const std::uint64_t x = Load8(p) ^ (kOnes * ' ');
        const std::uint64_t other = (((x & kLow7) + kLow7) | x) & kHigh;
        if (other) return p + (std::countr_zero(other) >> 3);
        p += 8;
    }
    while (p < readable && *p == ' ') ++p;
    return p;
}

// The first byte at or after p at or below ',', likewise: the lowest byte the
// test flags is exact (a borrow only reaches the bytes after it).
[[gnu::always_inline]] inline const char* SkipAboveComma(const char* p, const char* readable) {
    while (readable - p >= 8) {
        const std::uint64_t word = Load8(p);
        const std::uint64_t low = (word - kOnes * ('-')) & ~word & kHigh;
        if (low) return p + (std::countr_zero(low) >> 3);
        p += 8;
    }
    while (p < readable && !(static_cast<unsigned char>(*p) <= ',')) ++p;
    return p;
}

bool OnlySeparatorsFrom(std::string_view s, std::size_t pos) {
    for (; pos < s.size(); ++pos)
        if (!TextRecords::IsSeparator(s[pos])) return false;
    return true;
}

void UpperCase(std::string& s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
}  // namespace

// ---------------------------------------------------------------------------
// Storing

bool TextRecords::AppendToken(std::string_view text) {
    const bool first = m_record.empty();
    if (m_commentMode) {
        // Comment lines are never read back.
        if (!first) m_record += ' ';
        m_record += text;
        return true;
    }
    // One pass finds what the reader treats specially; every such byte lies
    // at or below ',', so the bytes of a number cost one comparison each.
    bool separator = false, quote = false, lineEnd = false;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) > ',') continue;
        if (IsSeparator(c))
            separator = true;
        else if (c == '"')
            quote = true;
        else if (c == '\0' || c == '\n' || c == '\r')
            lineEnd = true;
    }
    // A token with a separator inside, or a first token that would make the
    // record read as a comment line, is quoted; so is the empty token, which
    // would otherwise vanish between separators.
    const bool looksLikeComment =
        first && !text.empty() &&
        (text[0] == ';' || text[0] == '*' || text == "/" || text.substr(0, 2) == "//");
    const bool quoted = separator || looksLikeComment || text.empty();
    // The reader would end the record inside the token, take a leading quote
    // for the start of a quoted token, or end a quoted token at a quote inside.
    if (lineEnd || (quote && (quoted || text[0] == '"'))) return false;

    if (!first) m_record += ' ';
    // Right-aligned: the padding counts the text, not the quotes around it
    // (the two quotes of an empty token count, as they always have).
    const std::size_t counted = text.empty() ? 2 : text.size();
    if (static_cast<int>(counted) < m_width)
        m_record.append(static_cast<std::size_t>(m_width) - counted, ' ');
    if (quoted) {
        m_record += '"';
        m_record += text;
        m_record += '"';
    } else {
        m_record += text;
    }
    return true;
}

bool TextRecords::FlushRecord(ArchiveBuffer& out) {
    if (m_record.empty()) return false;
    out.Write(m_record.data(), m_record.size());
    m_record.clear();
    return true;
}

void TextRecords::WriteRecord(ArchiveBuffer& out) {
    FlushRecord(out);
    out.Write("\n", 1);
    if (m_commentMode) out.Write("//", 2);
}

void TextRecords::BeginComment(ArchiveBuffer& out) {
    if (FlushRecord(out)) out.Write("\n", 1);
    m_commentMode = true;
    out.Write("//", 2);
}

void TextRecords::EndComment(ArchiveBuffer& out) {
    FlushRecord(out);
    out.Write("\n", 1);
    m_commentMode = false;
}

// ---------------------------------------------------------------------------
// Loading

void TextRecords::ReadRecord(ArchiveBuffer& in) {
    ReadRecordInto(in, m_record);
    m_tokenPos = 0;
}

bool TextRecords::TakeCommentLine(ArchiveBuffer& in, std::string_view lead, std::string& text) {
    // The archive read its first record when it was made, and skipped the
    // comment lines before it; the line is looked at again in the file, and
    // reading goes on where it was.
    if (lead.size() < 2 || lead.substr(0, 2) != "//" || !in.GetFile()) return false;
    const std::int64_t position = in.GetPosition();
    in.SeekTo(0);  // a document's file holds nothing but the document
    const ArchiveEnvelope envelope = ReadArchiveEnvelope(*in.GetFile());
    in.SeekTo(envelope.contentOffset);
    std::string line;
    const bool found = in.TryFill(lead.size()) && std::string_view(in.Cursor(), lead.size()) == lead;
    if (found) {
        in.Skip(lead.size());
        in.ReadLine(line);
    }
    in.SeekTo(position);
    if (found) text = std::move(line);
    return found;
}

void TextRecords::ReadRecordInto(ArchiveBuffer& in, std::string& line) {
    for (;;) {
        // Most lines lie whole in the buffer: take the record straight from
        // there, the way ReadLine would end it (at a line feed or a zero byte,
        // a carriage return before the line feed dropped).
        const std::size_t avail = in.Available();
        const char* feed = avail ? static_cast<const char*>(std::memchr(in.Cursor(), '\n', avail)) : nullptr;
        if (feed) {
            const char* start = in.Cursor();
            const char* end = feed;
            if (const void* nul = std::memchr(start, '\0', static_cast<std::size_t>(feed - start)))
                end = static_cast<const char*>(nul);
            in.SkipTo(end + 1);
            std::string_view raw(start, static_cast<std::size_t>(end - start));
            if (end == feed && !raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
            ++m_line;
            const std::string_view record = TrimSeparators(raw);
            if (IsCommentRecord(record)) continue;
            line.clear();  // the record keeps its buffer from line to line
            line.append(record);
            return;
        }
        if (!in.ReadLine(line)) {
            line.clear();
            return;
        }
        ++m_line;
        const std::string_view record = TrimSeparators(line);
        if (IsCommentRecord(record)) continue;
        line.assign(record);  // assign handles the overlap with its own buffer
        return;
    }
}

int TextRecords::TakePlainRecord(ArchiveBuffer& in, std::string_view* tokens, int max) {
    // One pass over the line: tokens split where NextTokenView splits them,
    // up to its line feed. Runs of blanks and of bytes above ',' (all of a
    // number's) are passed over eight at a time; a line that does not end
    // within the buffer, and one with a zero byte or a quote, are left to the
    // usual reading.
    const char* const line = in.Cursor();
    const char* const readable = line + in.Available();
    const auto lineEnd = [readable](const char* at) {
        return *at == '\n' || (*at == '\r' && readable - at > 1 && at[1] == '\n');
    };
    const char* p = line;
    int found = 0;  // tokens of the line, the first max of them kept
    const char* feed = nullptr;
    while (max > 0) {
        p = SkipBlanks(p, readable);
        if (p == readable) break;
        const char* from = p;
        p = SkipAboveComma(p, readable);
        if (p == readable) break;
        // Mostly a number ended by a blank or the line feed.
        if (p == from || (*p != ' ' && *p != '\n')) {
            // Otherwise byte by byte: separators, the line's end, a zero
            // byte or a quote, and bytes below ',' inside a token.
            if (p == from) {
                if (lineEnd(p)) {
                    feed = *p == '\n' ? p : p + 1;
                    break;
                }
                if (*p == '\0' || *p == '"') break;
                if (IsSeparator(*p)) {
                    ++p;
                    continue;
                }
            }
            while (p < readable && !IsSeparator(*p) && !lineEnd(p) && *p != '\0' && *p != '"')
                p = SkipAboveComma(p + 1, readable);
            if (p == readable || *p == '\0' || *p == '"') break;
        }
        if (found < max) tokens[found] = std::string_view(from, static_cast<std::size_t>(p - from));
        ++found;
        if (*p == '\n') {
            feed = p;
            break;
        }
    }
    // Blank and comment lines go the usual way too.
    if (feed && found > 0) {
        const std::string_view first = tokens[0];
        if (first[0] != ';' && first[0] != '*' && first.substr(0, 2) != "//" &&
            !(found == 1 && first == "/")) {
            in.SkipTo(feed + 1);
            ++m_line;
            m_record.clear();
            m_tokenPos = 0;
            return std::min(found, max);
        }
    }
    ReadRecord(in);
    return 0;
}

std::string_view TextRecords::QuotedTokenView(std::size_t quote) {
    // A quoted token runs to the next quote, or to the end of the record.
    const std::size_t n = m_record.size();
    const std::size_t start = quote + 1;
    std::size_t end = m_record.find('"', start);
    if (end == std::string::npos) {
        end = n;
        m_tokenPos = n;
    } else {
        m_tokenPos = end + 1;
    }
    return std::string_view(m_record).substr(start, end - start);
}

bool TextRecords::HasToken() const {
    return !OnlySeparatorsFrom(m_record, m_tokenPos);
}

int TextRecords::CountTokens() {
    const std::size_t saved = m_tokenPos;
    int count = 0;
    while (HasToken()) {
        NextTokenView();
        ++count;
    }
    m_tokenPos = saved;
    return count;
}

bool TextRecords::NextTokenContains(std::string_view text) {
    const std::size_t saved = m_tokenPos;
    std::string token(NextTokenView());
    m_tokenPos = saved;
    std::string needle(text);
    UpperCase(token);
    UpperCase(needle);
    return token.find(needle) != std::string::npos;
}

bool TextRecords::AtEnd(ArchiveBuffer& in) {
    if (HasToken()) return false;
    // Skip blank input and every line the record reader would skip as a
    // comment; only a real record left means "not at end".
    for (;;) {
        const int c = in.Peek();
        if (c < 0) return true;
        if (c == '\n') {
            ++m_line;
            in.Skip(1);
        } else if (c == '\r' || c == ' ' || c == ',' || c == '\t') {
            in.Skip(1);
        } else if (c == ';' || c == '*' || c == '/') {
            if (c == '/') {
                if (!in.TryFill(2)) {
                    in.Skip(1);  // a lone "/" at the very end is a comment
                    continue;
                }
                const char next = in.Cursor()[1];
                if (next != '/' && next != '\n' && next != '\r') return false;
            }
            while (in.Peek() >= 0 && *in.Cursor() != '\n') in.Skip(1);
        } else {
            return false;
        }
    }
}

}  // namespace qdat
