// DmxFile: the profile ground line, the natural ground elevation along the
// centre line as (station, elevation) points sorted by station.
//
// Signatures: "RADUDAR5.83_DMX_SHUJU" (583, written), "RADUDAR5.8_DMX_SHUJU"
// (580), "RADUDAR5.8_DMX_SHUJU_PPC" (580, legacy layout) and "QARO5.0_DMX"
// (500, legacy binary layout without header, the signature being a string
// inside the content, followed by the chain table and the point count).
#pragma once

#include <optional>

#include <qdat/host/Export.h>
#include <qdat/profile/GroundPoints.h>
#include <qdat/station/ChainTable.h>

namespace qdat {

class QDAT_API DmxFile : public GroundPointDocument, public ChainTableCarrier {
public:
    // The legacy layout's signature as written inside the content.
    static constexpr const char* kLegacyContentSignature = "Qaro5.0_DMX";

    DmxFile();

    int SerializeContent(DataArchive& ar) override;
    // Writes with the chain table the file carries when no other is current.
    bool WriteToFile(File& file) override;
    void DeleteContents() override;

    // The chain table a file in the legacy layout carries; none for other files.
    const std::optional<ChainTable>& GetFileChainTable() const override;

    static const DocumentKind classRecord;
};

}  // namespace qdat
