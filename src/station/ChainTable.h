// ChainBreak and ChainTable: the station equations of one alignment, and the
// conversions between continuous stations (metres along the centre line) and
// the stake stations and station texts that users see.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <qdat/docbase/GrowArray.h>
#include <qdat/docbase/QArchiveException.h>
#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>

namespace qdat {

class DataArchive;
class ObjectArchive;

// One station equation: the stake station Before, on the chain behind the
// break, continues as the stake station After.
class QDAT_API ChainBreak {
public:
    static constexpr std::int32_t kSchema = 3;

    ChainBreak() = default;
    ChainBreak(double before, double after) : Before(before), After(after) {}

    // After - Before: positive where the stake stations jump forward (a
    // range of stations is skipped), negative where they run back and overlap.
    double Length() const { return After - Before; }

    // Reads Before and After from break text (the resource break format).
    // False, with the break unchanged, when the text does not hold two finite
    // numbers. On success the text is kept as the break's scratch text.
    bool ParseText(const std::string& breakText);
    // The break written with the resource break format.
    std::string GetText() const;

    bool operator==(const ChainBreak& other) const { return Before == other.Before && After == other.After; }

    std::string text;  // scratch text, filled by the text operations
    double Before = 0.0;
    double After = 0.0;
};

class QDAT_API ChainTable {
public:
    static constexpr std::int32_t kSchema = 4;
    static constexpr int kMaxBreaks = 25;

    ChainTable() = default;
    ChainTable(const ChainTable&) = default;
    ChainTable& operator=(const ChainTable&) = default;  // prefix and every break

    // Error codes, raised as QDLException with the code as message number.
    enum ErrorCode {
        BadStationText = 10,    // not a number after the letter / bad characters / bad index
        BadUnchainedText = 11,  // bad characters without breaks / no such chain letter
        OutsideChain = 12,      // outside the chain named, or in a skipped range
        TooManyBreaks = 13,     // a 26th break added
        AmbiguousStation = 19,  // a stake station without letter on several chains
    };

    // Breaks ------------------------------------------------------------
    // Appends a break read from break text; error 13 when the table already
    // holds 25 breaks, error 10 when the text is not a break. Returns the index.
    int AddBreak(const std::string& breakText);
    // The same for a break given by its two stake stations.
    int AddBreak(double before, double after);
    // Inserts a break read from text at index; an index at or past the end
    // grows the table with empty breaks. No count limit applies.
    void InsertBreak(int index, const std::string& breakText);
    void RemoveBreak(int index);
    void RemoveAllBreaks() { m_breaks.RemoveAll(); }
    int GetBreakCount() const { return m_breaks.GetSize(); }
    bool IsEmpty() const { return m_breaks.IsEmpty(); }
    // The break at index; error 10 when out of range.
    const ChainBreak& GetBreak(int index) const;
    void SetBreak(int index, const ChainBreak& value);
    // Orders the breaks along the alignment (stable; see the source).
    void SortBreaks();

    void SetPrefix(const std::string& prefix) { m_prefix = prefix; }
    const std::string& GetPrefix() const { return m_prefix; }

    double GetBreakLength(int index) const { return GetBreak(index).Length(); }
    // Before / After of the break in kilometre form, without chain conversion.
    std::string BreakBeforeText(int index) const;
    std::string BreakAfterText(int index) const;
    // The continuous station at which break index occurs; error 10 when the
    // index is out of range.
    QStation BreakStartStation(int index) const;

    // Continuous and stake stations -------------------------------------
    // The chain that holds a continuous station (-1 for an empty table) and
    // the stake station on it. A station within 0.00001 of a break's Before
    // stays on the chain behind the break.
    int ChainIndexOf(double station, double& stake) const;
    int ChainIndexOfStation(const QStation& station) const;
    // Stake station of a continuous station for the kilometre forms: breaks
    // are passed only by stations strictly beyond their Before. The index of
    // the first break not passed is stored in firstNotPassed when given.
    double StakeOf(double station, int* firstNotPassed = nullptr) const;
    // Continuous station of a stake station on chain index.
    double ContinuousOf(int chain, double stake) const;

    // Station text ------------------------------------------------------
    // Chain-letter form ("B1070.000"), as shown to the user.
    std::string FormatStakeLettered(double station) const;
    // The lettered text a file holds: as FormatStakeLettered, but a station
    // within the last written place of a break is put on the side of it on
    // which its text reads back as a station written the same again.
    std::string FormatStakeForFile(double station) const;
    // The same text, and the station it reads back as; false when the text
    // does not read back, or reads back as a station written otherwise
    // (next to a break off the grid of the last place, rarely).
    bool FileText(double station, std::string& text, double& readBack) const;
    // Kilometre form of the stake station with the resource kilometre format.
    std::string FormatStake(double station) const;
    // Kilometre form of the stake station with "km+".
    std::string FormatStakePlus(double station) const;
    // Kilometre form of the value itself, without chain conversion.
    std::string FormatKilometre(double value) const;

