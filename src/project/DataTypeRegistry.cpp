#include <qdat/project/DataTypeRegistry.h>

#include <algorithm>
#include <stdexcept>

#include <qdat/docbase/DocumentKind.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/host/Resources.h>
#include <qdat/project/detail/ProjectStrings.h>

namespace qdat {

namespace {

// Data types whose document kinds are not part of the library yet. Each
// opens once a class of its name is registered; a kind that describes the
// same type with a type string of the same id and class takes its place.
constexpr DataTypeRecord kTypesOfComingKinds[] = {
    {114, 0x8002, "CQDQDoc", "QDQ records|QDQ record file\nQDQ records\nQdq\nQDQ record files (*.qdq)\n.qdq"},
    {119, 0x8003, "QDZDoc", "DZ records|DZ record file\nDZ records\nDz\nDZ record files (*.dz)\n.dz"},
    {120, 0x8001, "QHDMSJDoc",
     "Cross-section design|Cross-section design records\nCross-section design\nSectionDesign\n"
     "Cross-section design files (*.hsj)\n.hsj"},
    {121, 0x8001, "QHDMSJDoc",
     "Cross-section items|Cross-section item records\nCross-section items\nSectionItems\n"
     "Cross-section item files (*.hxm)\n.hxm"},
    {122, 0x8003, "QOldRoadDoc",
     "Old road|Old road records\nOld road\nOldRoad\nOld road files (*.old)\n.old"},
    {123, 0x8001, "QHSWDoc", "HSW records|HSW record file\nHSW records\nHsw\nHSW record files (*.hsw)\n.hsw"},
    {125, 0x8002, "QXJJDoc",
     "Track spacing|Railway track-spacing file\nTrack spacing\nTrackSpacing\nTrack-spacing files "
     "(*.xjj)\n.xjj"},
};

// Built when the library loads, so that two registrations of one id stop it
// there and not when a user's project happens to name the type.
const bool kCheckedAtLoad = (DataTypeRegistry::Get(), true);

}  // namespace

// ---------------------------------------------------------------------------

DataType::DataType(const DataTypeRecord& record)
    : m_id(record.id),
      m_group(record.group),
      m_className(record.className ? record.className : ""),
      m_text(record.text ? record.text : "") {}

std::string DataType::GetDescription() const {
    std::string text = LoadResourceString(m_id);
    return text.empty() ? m_text : text;
}

std::string DataType::GetName() const {
    const std::string text = GetDescription();
    return text.substr(0, text.find('|'));
}

std::string DataType::GetExtension() const {
    const std::string text = GetDescription();
    const auto dot = text.rfind('.');
    return dot == std::string::npos ? std::string() : text.substr(dot + 1);
}

std::string DataType::GetGroupName() const {
    return DataTypeRegistry::GroupName(m_group);
}

const RuntimeClass* DataType::GetDocumentClass() const {
    return m_className.empty() ? nullptr : RuntimeClass::FromName(m_className);
}

std::unique_ptr<QDocument> DataType::CreateDocument() const {
    const RuntimeClass* cls = GetDocumentClass();
    if (!cls) return nullptr;
    return CreateObjectAs<QDocument>(cls->GetName());
}

// ---------------------------------------------------------------------------

DataTypeRegistry& DataTypeRegistry::Get() {
    static DataTypeRegistry registry;
    return registry;
}

DataTypeRegistry::DataTypeRegistry() {
    for (const DataTypeRecord& record : kTypesOfComingKinds) {
        if (FindId(record.id))
            throw std::logic_error("data type " + std::to_string(record.id) + " is listed twice");
        Insert(record, false);
    }
}

std::string DataTypeRegistry::GroupName(std::uint16_t group) {
    if (group < 0x8001 || group > 0x8004) return {};
    return LoadResourceString(project_strings::kFirstDataTypeGroupName + (group - 0x8001));
}

void DataTypeRegistry::Refresh() {
    // Kinds register their type strings as resource texts: while the texts
    // have not changed, no kind has come.
    const std::uint64_t generation = ResourceGeneration();
    if (generation == m_kindsGeneration) return;
    const std::vector<const DocumentKind*> kinds = DocumentKind::All();
    if (kinds.size() != m_kindsSeen) {
        for (const DocumentKind* kind : kinds) {
            for (const TypeString& t : kind->Description().typeStrings) {
                if (t.id == 0 || !(t.projectGroup & 0x8000)) continue;  // no data type of a project
                Insert({static_cast<std::uint16_t>(t.id), t.projectGroup, kind->GetName(), t.text}, true);
            }
        }
        m_kindsSeen = kinds.size();
    }
    m_kindsGeneration = generation;
}

void DataTypeRegistry::Insert(const DataTypeRecord& record, bool fromKind) {
    if (!(record.group & 0x8000))
        throw std::logic_error("data type " + std::to_string(record.id) + ": group without bit 15");
    const auto at = std::lower_bound(m_byId.begin(), m_byId.end(), record.id,
                                     [](const DataType* t, std::uint32_t id) { return t->GetId() < id; });
    if (at != m_byId.end() && (*at)->GetId() == record.id) {
        DataType* type = nullptr;
        for (const auto& owned : m_types)
            if (owned.get() == *at) type = owned.get();
        if (type->m_className != (record.className ? record.className : ""))
            throw std::logic_error("data type " + std::to_string(record.id) + " is registered for both " +
                                   type->m_className + " and " + record.className);
        if (fromKind && !type->m_fromKind) {
            // The kind has come: its own description replaces the stand-in.
            type->m_group = record.group;
            type->m_text = record.text ? record.text : "";
            type->m_fromKind = true;
        }
        return;
    }
    m_types.push_back(std::make_unique<DataType>(record));
    m_types.back()->m_fromKind = fromKind;
    m_byId.insert(at, m_types.back().get());
}

std::vector<const DataType*> DataTypeRegistry::All() {
    const std::lock_guard lock(m_lock);
    Refresh();
    return m_byId;
}

const DataType* DataTypeRegistry::Find(std::uint32_t id) {
    const std::lock_guard lock(m_lock);
    Refresh();
    return FindId(id);
}

const DataType* DataTypeRegistry::FindId(std::uint32_t id) const {
    const auto at = std::lower_bound(m_byId.begin(), m_byId.end(), id,
                                     [](const DataType* t, std::uint32_t key) { return t->GetId() < key; });
    return at != m_byId.end() && (*at)->GetId() == id ? *at : nullptr;
}

const DataType* DataTypeRegistry::FindByName(std::string_view name) {
    const std::lock_guard lock(m_lock);
    Refresh();
    return m_names.Find(name, m_byId, [](const DataType& t) { return t.GetName(); });
}

void DataTypeRegistry::Register(const DataTypeRecord& record) {
    const std::lock_guard lock(m_lock);
    Refresh();
    Insert(record, false);
}

}  // namespace qdat
