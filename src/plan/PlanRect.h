// PlanRect: an axis-parallel rectangle in plan coordinates (metres), used to
// bound and clip plan geometry.
#pragma once

#include <qdat/host/Export.h>

namespace qdat {

class QDAT_API PlanRect {
public:
    // Bits of OutCode: where a point lies outside the rectangle.
    enum OutCodeBits : int {
        BelowMinX = 1,
        AboveMaxX = 2,
        BelowMinY = 4,
        AboveMaxY = 8,
    };

    PlanRect() = default;
    PlanRect(double minX, double minY, double maxX, double maxY)
        : MinX(minX), MinY(minY), MaxX(maxX), MaxY(maxY) {}

    // Swaps the bounds so that Min <= Max on both axes.
    void Normalize();
    // Whether the point lies inside or on the border.
    bool Contains(double x, double y) const;
    // The OutCodeBits of the point; 0 inside or on the border.
    int OutCode(double x, double y) const;
    // Zero width or zero height.
    bool IsEmpty() const;
    double Width() const { return MaxX - MinX; }
    double Height() const { return MaxY - MinY; }
    // Width and height.
    void Size(double& width, double& height) const {
        width = Width();
        height = Height();
    }

    bool operator==(const PlanRect&) const = default;

    double MinX = 0.0;
    double MinY = 0.0;
    double MaxX = 0.0;
    double MaxY = 0.0;
};

}  // namespace qdat
