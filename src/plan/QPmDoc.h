// QPmDoc: the plan element file, a horizontal alignment stored as its
// sequence of elements (straights, arcs and spirals) with the alignment's start
// and end descriptions.
//
// Signatures: "RADUDAR5.83_PM_SHUJU_PM" (583, written), "RADUDAR5.8_PM_SHUJU_PM"
// (580), "RADUDAR5.8_PM_SHUJU_PM_PPC" (580, legacy layout), and the legacy
// binary file without a signature, whose first byte 0x04 is the schema number
// of its chain table.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <qdat/docbase/QDocument.h>
#include <qdat/host/Export.h>
#include <qdat/plan/PlanAlignment.h>
#include <qdat/station/ChainTable.h>

namespace qdat {

class QDAT_API QPmData : public DocumentData {
public:
    PlanAlignment Alignment;
    std::optional<ChainTable> FileChainTable;  // the table a legacy file carries
};

class QDAT_API QPmDoc : public QDocument, public ChainTableCarrier {
public:
    QPmDoc();

    int SerializeContent(DataArchive& ar) override;
    // Writes with the chain table the file carries when no other is current.
    bool WriteToFile(File& file) override;
    // Destroys all elements of the alignment, empties the array and sets
    // ElementCount to 0.
    void DeleteContents() override;

    PlanAlignment& GetAlignment() { return DataAs<QPmData>().Alignment; }
    const PlanAlignment& GetAlignment() const { return DataAs<QPmData>().Alignment; }
    // The chain table a file in the legacy layout carries; none for other files.
    const std::optional<ChainTable>& GetFileChainTable() const override {
        return DataAs<QPmData>().FileChainTable;
    }

    static const DocumentKind classRecord;
};

}  // namespace qdat
