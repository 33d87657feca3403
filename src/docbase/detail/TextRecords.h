// TextRecords: the records of the archive's text form. A file is a sequence of
// lines; a record is a line that is neither empty nor a comment, its tokens
// separated by blanks, commas or tabs, a token with a separator inside quoted.
// Written tokens are right-aligned in columns of a minimum width.
//
// Tokens are read in place, as views into the current record, and records are
// taken straight from the archive's buffer when they lie whole in it: a ground
// line of a million points is read without a copy per token.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace qdat {

class ArchiveBuffer;

class TextRecords {
public:
    static bool IsSeparator(char c) {
        // Every byte above ',' (digits, the point, the minus, letters) is no
        // separator: one comparison settles most bytes of a record.
        return static_cast<unsigned char>(c) <= ',' && (c == ' ' || c == ',' || c == '\t');
    }
    // s without separators at either end.
    static std::string_view TrimSeparators(std::string_view s) {
        // Byte by byte: records are short, and a search for any of a set of
        // characters costs a library call per character.
        std::size_t first = 0;
        std::size_t last = s.size();
        while (first < last && IsSeparator(s[first])) ++first;
        while (last > first && IsSeparator(s[last - 1])) --last;
        return s.substr(first, last - first);
    }
    // Whether a line, trimmed of separators, is skipped: empty, or starting
    // with "//", ";" or "*", or a lone "/".
    static bool IsCommentRecord(std::string_view trimmed) {
        if (trimmed.empty()) return true;
        if (trimmed[0] == ';' || trimmed[0] == '*') return true;
        if (trimmed.size() >= 2 && trimmed[0] == '/' && trimmed[1] == '/') return true;
        return trimmed == "/";
    }

    // Storing: adds one token to the record being built. False, with nothing
    // added, for a token the reader would not give back as it is: one with a
    // zero byte or a line break, one starting with a quote, or one that needs
    // quotes and holds a quote. In comment mode every text is taken as it is.
    bool AppendToken(std::string_view text);
    // Storing: writes the record (if any) and ends the line; inside a comment
    // the next line continues it.
    void WriteRecord(ArchiveBuffer& out);
    void BeginComment(ArchiveBuffer& out);
    void EndComment(ArchiveBuffer& out);

    // Loading: the next record becomes the current one (empty at the end).
    void ReadRecord(ArchiveBuffer& in);
    // Loading: when the first line after the signature is a comment line
    // that starts with lead, gives the rest of it in text (reading goes on
    // where it was); otherwise returns false.
    bool TakeCommentLine(ArchiveBuffer& in, std::string_view lead, std::string& text);
    // Loading: the next record into line, trimmed of separators; empty at the end.
    void ReadRecordInto(ArchiveBuffer& in, std::string& line);
    // Loading, for readers of many short records: ends the current record
    // and, when the next line lies whole in the buffer and is a plain record
    // (no quote, no zero byte, neither blank nor a comment), takes up to max
    // of its tokens as views into the buffer, valid until the next read, and
    // returns how many it took (the others are passed over, as the end of a
    // record passes them over). Otherwise returns 0 and reads the next record
    // the usual way. The tokens are those NextTokenView would give.
    int TakePlainRecord(ArchiveBuffer& in, std::string_view* tokens, int max);
    // The next token of the current record as a view into it (valid until the
    // record changes); empty when the record is exhausted.
    std::string_view NextTokenView() {
        const std::size_t n = m_record.size();
        std::size_t i = m_tokenPos;
        if (i >= n) return {};
        const char* const s = m_record.data();
        while (i < n && IsSeparator(s[i])) ++i;
        if (i >= n) {
            m_tokenPos = i;
            return {};
        }
        if (s[i] == '"') return QuotedTokenView(i);
        const std::size_t end = TokenEnd(s, i, n);
        m_tokenPos = end < n ? end + 1 : n;
        return std::string_view(s + i, end - i);
    }
    // Whether the current record still holds a token.
    bool HasToken() const;
    // Tokens left in the current record; the read position stays.
    int CountTokens();
    // Whether the next token, upper-cased, contains text upper-cased; the read
    // position stays.
    bool NextTokenContains(std::string_view text);
    // Loading: no record left in the input. Blank lines and comment lines are
    // passed over in the buffer (and counted), a real record is left in place.
    bool AtEnd(ArchiveBuffer& in);

    const std::string& GetRecord() const { return m_record; }
    void SetRecord(std::string record) {
        m_record = std::move(record);
        m_tokenPos = 0;
    }

    int SetWidth(int width) {
        const int previous = m_width;
        m_width = width;
        return previous;
    }
    int GetWidth() const { return m_width; }
    bool IsCommentMode() const { return m_commentMode; }
    void SetCommentMode(bool on) { m_commentMode = on; }

    // Records read so far, comment lines included.
    int GetLine() const { return m_line; }
    // The line of the file the current record is on: the lines before the
    // content (the signature's) count too.
    int GetFileLine() const { return m_line + m_lineBase; }
    void SetLineBase(int lines) { m_lineBase = lines; }
    void ResetLine() { m_line = 0; }

private:
    // The end of the unquoted token at pos: the next separator, or n. Tokens
    // are mostly numbers, whose bytes all lie above ','; eight bytes with none
    // below '-' hold no separator and are passed over at once.
    static std::size_t TokenEnd(const char* s, std::size_t pos, std::size_t n) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ull;
        constexpr std::uint64_t kHigh = 0x8080808080808080ull;
        while (pos + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, s + pos, 8);
            // Non-zero when some byte of the word is below '-' (0x2D).
            if ((word - kOnes * 0x2D) & ~word & kHigh) break;
            pos += 8;
        }
        while (pos < n && !IsSeparator(s[pos])) ++pos;
        return pos;
    }
    std::string_view QuotedTokenView(std::size_t quote);
    // Writes the record being built, if any, without ending the line.
    bool FlushRecord(ArchiveBuffer& out);

    std::string m_record;        // storing: the tokens of the line being built; loading: the line being read
    std::size_t m_tokenPos = 0;  // loading: the next unread character of m_record
    int m_width = 10;
    bool m_commentMode = false;
    int m_line = 0;
    int m_lineBase = 0;  // lines taken by the signature, so messages name real file lines
};

}  // namespace qdat
