// Run-time class records: a name, a base record and a factory, so that the host
// can create documents and stations by class name and test derivation.
#pragma once

#include <qdat/host/Export.h>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace qdat {

class RuntimeClass;

// Root of every class that has a run-time class record.
class QDAT_API QObject {
public:
    virtual ~QObject() = default;
    virtual const RuntimeClass& GetRuntimeClass() const;
    bool IsKindOf(const RuntimeClass& cls) const;

    static const RuntimeClass classRecord;
};

class QDAT_API RuntimeClass {
public:
    using Factory = std::function<std::unique_ptr<QObject>()>;

    // Registers the record in the process-wide list. Records are static objects
    // defined next to their class; base may be null only for QObject. A name
    // that is registered already is refused with std::logic_error.
    RuntimeClass(const char* name, const RuntimeClass* base, Factory factory);
    RuntimeClass(const RuntimeClass&) = delete;
    RuntimeClass& operator=(const RuntimeClass&) = delete;

    const char* GetName() const { return m_name; }
    const RuntimeClass* GetBase() const { return m_base; }
    bool IsCreatable() const { return static_cast<bool>(m_factory); }
    // A new object of the class, or null when the class has no factory.
    std::unique_ptr<QObject> CreateObject() const;
    bool IsDerivedFrom(const RuntimeClass& other) const;

    // The record registered under name, or null.
    static const RuntimeClass* FromName(std::string_view name);
    // A new object of the named class, or null.
    static std::unique_ptr<QObject> CreateObject(std::string_view name);
    // Every registered record, in registration order.
    static std::vector<const RuntimeClass*> All();

private:
    const char* m_name;
    const RuntimeClass* m_base;
    Factory m_factory;
};

// Creates an object of a class derived from T by name; null when the name is
// unknown or the class does not derive from T.
template <class T>
std::unique_ptr<T> CreateObjectAs(std::string_view name) {
    std::unique_ptr<QObject> obj = RuntimeClass::CreateObject(name);
    if (T* typed = dynamic_cast<T*>(obj.get())) {
        obj.release();
        return std::unique_ptr<T>(typed);
    }
    return nullptr;
}

}  // namespace qdat
