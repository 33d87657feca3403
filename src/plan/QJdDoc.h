// QJdDoc: the intersection-point file, a road's horizontal alignment as
// designers enter it: intersection points with the curve wanted at each
// corner, and everything the curve computation derived from them when the file
// was saved (JdList computes it again).
//
// Signatures: "RADUDAR5.83_PM_SHUJU_JD" (583, written), "RADUDAR5.8_PM_SHUJU_JD"
// (580), "RADUDAR5.8_PM_SHUJU_JD_PPC" (580, legacy record order),
// "RADUDAR4.9_PM_SHUJU_JD" (500), "RADUDAR_PM_SHUJU_JD" (400, no auxiliary
// points), and the old binary files without header whose content begins with
// their signature as a string: "RADUDAR5.0_PM_SHUJU_JD_BYTE" (500, followed by
// the chain table) and "RADUDAR_PM_SHUJU_JD_BYTE" (400). The legacy layout is
// written as the 5.0 binary file.
#pragma once

#include <memory>
#include <optional>

#include <qdat/docbase/QDocument.h>
#include <qdat/host/Export.h>
#include <qdat/plan/JdList.h>
#include <qdat/station/ChainTable.h>

namespace qdat {

class QDAT_API QJdData : public DocumentData {
public:
    JdList List;
    std::optional<ChainTable> FileChainTable;  // the table a 5.0 file carries
};

class QDAT_API QJdDoc : public QDocument, public ChainTableCarrier {
public:
    // The legacy layout's signature as written at the start of its content.
    static constexpr const char* kLegacyContentSignature = "RaduDAR5.0_Pm_Shuju_Jd_BYTE";

    QJdDoc();

    int SerializeContent(DataArchive& ar) override;
    // Writes with the chain table the file carries when no other is current.
    bool WriteToFile(File& file) override;
    // Destroys every point and empties the list.
    void DeleteContents() override;

    JdList& GetList() { return DataAs<QJdData>().List; }
    const JdList& GetList() const { return DataAs<QJdData>().List; }
    const std::optional<ChainTable>& GetFileChainTable() const override {
        return DataAs<QJdData>().FileChainTable;
    }

    static const DocumentKind classRecord;
};

}  // namespace qdat
