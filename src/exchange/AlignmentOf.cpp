#include <qdat/exchange/AlignmentOf.h>

#include <string_view>

#include <qdat/exchange/ExchangeError.h>
#include <qdat/host/HostUi.h>
#include <qdat/plan/QPmDoc.h>

namespace qdat {
namespace {

// While it lives, the errors the library shows are held back instead of
// shown: the failure is then told once, in the exception, with the last of
// them. Everything else reaches the user interface that was current.
class HeldErrorUi : public ForwardingUi {
public:
    HeldErrorUi() : ForwardingUi(CurrentUi()), m_scope(*this) {}
    MessageAnswer ShowMessage(const std::string& text, MessageKind kind, MessageButtons buttons) override {
        if (kind == MessageKind::Error && buttons == MessageButtons::Ok) {
            m_last = text;
            return MessageAnswer::Ok;
        }
        return ForwardingUi::ShowMessage(text, kind, buttons);
    }
    const std::string& Last() const { return m_last; }

private:
    std::string m_last;
    ScopedUi m_scope;
};

// "a plan element file", "an intersection-point file": the kind's own name
// for its files, with its article.
std::string AKindFileName(const QDocument& doc) {
    const DocumentKind* kind = doc.GetKind();
    const std::string name = kind ? std::string(kind->GetFileName()) : doc.GetRuntimeClass().GetName();
    const bool vowel =
        !name.empty() && std::string_view("aeiouAEIOU").find(name[0]) != std::string_view::npos;
    return (vowel ? "an " : "a ") + name;
}

}  // namespace

std::string PointName(const JdPoint& point, int index) {
    return point.DisplayName("JD", index);
}

void ComputeCurves(QJdDoc& doc, const std::string& name) {
    JdList& list = doc.GetList();
    std::string message;
    {
        HeldErrorUi held;
        if (list.ComputeCurves()) return;
        message = held.Last();
    }
    std::string where = name;
    const int index = list.GetFailedPoint();
    if (index >= 0 && index < list.Points.GetSize())
        where += ": point " + std::to_string(index) + " (" + PointName(list.Points[index], index) + ")";
    throw ExchangeError(where + ": " + (message.empty() ? "the curves cannot be computed" : message));
}

DocumentAlignment AlignmentOf(QDocument& doc, const std::string& name) {
    // A document read without the open pipeline has no path: it is then
    // "the document".
    const std::string what = !name.empty()                   ? name
                             : !doc.GetPathNameRef().empty() ? doc.GetPathNameRef()
                                                             : "the document";
    DocumentAlignment result = [&] {
        if (auto* pm = dynamic_cast<QPmDoc*>(&doc)) return DocumentAlignment(pm->GetAlignment());
        auto* jd = dynamic_cast<QJdDoc*>(&doc);
        if (!jd)
            throw ExchangeError(what + " is " + AKindFileName(doc) +
                                ", not a plan element or intersection-point file");
        ComputeCurves(*jd, what);
        return DocumentAlignment(std::make_unique<PlanAlignment>(jd->GetList().BuildElementList()), *jd);
    }();
    PlanAlignment& alignment = result.Alignment();
    if (!alignment.ComputeElements()) {
        throw ExchangeError(what + ": the elements cannot be computed (start mode " +
                            std::to_string(alignment.StartMode) + ", " +
                            std::to_string(alignment.ElementCount) + " main elements, end type " +
                            std::to_string(alignment.EndType) + ")");
    }
    return result;
}

}  // namespace qdat
