// Built-in English texts of the stationing module.
#include <qdat/station/detail/StationStrings.h>

#include <qdat/host/Resources.h>

namespace qdat {

namespace {

using namespace station_strings;

// Why these formats read back what they write:
//
// - Files hold stations in the lettered form, made by kLetteredFormat
//   ("%s%.*lf": chain letter, then the stake station with exactly the station
//   precision) behind kLetteredMinus for negative stations. Parsing removes
//   the minus, takes the letter, and scans the rest with kNumberScanFormat
//   ("%lf"), whose input is limited to kChainedChars (digits and the point).
//   "%.*lf" never writes anything else for a finite value (no exponent, no
//   grouping, no sign once the minus is taken off), so the scan reads back the
//   printed number, which is the stake station rounded to the precision.
// - An empty table writes "%.*lf" of the magnitude behind the same minus, and
//   parses with kUnchainedChars (digits, point, minus), again the exact set of
//   characters the writer can produce.
// - The scan must use the whole text, so a "+" (not in either set) or a second
//   number can never be half-read: "1+200" is refused rather than read as 1.
// - kBreakFormat ("%lf = %lf") is both the printf and the scanf format of a
//   break. printf writes six decimals, which is below the station tolerance at
//   every precision up to 6; scanf lets the blanks around "=" be left out, so
//   users may type "1000=1050".
// - kKilometreFormat ("%lld+") takes the 64-bit kilometre count. The
//   kilometre forms are for showing stations; the "+" keeps them from being
//   read back as a plain number by mistake.
//
// A language file may reword any of these, but the conversions it uses must
// stay those of the built-in text (the resource loader refuses others).
const ResourceTable kStationStrings{
    {kBadStationText, "Invalid station text or chain break %1: %2."},
    {kBadUnchainedText, "Invalid station text %1: %2."},
    {kOutsideChain, "Station %1 lies outside its chain: %2."},
    {kTooManyBreaksText, "Chain break %1 was not added: a chain table holds at most %2 breaks."},
    {kAmbiguousStation,
     "Station %1 lies on more than one chain (%2); write the chain letter in front of it."},

    {kPrecisionFormat, "%d"},

    {kBreakFormat, "%lf = %lf"},
    {kUnchainedChars, "0123456789.-"},
    {kChainedChars, "0123456789."},
    {kCandidateSeparator, ", "},
    {kLetteredFormat, "%s%.*lf"},
    {kLetteredMinus, "-"},
    {kKilometreFormat, "%lld+"},
    {kNumberScanFormat, "%lf"},

    {kReasonUnchainedChars, "only digits, a decimal point and a leading minus sign are allowed"},
    {kReasonChainedChars,
     "a chain letter may be followed only by a number made of digits and a decimal point"},
    {kReasonNoSuchChain, "there is no chain %s; the chains run from A to %s"},
    {kReasonSkippedRange, "it lies in the range skipped by the chain break %s"},
    {kReasonBeforeChainStart, "chain %s begins at the chain break %s"},
    {kReasonAfterChainEnd, "chain %s ends at the chain break %s"},
    {kReasonNoSuchBreak, "there is no chain break with this index; the table holds %d breaks"},
    {kReasonBadBreakText, "a chain break is two stations: the one before the break and the one after it"},
    {kReasonNoChain, "no chain holds it"},
    {kReasonNeedsChainTable,
     "it has a chain letter, and no chain breaks are known: it needs the chain table it was written with"},
    {kReasonUnletteredChars,
     "a station without a chain letter is a number made of digits and a decimal point, with a leading minus "
     "sign if it is negative"},
};

}  // namespace

}  // namespace qdat
