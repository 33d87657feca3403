#include "host/RuntimeClass.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace qdat {

namespace {
std::vector<const RuntimeClass*>& Registry() {
    static std::vector<const RuntimeClass*> records;
    return records;
}
}  // namespace

const RuntimeClass QObject::classRecord{"QObject", nullptr, nullptr};

const RuntimeClass& QObject::GetRuntimeClass() const {
    return classRecord;
}

bool QObject::IsKindOf(const RuntimeClass& cls) const {
    return GetRuntimeClass().IsDerivedFrom(cls);
}

RuntimeClass::RuntimeClass(const char* name, const RuntimeClass* base, Factory factory)
    : m_name(name), m_base(base), m_factory(std::move(factory)) {
    if (FromName(name)) throw std::logic_error(std::string("run-time class ") + name + " is defined twice");
    Registry().push_back(this);
}

std::unique_ptr<QObject> RuntimeClass::CreateObject() const {
    return m_factory ? m_factory() : nullptr;
}

bool RuntimeClass::IsDerivedFrom(const RuntimeClass& other) const {
    for (const RuntimeClass* c = this; c; c = c->m_base)
        if (c == &other) return true;
    return false;
}

const RuntimeClass* RuntimeClass::FromName(std::string_view name) {
    for (const RuntimeClass* c : Registry())
        if (name == c->m_name) return c;
    return nullptr;
}

std::unique_ptr<QObject> RuntimeClass::CreateObject(std::string_view name) {
    const RuntimeClass* c = FromName(name);
    return c ? c->CreateObject() : nullptr;
}

std::vector<const RuntimeClass*> RuntimeClass::All() {
    return Registry();
}

}  // namespace qdat
