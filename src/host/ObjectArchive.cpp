// The framework's object archive: little-endian int32 and double values over a
// File.
#include <qdat/host/ObjectArchive.h>

#include <bit>
#include <cstring>
#include <string>
#include <utility>

#include <qdat/host/HostFile.h>

namespace qdat {

namespace {

template <class T>
void ToLittleEndian(const T& value, unsigned char (&bytes)[sizeof(T)]) {
    std::memcpy(bytes, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
    }
}

template <class T>
T FromLittleEndian(unsigned char (&bytes)[sizeof(T)]) {
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
    }
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

std::string Describe(const File& file) {
    const std::string name = file.GetFilePath();
    return name.empty() ? std::string("the object archive") : "\"" + name + "\"";
}

}  // namespace

ObjectArchive& ObjectArchive::operator<<(std::int32_t v) {
    unsigned char bytes[sizeof v];
    ToLittleEndian(v, bytes);
    m_file.Write(bytes, sizeof bytes);
    return *this;
}

ObjectArchive& ObjectArchive::operator<<(double v) {
    unsigned char bytes[sizeof v];
    ToLittleEndian(v, bytes);
    m_file.Write(bytes, sizeof bytes);
    return *this;
}

ObjectArchive& ObjectArchive::operator>>(std::int32_t& v) {
    unsigned char bytes[sizeof v];
    ReadExact(bytes, sizeof bytes);
    v = FromLittleEndian<std::int32_t>(bytes);
    return *this;
}

ObjectArchive& ObjectArchive::operator>>(double& v) {
    unsigned char bytes[sizeof v];
    ReadExact(bytes, sizeof bytes);
    v = FromLittleEndian<double>(bytes);
    return *this;
}

void ObjectArchive::ReadExact(void* buffer, std::size_t count) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t got = 0;
    const std::int64_t start = m_file.GetPosition();
    while (got < count) {
        const std::size_t n = m_file.Read(out + got, count - got);
        if (n == 0) {
            throw ObjectArchiveException(ObjectArchiveException::EndOfFile,
                                         "Unexpected end of " + Describe(m_file) + " at byte " +
                                             std::to_string(start + static_cast<std::int64_t>(got)) + ": " +
                                             std::to_string(count) + " bytes expected, " +
                                             std::to_string(got) + " found.");
        }
        got += n;
    }
}

void ObjectArchive::ThrowBadClass(const std::string& what) const {
    throw ObjectArchiveException(ObjectArchiveException::BadClass,
                                 "The object in " + Describe(m_file) + " at byte " +
                                     std::to_string(m_file.GetPosition()) +
                                     " is of an unknown class or version (" + what + ").");
}

}  // namespace qdat
