#include <qdat/host/NamedInterfaces.h>

#include <algorithm>
#include <list>
#include <mutex>

namespace qdat {

struct InterfaceEntry {
    std::string name;
    std::list<RegistrationNode> factories;  // newest first
    std::vector<InterfaceCollector*> collectors;
};

namespace {
// One registry for the whole process. Every module of the process links this
// library, so a function-local static is shared by all of them.
std::vector<std::unique_ptr<InterfaceEntry>>& Registry() {
    static std::vector<std::unique_ptr<InterfaceEntry>> entries;
    return entries;
}

// Held while the registry or its collectors' lists change, and while a
// collector takes the items registered so far. Recursive: a factory may well
// collect the items of another interface.
std::recursive_mutex& RegistryLock() {
    static std::recursive_mutex lock;
    return lock;
}

InterfaceEntry* FindOrCreateEntry(std::string_view name) {
    auto& entries = Registry();
    auto it = std::lower_bound(
        entries.begin(), entries.end(), name,
        [](const std::unique_ptr<InterfaceEntry>& e, std::string_view n) { return e->name < n; });
    if (it != entries.end() && (*it)->name == name) return it->get();
    const auto index = it - entries.begin();
    if (entries.size() == entries.capacity()) entries.reserve(entries.size() + 64);
    auto entry = std::make_unique<InterfaceEntry>();
    entry->name = std::string(name);
    return entries.insert(entries.begin() + index, std::move(entry))->get();
}
}  // namespace

const RegistrationNode* RegisterFactory(std::string_view name, InterfaceFactory factory) {
    const std::lock_guard lock(RegistryLock());
    InterfaceEntry* entry = FindOrCreateEntry(name);
    entry->factories.push_front(RegistrationNode{entry, std::move(factory)});
    const RegistrationNode* node = &entry->factories.front();
    for (InterfaceCollector* c : entry->collectors)
        if (auto obj = node->factory()) c->Add(std::move(obj));
    return node;
}

InterfaceCollector::InterfaceCollector(std::string_view name) {
    const std::lock_guard lock(RegistryLock());
    m_entry = FindOrCreateEntry(name);
    for (const RegistrationNode& node : m_entry->factories)
        if (auto obj = node.factory()) m_items.push_back(std::move(obj));
    m_entry->collectors.push_back(this);
}

InterfaceCollector::~InterfaceCollector() {
    const std::lock_guard lock(RegistryLock());
    auto& cs = m_entry->collectors;
    cs.erase(std::remove(cs.begin(), cs.end(), this), cs.end());
}

std::vector<std::string> RegisteredInterfaceNames() {
    const std::lock_guard lock(RegistryLock());
    std::vector<std::string> names;
    for (const auto& e : Registry()) names.push_back(e->name);
    return names;
}

}  // namespace qdat
