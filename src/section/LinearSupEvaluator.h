// LinearSupEvaluator: the library's own superelevation evaluator, the class
// the transition tool and `qdat sup` use unless another is selected. It is
// registered below the evaluator class as "LinearSupEvaluator".
//
// Values. Each column runs linearly between the rows that hold a value in it:
// at station s between the previous valued row (p, vp) and the next (q, vq)
// the value is vp + (vq - vp) (s - p) / (q - p); vp when p = q.
//
// Transition events. Between rows k and k+1 the reference cross-fall (the
// inner value of the reference side) runs linearly from PrevValue at row k to
// NextValue at row k+1, and on the other side it stands mirrored, with the
// opposite sign: the cross-fall a part of that side has when the section is
// one plane. A column's event value v (its value in the row the event is
// measured from) holds until the reference on the column's side reaches v:
// the event lies at the station where PrevValue + (NextValue - PrevValue) t
// equals v (or -v on the other side), t = 0 at row k and 1 at row k+1,
// extended beyond the pair for the events before row k and after row k+1.
// So a column keeps its own cross-fall while the section turns towards it and
// then turns with the section, at the rate at which the reference turns. The
// hook answers false where that station is not in the range the event's mode
// allows (between the rows, before row k or after row k+1).
//
// Example: rows at 100 (-2 %, -2 %) and 160 (+4 %, -4 %). The left inner
// value is the reference, running from -2 to +4. The right inner part keeps
// -2 until the left reaches +2 (the plane through the right side), at t = 2/3:
// the tool inserts a row at 140 with the right side at -2 (the left side
// without values), and the right side then turns from -2 to -4 up to 160.
//
// The per-column factors are not used.
#pragma once

#include <qdat/host/Export.h>
#include <qdat/section/SupEvaluator.h>

namespace qdat {

class QDAT_API LinearSupEvaluator : public SupEvaluator {
public:
    bool ComputeValue() override;
    bool ComputeStation() override;

    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override { return classRecord; }
};

}  // namespace qdat
