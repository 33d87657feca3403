#include <qdat/project/FileFingerprint.h>

#include <openssl/evp.h>

#include <memory>
#include <vector>

#include <qdat/host/HostPaths.h>

namespace qdat {

bool ComputeFileFingerprint(const std::string& path, Fingerprint& fingerprint) {
    // Opened without waiting (a pipe named in a project would block the open)
    // and taken only when it is a regular file: a device never ends.
    RegularFileReader file;
    if (file.Open(path) != RegularFileReader::Opened::Yes) return false;

    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) return false;
    std::vector<unsigned char> buffer(256 * 1024);
    std::uint64_t total = 0;
    for (;;) {
        const long long n = file.Read(buffer.data(), buffer.size());
        if (n < 0) return false;
        if (n == 0) break;
        total += static_cast<std::uint64_t>(n);
        if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(n)) != 1) return false;
    }
    Fingerprint digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size())
        return false;
    // An empty file keeps the fingerprint of a file never read, as it always has.
    fingerprint = total == 0 ? Fingerprint{} : digest;
    return true;
}

}  // namespace qdat
