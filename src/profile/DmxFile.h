// DmxFile: the profile ground line, the natural ground elevation along the
// centre line as (station, elevation) points sorted by station.
//
// Signatures: "RADUDAR5.83_DMX_SHUJU" (583, written), "RADUDAR5.8_DMX_SHUJU"
// (580), "RADUDAR5.8_DMX_SHUJU_PPC" (580, legacy layout) and "QARO5.0_DMX"
// (500, legacy binary layout without header, the signature being a string
// inside the content, followed by the chain table and the point count).
#pragma once

#include <string>

#include "profile/GroundPoints.h"

namespace qdat {

class DmxFile : public GroundPointDocument {
public:
    static constexpr std::uint32_t kCurrentVersion = 583;
    static constexpr const char* kSignature = "RADUDAR5.83_DMX_SHUJU";
    static constexpr const char* kSignature580 = "RADUDAR5.8_DMX_SHUJU";
    static constexpr const char* kSignaturePpc = "RADUDAR5.8_DMX_SHUJU_PPC";
    static constexpr const char* kSignatureLegacy = "QARO5.0_DMX";
    // The legacy layout's signature as written inside the content.
    static constexpr const char* kLegacyContentSignature = "Qaro5.0_DMX";

    DmxFile();

    int SerializeContent(DataArchive& ar) override;
    std::string GetSignature() override;
    bool ParseSignature(const std::string& signature) override;
    std::string GetTypeString() override;


    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override { return classRecord; }
};

}  // namespace qdat
