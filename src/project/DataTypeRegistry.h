// The data types of a project: every kind of data file a project can name, by
// its type id, with its group, its name and extension, and the document class
// that opens it. A project holds one file entry per registered data type.
//
// The registry is built from the document kinds: each type string of a kind
// that carries a project group is a data type of that kind (docbase/
// DocumentKind.h). Data types whose kind is not part of the library yet are
// registered by class name with a built-in description; the class is looked
// up by name whenever a document is made, so such a type opens as soon as its
// kind is there. Hosts register further types with Register.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <qdat/host/Export.h>
#include <qdat/host/RuntimeClass.h>
#include <qdat/project/NameIndex.h>

namespace qdat {

class QDocument;

// What registers a data type.
struct QDAT_API DataTypeRecord {
    std::uint16_t id;
    std::uint16_t group;    // 0x8001 to 0x8004 (bit 15 set)
    const char* className;  // the document class that opens files of the type
    // The description used when no resource text has the id: "Name|description",
    // then the document-template fields, the last being the extension with its dot.
    const char* text;
};

class QDAT_API DataType {
public:
    explicit DataType(const DataTypeRecord& record);

    std::uint16_t GetId() const { return m_id; }
    std::uint16_t GetGroup() const { return m_group; }
    const std::string& GetClassName() const { return m_className; }
    // The resource text of the type's id, else the registered text.
    std::string GetDescription() const;
    // The description's part before the first "|".
    std::string GetName() const;
    // The description's part after its last "." (without the dot); empty when none.
    std::string GetExtension() const;
    std::string GetGroupName() const;

    // The class of the type's documents; null while no class of the name is
    // registered (its kind is not in the library).
    const RuntimeClass* GetDocumentClass() const;
    // A new empty document of the type; null without a document class.
    std::unique_ptr<QDocument> CreateDocument() const;

private:
    friend class DataTypeRegistry;

    std::uint16_t m_id;
    std::uint16_t m_group;
    std::string m_className;
    std::string m_text;
    bool m_fromKind = false;  // described by a kind's type string
};

class QDAT_API DataTypeRegistry {
public:
    // The process's registry: the kinds' data types and the built-in ones,
    // checked for duplicate ids when the library loads. Every call takes the
    // registry's lock: kinds and hosts may register types while others look.
    static DataTypeRegistry& Get();

    // Every data type, by id.
    std::vector<const DataType*> All();
    // Binary search by id; null when the id is not registered.
    const DataType* Find(std::uint32_t id);
    // Search by name (byte order); null when no type has the name.
    const DataType* FindByName(std::string_view name);

    // Registers a further data type. An id that is registered already for
    // another class, or a group without bit 15, is refused with
    // std::logic_error; registering a kind's own type again changes nothing.
    void Register(const DataTypeRecord& record);

    // The name of a data-type group (0x8001 to 0x8004).
    static std::string GroupName(std::uint16_t group);

private:
    DataTypeRegistry();
    // Takes in the data types of kinds registered since the last look.
    void Refresh();
    void Insert(const DataTypeRecord& record, bool fromKind);
    const DataType* FindId(std::uint32_t id) const;

    std::mutex m_lock;
    std::vector<std::unique_ptr<DataType>> m_types;
    std::vector<const DataType*> m_byId;
    NameIndex<DataType> m_names;
    std::size_t m_kindsSeen = 0;
    std::uint64_t m_kindsGeneration = 0;
};

}  // namespace qdat
