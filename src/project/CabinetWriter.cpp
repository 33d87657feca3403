#include <qdat/project/CabinetWriter.h>

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>

#include <qdat/host/HostException.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostPaths.h>

namespace qdat {

namespace {

constexpr std::size_t kBlockInput = 32768;  // the most input one MSZIP block takes
constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kFolderEntrySize = 8;
constexpr std::size_t kFileEntrySize = 16;  // before the name
constexpr std::size_t kDataHeaderSize = 8;
constexpr std::uint16_t kCompressMszip = 1;
constexpr std::uint16_t kHasPrevious = 0x0001;
constexpr std::uint16_t kHasNext = 0x0002;
constexpr std::uint16_t kContinuedFromPrevious = 0xFFFD;
constexpr std::uint16_t kContinuedToNext = 0xFFFE;
constexpr std::uint16_t kContinuedBoth = 0xFFFF;
constexpr std::uint16_t kReadOnly = 0x01;
constexpr std::uint16_t kArchive = 0x20;
constexpr std::uint16_t kNameIsUtf8 = 0x80;
// Entries of one cabinet and blocks of one folder are counted in 16 bits.
constexpr std::size_t kMaxCount = 0xFFFF;
constexpr std::uint64_t kMaxFolderInput = kMaxCount * kBlockInput;

void PutLe16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void PutLe32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string SystemError(int err) {
    return std::strerror(err);
}

// DOS date and time of a moment, in local time; before 1980 the format's
// first day, after 2107 its last.
void DosDateTime(std::time_t when, std::uint16_t& date, std::uint16_t& time) {
    std::tm local{};
    if (!::localtime_r(&when, &local)) local = std::tm{0, 0, 0, 1, 0, 80, 0, 0, 0, 0, nullptr};
    int year = local.tm_year + 1900;
    if (year < 1980) {
        date = (1 << 5) | 1;
        time = 0;
        return;
    }
    if (year > 2107) {
        date = static_cast<std::uint16_t>((127 << 9) | (12 << 5) | 31);
        time = static_cast<std::uint16_t>((23 << 11) | (59 << 5) | 29);
        return;
    }
    date = static_cast<std::uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    time = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

// ---------------------------------------------------------------------------
// The writer's state: the file records, the folder being compressed, the
// cabinet being filled (its data blocks wait in a temporary file until the
// cabinet's lists are known) and the cabinets written so far.

struct CabinetWriter::State {
    struct FileRecord {
        std::string name;
        std::uint32_t size = 0;
        std::uint32_t offset = 0;  // in its folder's input
        int folder = 0;            // folder number within the set
        std::uint16_t date = 0, time = 0, attributes = 0;
        int firstCabinet = -1;  // the cabinets that hold its data
        int lastCabinet = -1;
    };
    // The blocks of one folder that lie in the cabinet being filled.
    struct FolderPart {
        int folder;
        std::uint64_t spillOffset;
        std::uint32_t blocks = 0;
    };

    std::string folder, base;
    Options options;
    z_stream deflater{};
    bool deflaterReady = false;

    std::vector<FileRecord> files;
    // The folder being compressed.
    int folderNumber = 0;
    std::uint64_t folderInput = 0;    // bytes taken into the folder
    std::uint64_t folderFlushed = 0;  // of them, bytes compressed into blocks
    std::string pending;              // input of the next block
    // The cabinet being filled.
    int cabinet = 0;
    std::vector<FolderPart> parts;
    ScratchFile spill;
    std::uint64_t spillSize = 0;
    std::string spillBuffer;
    std::vector<std::unique_ptr<MirrorFile>> written;  // cabinets waiting to be put in place
    std::vector<std::string> names;
    std::string compressed;

    ~State() {
        if (deflaterReady) deflateEnd(&deflater);
        for (auto& file : written) file->Abort();
    }

    std::string Name(int number) const { return CabinetWriter::CabinetName(base, number); }

    // Bytes the set's names take in a cabinet's header.
    std::size_t NamesSize(int number) const {
        std::size_t size = 0;
        if (number > 0) size += Name(number - 1).size() + 1 + base.size() + 1;
        size += Name(number + 1).size() + 1 + base.size() + 1;  // room for the next one, always
        return size;
    }

    bool InCabinet(const FileRecord& f) const {
        return f.firstCabinet >= 0 && f.firstCabinet <= cabinet && f.lastCabinet >= cabinet;
    }
    // Whether a file of the folder being compressed has data at or after
    // the folder's byte `from` (an empty file: stands there or after it).
    bool HasDataFrom(const FileRecord& f, std::uint64_t from) const {
        if (f.folder != folderNumber) return false;
        return f.size == 0 ? f.offset >= from : f.offset + static_cast<std::uint64_t>(f.size) > from;
    }

    // Each returns what went wrong, or nothing.
    std::string FlushBlock(CabinetWriter& writer);
    std::string EndFolder(CabinetWriter& writer);
    std::string CloseCabinet(bool hasNext);
    std::string NextCabinet();
    std::string SpillOut();
    void AppendRecord(const char* data, std::size_t size, std::uint16_t inputSize);
    // The size of the cabinet being filled with extraBytes more, counting an
    // entry for every file it lists or that waits for its data to be
    // written, and a folder entry for the folder being compressed when it
    // has such files (or gets one with newFile).
    std::uint64_t ProjectedSize(std::size_t extraBytes, bool newFile = false) const;
    std::string TooSmall() const {
        return "a cabinet of at most " + std::to_string(options.maxCabinetSize) +
               " bytes cannot hold the entries of its files and data";
    }

    // The name a file is stored under: its file name, or, when the set holds
    // a file of that name already, with as many of its folders in front as
    // make it a name of its own, so that extracting the set restores both.
    std::string NameFor(const std::string& path);
    std::set<std::string> takenNames;  // lower case, as Windows compares them

    std::size_t firstInCabinet = 0;   // files before it lie wholly in cabinets written
    bool endFolderAfterFile = false;  // the folder ran on into a further cabinet
};

CabinetWriter::CabinetWriter(std::string folder, std::string baseName, Options options)
    : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    s.folder = std::move(folder);
    if (!s.folder.empty() && s.folder.back() != '/') s.folder += '/';
    s.base = std::move(baseName);
    s.options = options;
    if (s.base.empty()) {
        Fail("the cabinet has no name");
        return;
    }
    const int level = std::clamp(options.compressionLevel, 1, 9);
    if (deflateInit2(&s.deflater, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        Fail("the compressor cannot be set up");
        return;
    }
    s.deflaterReady = true;
    // The data of a cabinet waits in an unnamed file in the temporary folder.
    if (!s.spill.Create()) {
        Fail("no temporary file in " + s.spill.Folder() + ": " + SystemError(s.spill.Error()));
        return;
    }
}

CabinetWriter::~CabinetWriter() = default;

std::string CabinetWriter::CabinetName(const std::string& baseName, int number) {
    return number == 0 ? baseName + ".cab" : baseName + std::to_string(number + 1) + ".CAB";
}

std::uint32_t CabinetWriter::Checksum(const unsigned char* data, std::size_t size, std::uint32_t seed) {
    std::uint32_t sum = seed;
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4)
        sum ^= static_cast<std::uint32_t>(data[i]) | (static_cast<std::uint32_t>(data[i + 1]) << 8) |
               (static_cast<std::uint32_t>(data[i + 2]) << 16) |
               (static_cast<std::uint32_t>(data[i + 3]) << 24);
    // The last one to three bytes, the first of them highest.
    std::uint32_t tail = 0;
    for (; i < size; ++i) tail = (tail << 8) | data[i];
    return sum ^ tail;
}

bool CabinetWriter::Fail(const std::string& why) {
    if (m_error.empty()) m_error = why;
    if (m_state) {
        for (auto& file : m_state->written) file->Abort();
        m_state->written.clear();
    }
    return false;
}

// ---------------------------------------------------------------------------
// Blocks

namespace {

// Compresses one block: "CK", then a deflate stream ending with a final
// block. The format lets a block refer to the one before it; doing so makes
// cabinets of project data about one percent smaller and takes a quarter
// more time, so every block stands alone, as other writers make them.
bool CompressBlock(z_stream& z, const std::string& input, std::string& out) {
    if (deflateReset(&z) != Z_OK) return false;
    out.resize(2 + deflateBound(&z, static_cast<uLong>(input.size())) + 16);
    out[0] = 'C';
    out[1] = 'K';
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data() + 2);
    z.avail_out = static_cast<uInt>(out.size() - 2);
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) return false;
    out.resize(out.size() - z.avail_out);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// The writer's steps

std::string CabinetWriter::State::NameFor(const std::string& path) {
    // A backslash in a name made here would be a separator to the readers of
    // the format, and a colon a drive ("C:evil.bgg") or a stream: either could
    // put a file outside the folder it is extracted into. Both become "_", and
    // the folders in front are real ones, never "." or "..".
    std::vector<std::string> parts;
    for (const auto& part : std::filesystem::path(path).lexically_normal()) {
        std::string text = part.string();
        if (text.empty() || text == "/" || text == "." || text == "..") continue;
        std::replace(text.begin(), text.end(), '\\', '_');
        std::replace(text.begin(), text.end(), ':', '_');
        parts.push_back(text);
    }
    if (parts.empty()) return {};
    const auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    std::string name = parts.back();
    for (std::size_t k = 2; takenNames.count(lower(name)) && k <= parts.size(); ++k)
        name = parts[parts.size() - k] + "\\" + name;
    const std::string base = name;
    for (int n = 2; takenNames.count(lower(name)); ++n) name = base + " (" + std::to_string(n) + ")";
    takenNames.insert(lower(name));
    return name;
}

std::uint64_t CabinetWriter::State::ProjectedSize(std::size_t extraBytes, bool newFile) const {
    std::uint64_t size = kHeaderSize + NamesSize(cabinet) + spillSize + spillBuffer.size() + extraBytes;
    bool waiting = newFile;
    for (std::size_t i = firstInCabinet; i < files.size(); ++i) {
        const FileRecord& f = files[i];
        if (!InCabinet(f) && f.firstCabinet >= 0) continue;
        size += kFileEntrySize + f.name.size() + 1;
        waiting = waiting || f.firstCabinet < 0;
    }
    const bool folderHasPart = !parts.empty() && parts.back().folder == folderNumber;
    size += (parts.size() + (waiting && !folderHasPart ? 1 : 0)) * kFolderEntrySize;
    return size;
}

std::string CabinetWriter::State::SpillOut() {
    if (spillBuffer.empty()) return {};
    if (!spill.WriteAll(spillBuffer.data(), spillBuffer.size()))
        return "cannot write the temporary file: " + SystemError(spill.Error());
    spillSize += spillBuffer.size();
    spillBuffer.clear();
    return {};
}

void CabinetWriter::State::AppendRecord(const char* data, std::size_t size, std::uint16_t inputSize) {
    if (parts.empty() || parts.back().folder != folderNumber)
        parts.push_back({folderNumber, spillSize + spillBuffer.size(), 0});
    ++parts.back().blocks;
    // The record: checksum, compressed size, input size (0 for the first
    // part of a block that runs on into the next cabinet), data.
    std::string head;
    PutLe16(head, static_cast<std::uint16_t>(size));
    PutLe16(head, inputSize);
    const std::uint32_t sum = Checksum(reinterpret_cast<const unsigned char*>(head.data()), head.size(),
                                       Checksum(reinterpret_cast<const unsigned char*>(data), size, 0));
    PutLe32(spillBuffer, sum);
    spillBuffer += head;
    spillBuffer.append(data, size);
}

// Room for the header and one byte of a further record stays free in every
// cabinet, so that a block that does not fit can always be split: its first
// part ends the cabinet and the rest begins the next.
constexpr std::size_t kSplitRoom = kDataHeaderSize + 1;

std::string CabinetWriter::State::FlushBlock(CabinetWriter& writer) {
    if (pending.empty()) return {};
    const std::uint64_t blockStart = folderFlushed;
    const std::uint64_t blockEnd = blockStart + pending.size();
    if (!CompressBlock(deflater, pending, compressed)) return "the compressor failed";
    writer.m_compressedBytes += compressed.size();

    // A block that does not fit is split: a part fills the cabinet, the rest
    // goes on in the next one (in a cabinet of its own when it is larger).
    // Every file with data from this block on is listed in both cabinets,
    // and the folder ends with the file being added, as readers of sets expect.
    std::size_t written = 0;
    for (;;) {
        const std::uint64_t used = ProjectedSize(0);
        const std::uint64_t room =
            options.maxCabinetSize - std::min<std::uint64_t>(options.maxCabinetSize, used);
        const std::size_t left = compressed.size() - written;
        if (kDataHeaderSize + left + kSplitRoom <= room) break;
        if (room < kSplitRoom) return TooSmall();
        const std::size_t part =
            std::min<std::size_t>(static_cast<std::size_t>(room - kDataHeaderSize), left - 1);
        AppendRecord(compressed.data() + written, part, 0);
        written += part;
        // Files that ran on into this cabinet run on again with the folder,
        // so that each cabinet of the set continues the same list.
        for (std::size_t i = firstInCabinet; i < files.size(); ++i) {
            FileRecord& f = files[i];
            const bool ranOn = f.folder == folderNumber && f.firstCabinet >= 0 && f.firstCabinet < cabinet &&
                               f.lastCabinet == cabinet;
            if (!ranOn && !HasDataFrom(f, blockStart)) continue;
            if (f.firstCabinet < 0) f.firstCabinet = cabinet;
            f.lastCabinet = cabinet + 1;
        }
        if (std::string error = NextCabinet(); !error.empty()) return error;
        endFolderAfterFile = true;
    }
    AppendRecord(compressed.data() + written, compressed.size() - written,
                 static_cast<std::uint16_t>(pending.size()));
    for (std::size_t i = firstInCabinet; i < files.size(); ++i) {
        FileRecord& f = files[i];
        const bool touches =
            f.folder == folderNumber &&
            (f.size == 0 ? f.offset >= blockStart && f.offset < blockEnd
                         : f.offset < blockEnd && f.offset + static_cast<std::uint64_t>(f.size) > blockStart);
        if (!touches) continue;
        if (f.firstCabinet < 0) f.firstCabinet = cabinet;
        f.lastCabinet = std::max(f.lastCabinet, cabinet);
    }
    // The data of a cabinet stays in memory up to 16 MiB; more goes to the temporary file.
    if (spillBuffer.size() >= (16u << 20))
        if (std::string error = SpillOut(); !error.empty()) return error;
    folderFlushed = blockEnd;
    pending.clear();
    return {};
}

std::string CabinetWriter::State::EndFolder(CabinetWriter& writer) {
    if (std::string error = FlushBlock(writer); !error.empty()) return error;
    // Files without data of their own (empty files after the last block, or
    // a folder of empty files only) go with the cabinet being filled, where
    // their entries are counted already.
    for (std::size_t i = firstInCabinet; i < files.size(); ++i) {
        FileRecord& f = files[i];
        if (f.folder != folderNumber || f.firstCabinet >= 0) continue;
        if (parts.empty() || parts.back().folder != folderNumber)
            parts.push_back({folderNumber, spillSize + spillBuffer.size(), 0});
        f.firstCabinet = f.lastCabinet = cabinet;
    }
    ++folderNumber;
    folderInput = 0;
    folderFlushed = 0;
    endFolderAfterFile = false;
    return {};
}

std::string CabinetWriter::State::NextCabinet() {
    if (std::string error = CloseCabinet(true); !error.empty()) return error;
    ++cabinet;
    parts.clear();
    spillSize = 0;
    spillBuffer.clear();
    if (!spill.Clear()) return "cannot reuse the temporary file: " + SystemError(spill.Error());
    while (firstInCabinet < files.size() && files[firstInCabinet].firstCabinet >= 0 &&
           files[firstInCabinet].lastCabinet < cabinet)
        ++firstInCabinet;
    return {};
}

std::string CabinetWriter::State::CloseCabinet(bool hasNext) {
    // The files with data here, in the order they were added: those run on
    // from the cabinet before come first, one that runs on into the next last.
    std::string entries;
    std::size_t count = 0;
    for (std::size_t i = firstInCabinet; i < files.size(); ++i) {
        const FileRecord& f = files[i];
        if (!InCabinet(f)) continue;
        const bool fromPrevious = f.firstCabinet < cabinet;
        const bool toNext = f.lastCabinet > cabinet;
        std::uint16_t folderIndex = 0;
        if (fromPrevious && toNext) {
            folderIndex = kContinuedBoth;
        } else if (fromPrevious) {
            folderIndex = kContinuedFromPrevious;
        } else if (toNext) {
            folderIndex = kContinuedToNext;
        } else {
            while (folderIndex < parts.size() && parts[folderIndex].folder != f.folder) ++folderIndex;
        }
        PutLe32(entries, f.size);
        PutLe32(entries, f.offset);
        PutLe16(entries, folderIndex);
        PutLe16(entries, f.date);
        PutLe16(entries, f.time);
        PutLe16(entries, f.attributes);
        entries += f.name;
        entries += '\0';
        ++count;
    }
    if (count > kMaxCount) return "a cabinet holds at most 65535 files";
    std::string setNames;
    if (cabinet > 0) setNames += Name(cabinet - 1) + '\0' + base + '\0';
    if (hasNext) setNames += Name(cabinet + 1) + '\0' + base + '\0';
    const std::uint64_t listsEnd = kHeaderSize + setNames.size() + parts.size() * kFolderEntrySize;
    const std::uint64_t dataStart = listsEnd + entries.size();

    std::string head;
    head += "MSCF";
    PutLe32(head, 0);
    PutLe32(head, static_cast<std::uint32_t>(dataStart + spillSize + spillBuffer.size()));
    PutLe32(head, 0);
    PutLe32(head, static_cast<std::uint32_t>(listsEnd));
    PutLe32(head, 0);
    head += '\x03';  // format 1.3
    head += '\x01';
    PutLe16(head, static_cast<std::uint16_t>(parts.size()));
    PutLe16(head, static_cast<std::uint16_t>(count));
    PutLe16(head, static_cast<std::uint16_t>((cabinet > 0 ? kHasPrevious : 0) | (hasNext ? kHasNext : 0)));
    PutLe16(head, options.setId);
    PutLe16(head, static_cast<std::uint16_t>(cabinet));
    head += setNames;
    for (const FolderPart& part : parts) {
        PutLe32(head, static_cast<std::uint32_t>(dataStart + part.spillOffset));
        PutLe16(head, static_cast<std::uint16_t>(part.blocks));
        PutLe16(head, kCompressMszip);
    }
    head += entries;

    const std::string path = folder + Name(cabinet);
    auto out = std::make_unique<MirrorFile>();
    try {
        out->Open(path, File::ModeCreate | File::ModeReadWrite | File::ShareExclusive);
        out->Write(head.data(), head.size());
        std::string buffer(1u << 20, '\0');
        for (std::uint64_t done = 0; done < spillSize;) {
            const long long n = spill.ReadAt(
                buffer.data(),
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), spillSize - done)), done);
            if (n <= 0)
                return "cannot read the temporary file back: " + SystemError(n < 0 ? spill.Error() : EIO);
            out->Write(buffer.data(), static_cast<std::size_t>(n));
            done += static_cast<std::uint64_t>(n);
        }
        out->Write(spillBuffer.data(), spillBuffer.size());
    } catch (const FileException& e) {
        out->Abort();
        return e.GetErrorMessage();
    }
    written.push_back(std::move(out));
    names.push_back(path);
    return {};
}

