// A value of the library's machine-read descriptions (a document's content,
// the kinds, a project): null, a flag, a whole number, a double, text, a list
// or fields in the order they were added. The tool prints it as JSON and the
// Python package hands it out as dicts and lists, so both show one
// description built in one place.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <qdat/host/Export.h>

namespace qdat {

class QDAT_API DataValue {
public:
    using List = std::vector<DataValue>;
    using Fields = std::vector<std::pair<std::string, DataValue>>;
    using Variant =
        std::variant<std::nullptr_t, bool, std::int64_t, std::uint64_t, double, std::string, List, Fields>;

    DataValue() = default;
    DataValue(std::nullptr_t) {}
    DataValue(bool value) : m_value(value) {}
    template <std::integral T>
    requires(!std::same_as<T, bool>) DataValue(T value) {
        if constexpr (std::is_signed_v<T>)
            m_value = static_cast<std::int64_t>(value);
        else
            m_value = static_cast<std::uint64_t>(value);
    }
    DataValue(double value) : m_value(value) {}
    DataValue(std::string text) : m_value(std::move(text)) {}
    DataValue(const char* text) : m_value(std::string(text)) {}
    DataValue(List list) : m_value(std::move(list)) {}
    DataValue(Fields fields) : m_value(std::move(fields)) {}

    // Empty fields and an empty list (a plain DataValue() is null).
    static DataValue Object() { return DataValue(Fields{}); }
    static DataValue Array() { return DataValue(List{}); }

    const Variant& Get() const { return m_value; }
    bool IsNull() const { return std::holds_alternative<std::nullptr_t>(m_value); }

    // The field of the key, added last when it is not there yet; the value
    // turns into fields first when it is null.
    DataValue& operator[](const std::string& key);
    // The field of the key; null when there is none (or this is no fields).
    const DataValue* Find(const std::string& key) const;
    // Adds an item to a list; a null value becomes the list first.
    void Push(DataValue value);

private:
    Variant m_value;
};

}  // namespace qdat
