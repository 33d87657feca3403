// The format flag bits of a document's FormatFlags word, which the archive
// reads and sets while it reads or writes the document.
#pragma once

#include <cstdint>

namespace qdat {

namespace FormatFlag {
inline constexpr std::uint32_t TextForm = 0x1;
inline constexpr std::uint32_t TaggedForm = 0x2;
inline constexpr std::uint32_t ScrambledForm = 0x4;
inline constexpr std::uint32_t LegacyLayout = 0x8;
inline constexpr std::uint32_t NzsVariant = 0x10;
inline constexpr std::uint32_t RailwayVariant = 0x1000000;
inline constexpr std::uint32_t NotLoading = 0x10000000;
inline constexpr std::uint32_t CommentMode = 0x80000000;  // the archive's own state, never a document flag
// The bits that say in which physical form content is stored, and the bits
// that select a variant or layout of a kind.
inline constexpr std::uint32_t FormBits = TextForm | TaggedForm | ScrambledForm;
inline constexpr std::uint32_t VariantBits = LegacyLayout | NzsVariant | RailwayVariant;
}  // namespace FormatFlag

// The most decimal places a value is written with: the archive's decimal-place
// manipulators run from 0 to this.
inline constexpr int kMaxDecimalPlaces = 19;

}  // namespace qdat
