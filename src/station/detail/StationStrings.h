// Numbers of the stationing module's resource strings. The built-in English
// texts are registered in StationStrings.cpp.
#pragma once

namespace qdat::station_strings {

// Messages of the chain-table errors: %1 names the offending text or break,
// %2 says what is wrong with it.
inline constexpr int kBadStationText = 10;
inline constexpr int kBadUnchainedText = 11;
inline constexpr int kOutsideChain = 12;
// Code 13 shares its number with the framework's generic message, so its
// text lives under kTooManyBreaksText and the exception carries code 13.
inline constexpr int kTooManyBreaks = 13;
inline constexpr int kTooManyBreaksText = 829;
inline constexpr int kAmbiguousStation = 19;

// The station precision as one integer, for scanning and printing.
inline constexpr int kPrecisionFormat = 88;

// Formats and character sets of station text.
inline constexpr int kBreakFormat = 810;         // Before, After
inline constexpr int kUnchainedChars = 811;      // allowed without breaks
inline constexpr int kChainedChars = 812;        // allowed after a chain letter
inline constexpr int kCandidateSeparator = 813;  // between chain letters in error 19
inline constexpr int kLetteredFormat = 814;      // letter, precision, value
inline constexpr int kLetteredMinus = 815;       // before a negative lettered station
inline constexpr int kKilometreFormat = 816;     // 64-bit kilometre count
inline constexpr int kNumberScanFormat = 817;    // one double

// Reasons inserted as %2 of the error messages.
inline constexpr int kReasonUnchainedChars = 820;
inline constexpr int kReasonChainedChars = 821;
inline constexpr int kReasonNoSuchChain = 822;       // %s letter, %s last letter
inline constexpr int kReasonSkippedRange = 823;      // %s break text
inline constexpr int kReasonBeforeChainStart = 824;  // %s letter, %s break text
inline constexpr int kReasonAfterChainEnd = 825;     // %s letter, %s break text
inline constexpr int kReasonNoSuchBreak = 826;       // %d break count
inline constexpr int kReasonBadBreakText = 827;
inline constexpr int kReasonNoChain = 828;
inline constexpr int kReasonUnletteredChars = 830;
inline constexpr int kReasonNeedsChainTable = 831;

}  // namespace qdat::station_strings
