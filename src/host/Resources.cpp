#include <qdat/host/Resources.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <shared_mutex>
#include <stdexcept>
#include <string_view>

#include <qdat/host/Context.h>
#include <qdat/host/HostFile.h>

namespace qdat {

// A text and the printf conversions and inserts it takes: a language text is
// used only where it takes exactly those of the built-in text.
struct CheckedText {
    std::string text;
    std::string signature;
};

// Language texts loaded over the built-in ones. Never changed once a context
// holds them: loading or dropping texts makes new ones, so that the texts a
// context returned stay valid and contexts on other threads share them safely.
struct LanguageTexts {
    std::map<int, CheckedText> texts;
    std::uint64_t serial = 0;  // different for every set of texts made
};

namespace {

// Draws the serials of language texts and of the built-in registry, so that a
// generation made of the two changes with either.
std::atomic<std::uint64_t> g_serial{0};

// The built-in texts: a registry filled while the library loads; a host that
// registers a table later takes the lock like the library's own tables.
struct BuiltinTexts {
    std::shared_mutex lock;
    std::map<int, CheckedText> texts;  // entries are never replaced nor removed
    std::atomic<std::uint64_t> serial{0};
};

BuiltinTexts& Builtin() {
    static BuiltinTexts builtin;
    return builtin;
}

std::shared_ptr<const LanguageTexts> ChooseLanguage();

// The texts of the language found for the process, chosen once, by the first
// context that takes a text without having loaded texts of its own.
const LanguageTexts& ProcessLanguage() {
    static const std::shared_ptr<const LanguageTexts> texts = ChooseLanguage();
    return *texts;
}

const LanguageTexts& Language() {
    const Context& context = Context::Current();
    return context.texts ? *context.texts : ProcessLanguage();
}

std::shared_ptr<LanguageTexts> NewTexts() {
    auto texts = std::make_shared<LanguageTexts>();
    texts->serial = ++g_serial;
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

// Adds the texts of a language file to texts: the number of texts taken, -1
// when the file cannot be read.
int ReadLanguageFile(const std::string& path, LanguageTexts& texts) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return -1;
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
        std::string text = Unescape(std::string_view(line).substr(tab + 1));
        std::string signature = ConversionSignature(text);
        texts.texts[static_cast<int>(id)] = CheckedText{std::move(text), std::move(signature)};
        ++taken;
    }
    return taken;
}

std::shared_ptr<const LanguageTexts> ChooseLanguage() {
    std::vector<std::string> folders = {LibraryFolder()};
#ifdef QDAT_LANGDIR
    folders.push_back(QDAT_LANGDIR);
#endif
    for (const std::string& code : LanguageCandidates()) {
        for (const std::string& folder : folders) {
            const std::string path = folder + "/QDatFile60." + code + ".lang";
            std::shared_ptr<LanguageTexts> texts = NewTexts();
            if (FileExists(path) && ReadLanguageFile(path, *texts) >= 0) return texts;
        }
    }
    return NewTexts();
}

}  // namespace

ResourceTable::ResourceTable(std::initializer_list<ResourceString> strings) {
    RegisterResourceStrings(std::span<const ResourceString>(strings.begin(), strings.size()));
}

void RegisterResourceStrings(std::span<const ResourceString> strings) {
    BuiltinTexts& registry = Builtin();
    const std::lock_guard lock(registry.lock);
    auto& builtin = registry.texts;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        bool twice = builtin.count(strings[i].id) != 0;
        for (std::size_t j = 0; j < i && !twice; ++j) twice = strings[j].id == strings[i].id;
        if (twice)
            throw std::logic_error("resource string " + std::to_string(strings[i].id) + " is defined twice");
    }
    for (const ResourceString& s : strings) builtin[s.id] = CheckedText{s.text, ConversionSignature(s.text)};
    registry.serial = ++g_serial;
}

bool HasBuiltinResourceString(int id) {
    BuiltinTexts& registry = Builtin();
    const std::shared_lock lock(registry.lock);
    return registry.texts.count(id) != 0;
}

std::uint64_t ResourceGeneration() {
    // Serials stay far below 2^32: one is drawn per table and per language file.
    return Builtin().serial.load() << 32 ^ Language().serial;
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
    const auto& language = Language().texts;
    BuiltinTexts& registry = Builtin();
    const std::shared_lock lock(registry.lock);
    const auto& builtin = registry.texts;
    const auto b = builtin.find(id);
    const auto l = language.find(id);
    // A language text must take exactly the arguments of the built-in text;
    // anything else would make the formatter read arguments that are not there.
    if (l != language.end() && b != builtin.end() && l->second.signature == b->second.signature)
        return l->second.text;
    return b != builtin.end() ? b->second.text : empty;
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
    // The texts of the file go over those the context has.
    auto texts = NewTexts();
    texts->texts = Language().texts;
    const int taken = ReadLanguageFile(path, *texts);
    if (taken < 0) return -1;
    Context::Current().texts = std::move(texts);
    return taken;
}

void ClearLanguageTexts() {
    Context::Current().texts = NewTexts();
}

void SelectLanguage() {
    Context::Current().texts = ChooseLanguage();
}

}  // namespace qdat