    // Parses station text. The non-throwing form keeps its error as the last
    // station-text error and leaves station unchanged.
    bool ParseStake(std::string_view text, double& station) const;
    double ParseStakeOrThrow(std::string_view text) const;
    // Whether ParseStake reads a plain number (digits, a point, a minus) as
    // std::from_chars reads it: no breaks, and the texts of the current
    // language scan numbers the built-in way. Then a text for which
    // StationTokenReader::ParsePlainStationNumber succeeds is the station
    // ParseStake gives; for readers of many stations under one table and one
    // language.
    bool ReadsPlainNumbers() const;
    // Parses with the current chain table; on failure shows the error to the
    // user through the current user interface, discards it and returns false.
    static bool ParseStakeAndReport(std::string_view text, double& station);

    // The next whole-interval stake station after a continuous station, as a
    // continuous station. When the next one would lie at or beyond the next
    // break, the break's own station is returned and interval is set to 0.
    // A non-positive or non-finite interval has no next station: the result
    // is the largest finite double.
    double NextIntervalStation(double station, int& interval) const;
    double NextIntervalStation(double station, double& interval) const;

    // Persistence ---------------------------------------------------------
    // Whole-object form: schema 4, count, then per break schema 3, After,
    // Before. The prefix is not part of it.
    void Serialize(ObjectArchive& ar);
    // Document-archive form; schema words only in the legacy layout.
    void LoadFrom(DataArchive& ar);
    void StoreTo(DataArchive& ar) const;
    // The comment line after the signature of a text file in which a
    // document whose old layouts carried a chain table states the table its
    // station text is written under: "// Chain breaks: 1040=1050 2000=1990"
    // (Before=After, in order). Readers that do not know it skip it as any
    // comment; a later read parses the stations under it, so the file reads
    // back to the same stations on its own and under any table in force.
    // Nothing is written for an empty table or outside the text form.
    void StoreAsComment(DataArchive& ar) const;
    // The table such a line states; none when the file has no such line. A
    // line that is one but does not state a table is a BadFormat error.
    static std::optional<ChainTable> LoadFromComment(DataArchive& ar);

    bool operator==(const ChainTable& other) const {
        return m_prefix == other.m_prefix && m_breaks == other.m_breaks;
    }

private:
    std::string KilometreForm(double value, bool plusFormat) const;
    [[noreturn]] void ThrowIndexError(int index) const;
    // Moves a station of `chain` (its stake station `stake`) to the chain on
    // which its text, written with p decimals, reads back within that chain.
    void SettleAtBreak(int& chain, double& stake, int p) const;
    // The lettered text of a station, settled at the breaks.
    std::string SettledText(double station) const;
    // The lettered text of a stake station on a chain (-1: no breaks).
    std::string LetteredText(int chain, double stake) const;
    bool Parse(std::string_view text, double& station, std::optional<QDLException>& error) const;

    GrowArray<ChainBreak> m_breaks;
    std::string m_prefix;
};

// A document whose old layouts carry a chain table of their own, kept with
// the document when such a file is read.
class QDAT_API ChainTableCarrier {
public:
    virtual ~ChainTableCarrier() = default;
    // The table the file read last carried; none for a file without one.
    virtual const std::optional<ChainTable>& GetFileChainTable() const = 0;
};

// While it lives, the current chain table is the one the document's file
// carries, unless the current table has breaks of its own (a project's, or
// one the host set). A document read from an old layout is then written with
// station text that reads back to the same stations under its own table.
class QDAT_API FileChainTableScope {
public:
    explicit FileChainTableScope(const ChainTableCarrier& document);
    ~FileChainTableScope();
    FileChainTableScope(const FileChainTableScope&) = delete;
    FileChainTableScope& operator=(const FileChainTableScope&) = delete;

private:
    std::optional<ChainTable> m_saved;
};

// While it lives, the current chain table is the one given: the station text
// of a file that states its table is read under that table, whatever table
// is in force around the read.
class QDAT_API StatedChainTableScope {
public:
    explicit StatedChainTableScope(const ChainTable& stated);
    ~StatedChainTableScope();
    StatedChainTableScope(const StatedChainTableScope&) = delete;
    StatedChainTableScope& operator=(const StatedChainTableScope&) = delete;

private:
    ChainTable m_saved;
};

// The reason a station-text error gives for lettered text read while no
// chain breaks are known: the file needs the table it was written with.
QDAT_API std::string ChainTableNeededReason();

// The last station-text error of a non-throwing parse: null when none.
QDAT_API const QDLException* GetLastStationTextError();
QDAT_API void ClearLastStationTextError();

}  // namespace qdat
