#include <qdat/project/ProjectPaths.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace qdat {

namespace fs = std::filesystem;

bool IsWindowsDrivePath(std::string_view stored) {
    if (!stored.empty() && stored[0] == '\\') return true;
    return stored.size() >= 2 && std::isalpha(static_cast<unsigned char>(stored[0])) && stored[1] == ':';
}

std::string ProjectFolderOf(const std::string& projectPath) {
    const auto slash = projectPath.rfind('/');
    return slash == std::string::npos ? std::string() : projectPath.substr(0, slash + 1);
}

std::string ResolveStoredPath(const std::string& folder, const std::string& stored) {
    if (stored.empty() || stored[0] == '/' || IsWindowsDrivePath(stored)) return stored;
    std::string relative = stored;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const fs::path joined = folder.empty() ? fs::path(relative) : fs::path(folder) / relative;
    std::string out = joined.lexically_normal().string();
    // A folder is not a data file: "plan\." resolves to the folder, not "plan/".
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

std::string MakeStoredPath(const std::string& folder, const std::string& absolutePath) {
    if (folder.empty()) return absolutePath;
    const fs::path relative =
        fs::path(absolutePath).lexically_normal().lexically_relative(fs::path(folder).lexically_normal());
    if (relative.empty()) return absolutePath;
    std::string out = relative.string();
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

bool ResolvedFileExists(const std::string& resolved) {
    if (resolved.empty() || IsWindowsDrivePath(resolved)) return false;
    struct stat st;
    return ::stat(resolved.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool LiesInsideFolder(const std::string& folder, const std::string& resolved) {
    if (resolved.empty() || IsWindowsDrivePath(resolved)) return false;
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(folder.empty() ? fs::path(".") : fs::path(folder), ec);
    if (ec) return false;
    const fs::path target = fs::weakly_canonical(resolved, ec);
    if (ec) return false;
    const fs::path relative = target.lexically_relative(base);
    if (relative.empty() || relative == ".") return false;
    const std::string first = relative.begin()->string();
    return first != ".." && !relative.is_absolute();
}

bool IsOtherThanRegularFile(const std::string& resolved) {
    if (resolved.empty() || IsWindowsDrivePath(resolved)) return false;
    struct stat st;
    return ::stat(resolved.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool SameResolvedPath(const std::string& a, const std::string& b) {
    return fs::path(a).lexically_normal() == fs::path(b).lexically_normal();
}

}  // namespace qdat
