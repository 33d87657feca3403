// Data-type descriptors for the host's generic table editor. A document class
// that can be edited as a table registers one factory per descriptor under the
// interface name "QDocDataType" (host/NamedInterfaces.h); the editor collects
// them and shows a document's rows through the descriptor that serves its class.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "docbase/QDocument.h"
#include "host/NamedInterfaces.h"
#include "host/Resources.h"
#include "host/RuntimeClass.h"

namespace qdat {

inline constexpr const char* kDocDataTypeInterface = "QDocDataType";

// One column of a row: its key (the data-model field name in lowerCamelCase),
// what kind of value it holds, and how to read and write the value of a row.
struct ColumnDescription {
    enum class Kind { Station, Double, Unsigned };
    const char* key;
    Kind kind;
    double (*get)(const void* row);
    void (*set)(void* row, double value);
};

class DocDataType : public QObject {
public:
    // Resource message of the descriptor's name, group number and the two
    // display numbers; their meaning belongs to the host.
    virtual int GetNameMessage() const = 0;
    virtual int GetGroup() const = 0;
    virtual int GetFirstDisplayNumber() const = 0;
    virtual int GetSecondDisplayNumber() const = 0;
    // Where the texts of the numbers live. The library's resource tables,
    // with the language file over them, answer every number.
    virtual std::string GetResourceText(int id) const { return LoadResourceString(id); }
    // The column at index, or null past the last column.
    virtual const ColumnDescription* GetColumn(int index) const = 0;
    virtual bool IsEditable() const { return true; }
    // The document class whose rows this descriptor shows.
    virtual const RuntimeClass& GetDocumentClass() const = 0;

    // Row operations on a document of that class; a document of another class
    // has no rows (0, null, false).
    virtual int GetRowCount(QDocument& doc) const = 0;
    virtual void* GetRowAt(QDocument& doc, int index) const = 0;
    virtual bool InsertRowAt(QDocument& doc, int index) const = 0;
    virtual bool DeleteRowAt(QDocument& doc, int index) const = 0;

    // Hooks the editor calls around its work; descriptors of this library
    // have nothing to add.
    virtual int OnBeginEdit(QDocument&) const { return 0; }
    virtual int OnEndEdit(QDocument&) const { return 0; }
    virtual int OnRowChanged(QDocument&, int) const { return 0; }
    virtual int OnCommand(QDocument&, int) const { return 0; }
};

}  // namespace qdat
