#include <qdat/project/ProjectPaths.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include <qdat/host/HostPaths.h>

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
    return KindOfPath(resolved) == PathKind::RegularFile;
}

bool LiesInsideFolder(const std::string& folder, const std::string& resolved) {
    if (resolved.empty() || IsWindowsDrivePath(resolved)) return false;
    std::string base;
    std::string target;
    if (!CanonicalPath(folder.empty() ? std::string(".") : folder, base) || !CanonicalPath(resolved, target))
        return false;
    const fs::path relative = fs::path(target).lexically_relative(base);
    if (relative.empty() || relative == ".") return false;
    const std::string first = relative.begin()->string();
    return first != ".." && !relative.is_absolute();
}

bool IsOtherThanRegularFile(const std::string& resolved) {
    if (resolved.empty() || IsWindowsDrivePath(resolved)) return false;
    return KindOfPath(resolved) == PathKind::Other;
}

bool SameResolvedPath(const std::string& a, const std::string& b) {
    return fs::path(a).lexically_normal() == fs::path(b).lexically_normal();
}

}  // namespace qdat
