// QZKZDoc: the profile controls (ZDM_CTRL), the constraints a vertical design
// must respect: start and end controls, grade point controls, elevation
// controls, structure controls and minimum fill controls. The document only
// keeps them; what the values mean is up to the host that applies them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <qdat/docbase/GrowArray.h>
#include <qdat/docbase/QDocument.h>
#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>

namespace qdat {

// A control at one station (sections "BPD_CTRL" and "SJGC_CTRL").
struct QDAT_API ControlPoint {
    QStation Station;
    double Value1 = 0.0;
    double Value2 = 0.0;
};

// A control over a station range (section "GZW_CTRL"); Value1 belongs to
// FromStation, Value2 to ToStation.
struct QDAT_API ControlRange {
    QStation FromStation;
    QStation ToStation;
    double Value1 = 0.0;
    double Value2 = 0.0;
};

// A minimum fill over a station range (section "MINTG_CTRL").
struct QDAT_API FillRange {
    QStation FromStation;
    QStation ToStation;
    double Value = 0.0;
};

// The start and end controls (section "OD_CTRL"). 9999 marks a value not set.
struct QDAT_API EndControls {
    static constexpr double kUnset = 9999.0;

    QStation StartStation;
    QStation EndStation;
    double StartValue1 = kUnset;
    double EndValue1 = kUnset;
    double StartValue2 = kUnset;
    double EndValue2 = kUnset;
};

// The document's data block: the pipeline's state followed by the controls.
class QDAT_API ProfileControls : public DocumentData, public EndControls {
public:
    GrowArray<ControlPoint> GradePointControls;
    GrowArray<ControlPoint> ElevationControls;
    GrowArray<ControlRange> StructureControls;
    GrowArray<FillRange> MinFillControls;
};

class QDAT_API QZKZDoc : public QDocument {
public:
    QZKZDoc();
    ~QZKZDoc() override;

    // Document virtuals. The file is always text (the kind is text only): the
    // keyword sections can only be found by looking at the next token.
    int SerializeContent(DataArchive& ar) override;
    void DeleteContents() override;

    ProfileControls* GetControls() { return &DataAs<ProfileControls>(); }
    EndControls* GetEndControls() { return &DataAs<ProfileControls>(); }

    int GetGradePointControlCount() { return GetControls()->GradePointControls.GetSize(); }
    ControlPoint* GetGradePointControl(int index);
    int GetElevationControlCount() { return GetControls()->ElevationControls.GetSize(); }
    ControlPoint* GetElevationControl(int index);
    int GetStructureControlCount() { return GetControls()->StructureControls.GetSize(); }
    ControlRange* GetStructureControl(int index);
    int GetMinFillControlCount() { return GetControls()->MinFillControls.GetSize(); }
    FillRange* GetMinFillControl(int index);

    static const DocumentKind classRecord;

private:
    void ResetControls();
    void Load(DataArchive& ar);
    void Store(DataArchive& ar);
};

}  // namespace qdat
