// Helpers shared by the tests of the documents by station (ground line,
// ditch bottom, station list): a fixture that keeps the context's station
// state and records what the user is shown, little-endian byte builders for
// hand-written binary files, and reading and writing through memory files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include <qdat/docbase/QDocument.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostUi.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStation.h>
#include "support/TestSupport.h"

namespace qdat::test {

class StationDocTest : public ::testing::Test {
protected:
    RecordingUi ui;

private:
    StationDefaults m_defaults;
    ScopedUi m_scopedUi{ui};
};

inline std::string Le32(std::int32_t v) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
    return out;
}

inline std::string Le64(double d) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    std::string out(8, '\0');
    for (int i = 0; i < 8; ++i) out[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return out;
}

// A string in the archive's binary encoding (short form, length below 255).
inline std::string ShortString(const std::string& s) {
    return std::string(1, static_cast<char>(s.size())) + s;
}

inline std::string Tagged(std::uint8_t tag, const std::string& value) {
    return std::string(1, static_cast<char>(tag)) + value;
}

// Reads bytes into doc as a direct read (no open pipeline).
inline bool ReadFromBytes(QDocument& doc, const std::string& bytes, const std::string& name = "ground.dmx") {
    MemoryFile file(bytes, name);
    return doc.ReadFromFile(file);
}

// Writes doc with the given form flags (the others are kept) and returns the bytes.
inline std::string WriteToBytes(QDocument& doc, std::uint32_t formFlags = 0x1) {
    constexpr std::uint32_t kForms = 0x1 | 0x2 | 0x4 | 0x8;
    doc.SetFormatFlags((doc.GetFormatFlags() & ~kForms) | formFlags);
    MemoryFile file(std::string(), "out.dmx");
    doc.WriteToFile(file);
    return file.Bytes();
}

// The form flags a test writes with, by name.
struct FormCase {
    const char* name;
    std::uint32_t flags;
};
inline constexpr FormCase kBinaryForms[] = {
    {"binary", 0x0},
    {"tagged", 0x2},
    {"scrambled", 0x4},
    {"tagged+scrambled", 0x6},
};

}  // namespace qdat::test
