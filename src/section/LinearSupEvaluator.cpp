#include <qdat/section/LinearSupEvaluator.h>

namespace qdat {

const RuntimeClass LinearSupEvaluator::classRecord{"LinearSupEvaluator", &SupEvaluator::classRecord,
                                                   [] { return std::make_unique<LinearSupEvaluator>(); }};

bool LinearSupEvaluator::ComputeValue() {
    const EvaluatorBody& b = Body();
    const double span = b.NextStation - b.PrevStation;
    double value = b.PrevValue;
    if (span != 0.0) value += (b.NextValue - b.PrevValue) * (b.ResultStation - b.PrevStation) / span;
    return SetResultValue(value);
}

bool LinearSupEvaluator::ComputeStation() {
    const EvaluatorBody& b = Body();
    const int column = GetColumn();
    if (!(b.Mode & kTransition) || column < 1 || column > 6) return false;
    const double change = b.NextValue - b.PrevValue;
    const double value = GetResultValueOf(column);
    if (change == 0.0 || value == SupRow::NoValue) return false;
    const double onReference = IsLeftColumn() == IsReferenceLeft() ? value : -value;
    const double t = (onReference - b.PrevValue) / change;
    return SetResultStation(b.PrevStation + t * (b.NextStation - b.PrevStation));
}

}  // namespace qdat
