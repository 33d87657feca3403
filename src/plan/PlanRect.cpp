// PlanRect operations.
#include <qdat/plan/PlanRect.h>

#include <utility>

namespace qdat {

void PlanRect::Normalize() {
    if (MinX > MaxX) std::swap(MinX, MaxX);
    if (MinY > MaxY) std::swap(MinY, MaxY);
}

bool PlanRect::Contains(double x, double y) const {
    return x >= MinX && x <= MaxX && y >= MinY && y <= MaxY;
}

int PlanRect::OutCode(double x, double y) const {
    int code = 0;
    if (x < MinX) code |= BelowMinX;
    if (x > MaxX) code |= AboveMaxX;
    if (y < MinY) code |= BelowMinY;
    if (y > MaxY) code |= AboveMaxY;
    return code;
}

bool PlanRect::IsEmpty() const {
    return MaxX - MinX == 0.0 || MaxY - MinY == 0.0;
}

}  // namespace qdat
