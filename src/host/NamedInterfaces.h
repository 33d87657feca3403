// The process-wide named-interface registry: factories registered under an
// interface name (the documents publish their table-editor descriptors under
// "QDocDataType"), and collectors that receive one object of every factory of a
// name, including factories registered after the collector was attached.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <qdat/host/Export.h>
#include <qdat/host/RuntimeClass.h>

namespace qdat {

using InterfaceFactory = std::function<std::unique_ptr<QObject>()>;

struct InterfaceEntry;

// One registered factory; returned by RegisterFactory and kept by the registry.
struct QDAT_API RegistrationNode {
    InterfaceEntry* entry;
    InterfaceFactory factory;
};

// Registers factory under name. The node lives as long as the process.
QDAT_API const RegistrationNode* RegisterFactory(std::string_view name, InterfaceFactory factory);

// Collects one object from every factory registered under a name. The
// registry keeps one list of collectors per name; a collector unregisters when
// destroyed.
class QDAT_API InterfaceCollector {
public:
    explicit InterfaceCollector(std::string_view name);
    ~InterfaceCollector();
    InterfaceCollector(const InterfaceCollector&) = delete;
    InterfaceCollector& operator=(const InterfaceCollector&) = delete;

    const std::vector<std::unique_ptr<QObject>>& Items() const { return m_items; }
    void Add(std::unique_ptr<QObject> item) { m_items.push_back(std::move(item)); }

private:
    InterfaceEntry* m_entry;
    std::vector<std::unique_ptr<QObject>> m_items;
};

// Names of every interface registered so far, in byte order.
QDAT_API std::vector<std::string> RegisteredInterfaceNames();

}  // namespace qdat