// ---------------------------------------------------------------------------

bool CabinetWriter::AddFile(const std::string& path) {
    if (IsFailed()) return false;
    State& s = *m_state;
    RegularFileReader file;
    switch (file.Open(path)) {
        case RegularFileReader::Opened::CannotOpen:
            return Fail(path + " cannot be opened: " + SystemError(file.Error()));
        case RegularFileReader::Opened::CannotStat:
            return Fail(path + " cannot be read: " + SystemError(file.Error()));
        case RegularFileReader::Opened::NotRegular:
            return Fail(path + " is no regular file");
        case RegularFileReader::Opened::Yes:
            break;
    }
    const std::uint64_t size = file.Size();
    if (size > kMaxFolderInput) return Fail(path + " is too large for a cabinet (2 GiB at the most)");
    // A folder holds at most 65535 blocks and ends before a file it could not hold.
    if (s.folderInput + size > kMaxFolderInput)
        if (std::string error = s.EndFolder(*this); !error.empty()) return Fail(error);

    const std::string name = s.NameFor(path);
    if (name.empty()) return Fail(path + " has no file name");
    // The file's entry must find room beside what the cabinet holds;
    // otherwise the folder ends here, and the cabinet too.
    const std::size_t entrySize = kFileEntrySize + name.size() + 1;
    if (s.ProjectedSize(entrySize, true) + kSplitRoom > s.options.maxCabinetSize) {
        if (std::string error = s.EndFolder(*this); !error.empty()) return Fail(error);
        if (s.ProjectedSize(entrySize, true) + kSplitRoom > s.options.maxCabinetSize)
            if (std::string error = s.NextCabinet(); !error.empty()) return Fail(error);
        if (s.ProjectedSize(entrySize, true) + kSplitRoom > s.options.maxCabinetSize)
            return Fail(s.TooSmall());
    }

    State::FileRecord record;
    record.name = name;
    record.size = static_cast<std::uint32_t>(size);
    record.offset = static_cast<std::uint32_t>(s.folderInput);
    record.folder = s.folderNumber;
    DosDateTime(file.ModifiedTime(), record.date, record.time);
    record.attributes = static_cast<std::uint16_t>(kArchive | (file.OwnerMayWrite() ? 0 : kReadOnly) |
                                                   (IsAscii(record.name) ? 0 : kNameIsUtf8));
    s.files.push_back(record);
    m_entries.push_back({record.name, size, record.attributes, path});

    std::uint64_t left = size;
    while (left > 0) {
        const std::size_t room = kBlockInput - s.pending.size();
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(room, left));
        const std::size_t had = s.pending.size();
        s.pending.resize(had + want);
        const long long n = file.Read(s.pending.data() + had, want);
        if (n <= 0) {
            return Fail(n < 0 ? path + " cannot be read: " + SystemError(file.Error())
                              : path + " became shorter while it was being read");
        }
        s.pending.resize(had + static_cast<std::size_t>(n));
        left -= static_cast<std::uint64_t>(n);
        s.folderInput += static_cast<std::uint64_t>(n);
        if (s.pending.size() == kBlockInput)
            if (std::string error = s.FlushBlock(*this); !error.empty()) return Fail(error);
    }
    m_inputBytes += size;
    if (s.endFolderAfterFile || s.folderInput >= s.options.folderThreshold)
        if (std::string error = s.EndFolder(*this); !error.empty()) return Fail(error);
    return true;
}

bool CabinetWriter::Finish() {
    if (IsFailed()) return false;
    State& s = *m_state;
    if (std::string error = s.EndFolder(*this); !error.empty()) return Fail(error);
    if (std::string error = s.CloseCabinet(false); !error.empty()) return Fail(error);
    // Every cabinet is complete: put them in place, or none of them.
    std::vector<std::string> placed;
    for (std::size_t i = 0; i < s.written.size(); ++i) {
        try {
            s.written[i]->Close();
            placed.push_back(s.names[i]);
        } catch (const FileException& e) {
            for (const std::string& path : placed) RemovePath(path);
            return Fail(e.GetErrorMessage());
        }
    }
    s.written.clear();
    m_cabinetPaths = placed;
    return true;
}

}  // namespace qdat
