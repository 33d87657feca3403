// A cross-section of the ground: the station and the ground points to the
// left and to the right of the centre line, as the survey gives them.
#pragma once

#include <vector>

#include <qdat/host/Export.h>
#include <qdat/station/QStation.h>

namespace qdat {

// A ground point of a cross-section: its horizontal and vertical component
// exactly as the file gives them (the document does not interpret them).
struct QDAT_API SectionPoint {
    double Horizontal = 0.0;
    double Vertical = 0.0;

    bool operator==(const SectionPoint&) const = default;
};

class QDAT_API CrossSection {
public:
    enum Side { Left = 1, Right = 2 };

    CrossSection() = default;
    explicit CrossSection(const QStation& station) : m_station(station) {}

    // The points of side 1 (left) or 2 (right); null for any other side.
    std::vector<SectionPoint>* GetSide(int side) {
        return side == Left ? &LeftGround : side == Right ? &RightGround : nullptr;
    }
    const std::vector<SectionPoint>* GetSide(int side) const {
        return const_cast<CrossSection*>(this)->GetSide(side);
    }

    QStation m_station;
    std::vector<SectionPoint> LeftGround;   // in file order
    std::vector<SectionPoint> RightGround;  // in file order
};

}  // namespace qdat
