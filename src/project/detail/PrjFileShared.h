// What the sources of PrjFile share: how a value stands in a line of the
// project file, the setting values a project starts with, the listeners'
// announcements, and why a file outside the project folder is left alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <qdat/docbase/QDocument.h>
#include <qdat/project/PrjFile.h>

namespace qdat::prj_file {

// A value as a line can end with it.
std::string TrimValue(std::string_view s);

// Whether a project file can hold text as a value: the file is read line by
// line, and a line holding "[" is a section's header.
bool IsWritableValue(std::string_view text);

// An empty value of every key of the global section, or of a segment's.
std::vector<SettingValue> ValuesOfKeys(bool perSegment);

// Each listener that announces the bit, with its interface.
template <class Visit>
void ForListeners(DocumentData& data, std::uint32_t bit, Visit visit) {
    for (auto pos = data.Listeners.GetHeadPosition(); pos;) {
        DocumentListener* listener = data.Listeners.GetNext(pos);
        if (listener->GetInterfaceVersion() & bit)
            if (!visit(*listener)) return;
    }
}

// Why a file outside the project folder was not read into the backup or written by the upgrade.
inline constexpr const char* kOutsideFolder =
    "it lies outside the project folder (--include-outside takes it)";

}  // namespace qdat::prj_file
