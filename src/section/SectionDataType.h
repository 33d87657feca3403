// The table editor's descriptor of the cross-section ground lines. Its rows
// are the sections, as the generic descriptor gives them; the editor also
// reaches the ground points of each side of a section through it.
#pragma once

#include <memory>

#include <qdat/docbase/DocDataType.h>
#include <qdat/host/Export.h>
#include <qdat/section/CrossSection.h>

namespace qdat {

class QDAT_API SectionDataType : public ContentBlockDataType {
public:
    using ContentBlockDataType::ContentBlockDataType;

    // The factory a kind's editor type names (EditorType::makeDescriptor).
    static std::unique_ptr<QObject> Make(const DocumentKind& kind, const EditorType& type);

    // Side 1 is the left side, 2 the right. A document of another kind, a
    // section or side that does not exist, or a point index out of range
    // gives 0, false or nothing.
    int GetPointCount(QDocument& doc, int section, int side) const;
    // A copy of the point's two values.
    bool GetPointAt(QDocument& doc, int section, int side, int index, SectionPoint& point) const;
    bool SetPointAt(QDocument& doc, int section, int side, int index, const SectionPoint& point) const;
    // Inserts the point (0, 0) at index, from 0 to the side's point count.
    bool InsertPointAt(QDocument& doc, int section, int side, int index) const;
    bool DeletePointAt(QDocument& doc, int section, int side, int index) const;

private:
    std::vector<SectionPoint>* SideOf(QDocument& doc, int section, int side) const;
};

}  // namespace qdat
