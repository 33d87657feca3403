// Language resources: every numbered string the library shows or uses as a
// format has a built-in English text; a language file can override texts.
#pragma once

#include <qdat/host/Export.h>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qdat {

struct QDAT_API ResourceString {
    int id;
    const char* text;
};

// A table of built-in texts, registered when the library loads. Each module
// keeps its own table next to the code that uses the numbers. A number that
// another table already holds is refused with std::logic_error: two modules
// would otherwise overwrite each other's text depending on the load order.
class QDAT_API ResourceTable {
public:
    ResourceTable(std::initializer_list<ResourceString> strings);
};
QDAT_API void RegisterResourceStrings(std::span<const ResourceString> strings);
// Whether a built-in text has this number.
QDAT_API bool HasBuiltinResourceString(int id);

// The text of message id: the language file's text when one is loaded and
// valid, else the built-in text, else an empty string.
QDAT_API std::string LoadResourceString(int id);
// The same text without a copy; valid until language texts are loaded or
// cleared under the current context.
QDAT_API const std::string& ResourceText(int id);

// Replaces the inserts %1 and %2 of message id by the given texts.
QDAT_API std::string FormatResourceMessage(int id, std::string_view insert1 = {},
                                           std::string_view insert2 = {});

// Formats with message id as a printf format. Language texts whose conversions
// differ from the built-in text are rejected when loaded, so this is safe for
// every text that can be returned.
template <class... Args>
std::string FormatResource(int id, Args... args) {
    const std::string format = LoadResourceString(id);
    int size = std::snprintf(nullptr, 0, format.c_str(), args...);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    std::snprintf(out.data(), out.size() + 1, format.c_str(), args...);
    return out;
}

// Reads a language file into the texts of the current context, over those it
// has: lines "id<TAB>text", "#" comments, escapes \n \t \\.
// A text whose printf conversions or inserts differ from the built-in text of
// the same number is ignored. Returns the number of texts taken; -1 when the
// file cannot be read.
QDAT_API int LoadLanguageFile(const std::string& path);

// Drops every loaded language text of the current context.
QDAT_API void ClearLanguageTexts();

// Looks for a language file beside the library (and in the installed data
// folder), for the language named by LANGUAGE, LC_ALL, LC_MESSAGES or LANG,
// then the bare language code, then the neutral file, and makes its texts
// those of the current context. Every context starts with the texts so found
// for the process, the first time any text is taken.
QDAT_API void SelectLanguage();

// The sequence of printf conversions and %N inserts of a text, used to check
// language texts against the built-in ones. Exposed for tests.
QDAT_API std::string ConversionSignature(std::string_view text);

// A number that changes whenever any text of the current context may have
// changed (a table registered, a language file loaded or dropped, another
// context made current), so that values derived from texts can be kept between
// calls and rebuilt only when they may be stale.
QDAT_API std::uint64_t ResourceGeneration();

}  // namespace qdat
