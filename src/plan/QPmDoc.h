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
#include <string>

#include "docbase/QDocument.h"
#include "plan/PlanAlignment.h"

namespace qdat {

class QPmData : public DocumentData {
public:
    PlanAlignment Alignment;
};

class QPmDoc : public QDocument {
public:
    static constexpr std::uint32_t kCurrentVersion = 583;
    static constexpr const char* kSignature = "RADUDAR5.83_PM_SHUJU_PM";
    static constexpr const char* kSignature580 = "RADUDAR5.8_PM_SHUJU_PM";
    static constexpr const char* kSignaturePpc = "RADUDAR5.8_PM_SHUJU_PM_PPC";

    QPmDoc();

    int SerializeContent(DataArchive& ar) override;
    // The current signature, or none in the legacy layout.
    std::string GetSignature() override;
    bool ParseSignature(const std::string& signature) override;
    std::string GetTypeString() override;
    // Destroys all elements of the alignment, empties the array and sets
    // ElementCount to 0.
    void DeleteContents() override;

    PlanAlignment& GetAlignment() { return DataAs<QPmData>().Alignment; }
    const PlanAlignment& GetAlignment() const { return DataAs<QPmData>().Alignment; }

    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override { return classRecord; }
};

}  // namespace qdat
