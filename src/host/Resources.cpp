#include "host/Resources.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "host/HostFile.h"
#include "host/ProcessState.h"

namespace qdat {

// The language texts loaded over the built-in ones, part of the process state.
struct LanguageText {
    std::string text;
    std::optional<bool> valid;  // checked against the built-in text on first use
};

struct LanguageTexts {
    std::map<int, LanguageText> texts;
    bool selected = false;
};

namespace {

LanguageTexts& Language() {
    ProcessState& process = Process();
    if (!process.texts) process.texts = std::make_shared<LanguageTexts>();
    return *process.texts;
}

// The built-in texts: a registry filled while the library loads.
std::map<int, std::string>& Builtin() {
    static std::map<int, std::string> texts;
    return texts;
}

std::string Unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char c = s[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The folder that holds this library, found through one of its own symbols.
std::string LibraryFolder() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) && info.dli_fname) {
        std::string path = info.dli_fname;
        const auto slash = path.find_last_of('/');
        if (slash != std::string::npos) return path.substr(0, slash);
    }
    return ".";
}

std::vector<std::string> LanguageCandidates() {
    std::string code;
    for (const char* var : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value) {
            code = value;
            break;
        }
    }
    code = code.substr(0, code.find(':'));
    code = code.substr(0, code.find_first_of(".@"));
    std::vector<std::string> codes;
    if (!code.empty() && code != "C" && code != "POSIX") {
        codes.push_back(code);
        const auto underscore = code.find('_');
        if (underscore != std::string::npos) codes.push_back(code.substr(0, underscore));
    }
    codes.push_back("neutral");
    return codes;
}

void EnsureLanguageSelected() {
    if (!Language().selected) SelectLanguage();
}

}  // namespace

ResourceTable::ResourceTable(std::initializer_list<ResourceString> strings) {
    RegisterResourceStrings(std::span<const ResourceString>(strings.begin(), strings.size()));
}

void RegisterResourceStrings(std::span<const ResourceString> strings) {
    auto& builtin = Builtin();
    for (std::size_t i = 0; i < strings.size(); ++i) {
        bool twice = builtin.count(strings[i].id) != 0;
        for (std::size_t j = 0; j < i && !twice; ++j) twice = strings[j].id == strings[i].id;
        if (twice)
            throw std::logic_error("resource string " + std::to_string(strings[i].id) + " is defined twice");
    }
    for (const ResourceString& s : strings) builtin[s.id] = s.text;
    ++Process().textGeneration;
}

bool HasBuiltinResourceString(int id) {
    return Builtin().count(id) != 0;
}

std::string ConversionSignature(std::string_view text) {
    std::string conversions;
    std::vector<std::string> inserts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        std::size_t j = i + 1;
        if (j < text.size() && text[j] == '%') {
            i = j;
            continue;
        }
        std::string stars;
        while (j < text.size() && std::string_view("-+ #0'").find(text[j]) != std::string_view::npos) ++j;
        const std::size_t digitsStart = j;
        while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == '*')) {
            if (text[j] == '*') stars += '*';
            ++j;
        }
        const std::size_t digitsEnd = j;
        if (j < text.size() && text[j] == '.') {
            ++j;
            while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == '*')) {
                if (text[j] == '*') stars += '*';
                ++j;
            }
        }
        std::string length;
        while (j < text.size() && std::string_view("hlLqjzt").find(text[j]) != std::string_view::npos)
            length += text[j++];
        const char conv = j < text.size() ? text[j] : '\0';
        std::string_view convs = "diouxXfFeEgGaAcspn";
        if (conv == '\0' || convs.find(conv) == std::string_view::npos) {
            // Not a printf conversion: a numbered insert such as %1.
            if (digitsEnd > digitsStart && digitsStart == i + 1)
                inserts.push_back(std::string(text.substr(digitsStart, digitsEnd - digitsStart)));
            i = digitsEnd - 1;
            continue;
        }
        char kind = conv;
        if (std::string_view("di").find(conv) != std::string_view::npos)
            kind = 'd';
        else if (std::string_view("ouxX").find(conv) != std::string_view::npos)
            kind = 'u';
        else if (std::string_view("fFeEgGaA").find(conv) != std::string_view::npos)
            kind = 'f';
        if (length == "l" && kind == 'f') length.clear();  // %lf and %f both take a double in printf
        conversions += stars + length + kind + ',';
        i = j;
    }
    std::sort(inserts.begin(), inserts.end());
    std::string sig = conversions + '|';
    for (const auto& s : inserts) sig += s + ',';
    return sig;
}

const std::string& ResourceText(int id) {
    static const std::string empty;
    EnsureLanguageSelected();
    const auto& builtin = Builtin();
    auto& language = Language().texts;
    auto b = builtin.find(id);
    auto l = language.find(id);
    if (l != language.end()) {
        if (!l->second.valid) {
            // A language text must take exactly the arguments of the built-in text;
            // anything else would make the formatter read arguments that are not there.
            l->second.valid =
                b != builtin.end() && ConversionSignature(l->second.text) == ConversionSignature(b->second);
        }
        if (*l->second.valid) return l->second.text;
    }
    return b != builtin.end() ? b->second : empty;
}

std::string LoadResourceString(int id) {
    return ResourceText(id);
}

std::string FormatResourceMessage(int id, std::string_view insert1, std::string_view insert2) {
    const std::string text = LoadResourceString(id);
    std::string out;
    out.reserve(text.size() + insert1.size() + insert2.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size()) {
            const char c = text[i + 1];
            if (c == '1' || c == '2') {
                out += c == '1' ? insert1 : insert2;
                ++i;
                continue;
            }
            if (c == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

int LoadLanguageFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return -1;
    LanguageTexts& store = Language();
    int taken = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        char* end = nullptr;
        const long id = std::strtol(line.c_str(), &end, 10);
        if (end != line.c_str() + tab) continue;
        store.texts[static_cast<int>(id)] =
            LanguageText{Unescape(std::string_view(line).substr(tab + 1)), {}};
        ++taken;
    }
    store.selected = true;
    ++Process().textGeneration;
    return taken;
}

void ClearLanguageTexts() {
    Language().texts.clear();
    Language().selected = true;
    ++Process().textGeneration;
}

void SelectLanguage() {
    LanguageTexts& store = Language();
    store.selected = true;
    store.texts.clear();
    ++Process().textGeneration;
    std::vector<std::string> folders = {LibraryFolder()};
#ifdef QDAT_LANGDIR
    folders.push_back(QDAT_LANGDIR);
#endif
    for (const std::string& code : LanguageCandidates()) {
        for (const std::string& folder : folders) {
            const std::string path = folder + "/QDatFile60." + code + ".lang";
            if (FileExists(path) && LoadLanguageFile(path) >= 0) return;
        }
    }
}

}  // namespace qdat
