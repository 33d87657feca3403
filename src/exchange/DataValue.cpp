#include <qdat/exchange/DataValue.h>

#include <stdexcept>

namespace qdat {

DataValue& DataValue::operator[](const std::string& key) {
    if (IsNull()) m_value = Fields{};
    Fields* fields = std::get_if<Fields>(&m_value);
    if (!fields) throw std::logic_error("a field \"" + key + "\" asked of a value that has no fields");
    for (auto& [name, value] : *fields)
        if (name == key) return value;
    return fields->emplace_back(key, DataValue()).second;
}

const DataValue* DataValue::Find(const std::string& key) const {
    const Fields* fields = std::get_if<Fields>(&m_value);
    if (!fields) return nullptr;
    for (const auto& [name, value] : *fields)
        if (name == key) return &value;
    return nullptr;
}

void DataValue::Push(DataValue value) {
    if (IsNull()) m_value = List{};
    List* list = std::get_if<List>(&m_value);
    if (!list) throw std::logic_error("an item added to a value that is no list");
    list->push_back(std::move(value));
}

}  // namespace qdat
