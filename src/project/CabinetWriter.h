// CabinetWriter: writes whole files into a cabinet (the Microsoft Cabinet
// format 1.3) with MSZIP compression: blocks of at most 32 KiB of input, each
// "CK" and a deflate stream, each with its checksum. Files are stored under
// their file name alone (a second file of a name with its folder in front,
// "plan\road.pm", so that extracting the set gives back both; a backslash or
// colon in a name is stored as "_", so that no name leads out of the folder
// the set is extracted into), with the DOS date and time of their last write
// in local time and their attributes (read-only where the owner may not write). When a cabinet would pass the
// size limit the data continues in a further cabinet of the same set:
// base.cab, base2.CAB, base3.CAB and so on.
//
// The cabinets are written under temporary names and put in place together
// by Finish; a writer that fails, or is destroyed unfinished, leaves nothing
// of the set behind.
#pragma once

#include <qdat/host/Export.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qdat {

struct QDAT_API CabinetOptions {
    // The largest cabinet written, in bytes (header, lists and data).
    std::uint32_t maxCabinetSize = 0x7FFFFFF;
    // A folder (one compressed stream) ends after the file that takes it
    // to this many bytes of input; the next file starts a new folder.
    std::uint32_t folderThreshold = 0x7FFFFFF;
    std::uint16_t setId = 0;
    int compressionLevel = 6;  // zlib's levels 1 to 9
};

class QDAT_API CabinetWriter {
public:
    using Options = CabinetOptions;

    // A file as the set holds it.
    struct Entry {
        std::string name;  // the name in the set: the file name, with folders only to tell two apart
        std::uint64_t size = 0;
        std::uint16_t attributes = 0;
        std::string sourcePath;
    };

    // folder: where the cabinets go ("" for the current folder); baseName:
    // the set's name, the first cabinet being baseName + ".cab".
    CabinetWriter(std::string folder, std::string baseName, CabinetOptions options = CabinetOptions());
    ~CabinetWriter();
    CabinetWriter(const CabinetWriter&) = delete;
    CabinetWriter& operator=(const CabinetWriter&) = delete;

    // Adds the file at path. False when the writer failed before, or fails
    // now; then it stays failed and GetError says why.
    bool AddFile(const std::string& path);
    // Writes the last cabinet and puts every cabinet of the set in place.
    // False, with nothing left behind, when the writer failed.
    bool Finish();

    bool IsFailed() const { return !m_error.empty(); }
    const std::string& GetError() const { return m_error; }
    // The cabinets of the set, first to last (after a successful Finish).
    const std::vector<std::string>& GetCabinetPaths() const { return m_cabinetPaths; }
    const std::vector<Entry>& GetEntries() const { return m_entries; }
    // Bytes of input taken and bytes of compressed data written.
    std::uint64_t GetInputBytes() const { return m_inputBytes; }
    std::uint64_t GetCompressedBytes() const { return m_compressedBytes; }

    // The name of cabinet number (from 0) of a set.
    static std::string CabinetName(const std::string& baseName, int number);
    // The checksum of a data block: of its data, then of its two size fields.
    static std::uint32_t Checksum(const unsigned char* data, std::size_t size, std::uint32_t seed);

private:
    struct State;
    bool Fail(const std::string& why);

    std::unique_ptr<State> m_state;
    std::string m_error;
    std::vector<std::string> m_cabinetPaths;
    std::vector<Entry> m_entries;
    std::uint64_t m_inputBytes = 0;
    std::uint64_t m_compressedBytes = 0;
};

}  // namespace qdat
