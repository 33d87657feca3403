#include <qdat/section/SectionDataType.h>

#include <qdat/docbase/QDocument.h>

namespace qdat {

std::unique_ptr<QObject> SectionDataType::Make(const DocumentKind& kind, const EditorType& type) {
    return std::make_unique<SectionDataType>(kind, type);
}

std::vector<SectionPoint>* SectionDataType::SideOf(QDocument& doc, int section, int side) const {
    // The generic descriptor hands out rows only of its own kind's documents.
    auto* row = static_cast<CrossSection*>(GetRowAt(doc, section));
    return row ? row->GetSide(side) : nullptr;
}

int SectionDataType::GetPointCount(QDocument& doc, int section, int side) const {
    const std::vector<SectionPoint>* points = SideOf(doc, section, side);
    return points ? static_cast<int>(points->size()) : 0;
}

bool SectionDataType::GetPointAt(QDocument& doc, int section, int side, int index,
                                 SectionPoint& point) const {
    const std::vector<SectionPoint>* points = SideOf(doc, section, side);
    if (!points || index < 0 || index >= static_cast<int>(points->size())) return false;
    point = (*points)[static_cast<std::size_t>(index)];
    return true;
}

bool SectionDataType::SetPointAt(QDocument& doc, int section, int side, int index,
                                 const SectionPoint& point) const {
    std::vector<SectionPoint>* points = SideOf(doc, section, side);
    if (!points || index < 0 || index >= static_cast<int>(points->size())) return false;
    (*points)[static_cast<std::size_t>(index)] = point;
    doc.SetModifiedFlag(true);
    return true;
}

bool SectionDataType::InsertPointAt(QDocument& doc, int section, int side, int index) const {
    std::vector<SectionPoint>* points = SideOf(doc, section, side);
    if (!points || index < 0 || index > static_cast<int>(points->size())) return false;
    points->insert(points->begin() + index, SectionPoint());
    doc.SetModifiedFlag(true);
    return true;
}

bool SectionDataType::DeletePointAt(QDocument& doc, int section, int side, int index) const {
    std::vector<SectionPoint>* points = SideOf(doc, section, side);
    if (!points || index < 0 || index >= static_cast<int>(points->size())) return false;
    points->erase(points->begin() + index);
    doc.SetModifiedFlag(true);
    return true;
}

}  // namespace qdat
