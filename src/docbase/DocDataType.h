// Data-type descriptors for the host's generic table editor. A document kind
// that can be edited as a table names its descriptors in its description
// (docbase/DocumentKind.h); each is registered under the interface name
// "QDocDataType" (host/NamedInterfaces.h), and the editor collects them and
// shows a document's rows through the descriptor that serves its class.
#pragma once

#include <string>

#include <qdat/docbase/DocumentKind.h>
#include <qdat/host/Export.h>
#include <qdat/host/NamedInterfaces.h>
#include <qdat/host/Resources.h>
#include <qdat/host/RuntimeClass.h>

namespace qdat {

class QDocument;

inline constexpr const char* kDocDataTypeInterface = "QDocDataType";

class QDAT_API DocDataType : public QObject {
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
    // Inserts a default row at index (0 to the row count); false for any
    // other index.
    virtual bool InsertRowAt(QDocument& doc, int index) const = 0;
    virtual bool DeleteRowAt(QDocument& doc, int index) const = 0;

    // Hooks the editor calls around its work; descriptors of this library
    // have nothing to add.
    virtual int OnBeginEdit(QDocument&) const { return 0; }
    virtual int OnEndEdit(QDocument&) const { return 0; }
    virtual int OnRowChanged(QDocument&, int) const { return 0; }
    virtual int OnCommand(QDocument&, int) const { return 0; }
};

// The descriptor every kind's editor types get: the rows of one list of the
// kind's content, with the list's columns.
class QDAT_API ContentBlockDataType : public DocDataType {
public:
    ContentBlockDataType(const DocumentKind& kind, const EditorType& type);

    int GetNameMessage() const override { return m_type.nameMessage; }
    int GetGroup() const override { return m_type.group; }
    int GetFirstDisplayNumber() const override { return m_type.firstDisplay; }
    int GetSecondDisplayNumber() const override { return m_type.secondDisplay; }
    const ColumnDescription* GetColumn(int index) const override;
    bool IsEditable() const override { return m_block.insertAt && m_block.removeAt; }
    const RuntimeClass& GetDocumentClass() const override { return m_kind; }

    int GetRowCount(QDocument& doc) const override;
    void* GetRowAt(QDocument& doc, int index) const override;
    bool InsertRowAt(QDocument& doc, int index) const override;
    bool DeleteRowAt(QDocument& doc, int index) const override;

private:
    bool Serves(const QDocument& doc) const;

    const DocumentKind& m_kind;
    EditorType m_type;
    const ContentBlock& m_block;
};

}  // namespace qdat
