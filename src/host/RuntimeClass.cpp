#include <qdat/host/RuntimeClass.h>

#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <string>

namespace qdat {

namespace {

// Filled while the library loads; a host that defines classes later takes the
// lock as the library's own do.
struct Registry {
    std::shared_mutex lock;
    std::vector<const RuntimeClass*> records;
};

Registry& Classes() {
    static Registry registry;
    return registry;
}

const RuntimeClass* FindLocked(const Registry& registry, std::string_view name) {
    for (const RuntimeClass* c : registry.records)
        if (name == c->GetName()) return c;
    return nullptr;
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
    Registry& registry = Classes();
    const std::lock_guard lock(registry.lock);
    if (FindLocked(registry, name))
        throw std::logic_error(std::string("run-time class ") + name + " is defined twice");
    registry.records.push_back(this);
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
    Registry& registry = Classes();
    const std::shared_lock lock(registry.lock);
    return FindLocked(registry, name);
}

std::unique_ptr<QObject> RuntimeClass::CreateObject(std::string_view name) {
    const RuntimeClass* c = FromName(name);
    return c ? c->CreateObject() : nullptr;
}

std::vector<const RuntimeClass*> RuntimeClass::All() {
    Registry& registry = Classes();
    const std::shared_lock lock(registry.lock);
    return registry.records;
}

}  // namespace qdat
