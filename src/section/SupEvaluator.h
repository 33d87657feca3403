// SupEvaluator: the calculation companion of the superelevation table
// (QSupFile). The library does the table work: it finds the rows that bracket
// a station and the nearest rows that hold a value in each column, classifies
// a pair of rows, assembles, sorts and merges result rows and inserts them into
// the table. Two hooks do the numbers: ComputeValue (the value of one column
// at a station) and ComputeStation (the station of one transition event). The
// base class's hooks answer false, so the base evaluator computes nothing;
// classes derived from it, registered below SupEvaluator::classRecord, supply
// them. LinearSupEvaluator is the library's own.
//
// An evaluator is a handle on a shared body: copies of a handle work on one
// body. Every operation reports failure by returning false (or null) and
// throws nothing.
//
// Evaluator classes. A class registers a run-time class record whose base is
// SupEvaluator::classRecord (or a class below it) and whose factory makes an
// object of the class, and overrides GetRuntimeClass. The classes below the
// evaluator class are looked up by name; one of them is the selected class,
// which the transition tool and the host create. With none selected, the
// first below the evaluator class in the order of their names is taken.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <qdat/host/Export.h>
#include <qdat/host/RuntimeClass.h>
#include <qdat/section/QSupFile.h>

namespace qdat {

// The state an evaluator works on. Column values are kept in row order:
// LeftInner, LeftMiddle, LeftOuter, RightInner, RightMiddle, RightOuter.
struct QDAT_API EvaluatorBody {
    QSupFile* Document = nullptr;  // not owned
    std::uint32_t Mode = 0;        // low byte: the current column 1-6; higher bits: SupEvaluator::k...
    std::int32_t Row = -1;         // k of the row pair k, k+1
    double PrevStation = 0.0;      // station of the row that gives PrevValue
    double NextStation = 0.0;      // station of the row that gives NextValue
    double PrevValue = 0.0;        // the value on the near side
    double NextValue = 0.0;        // the value on the far side
    std::array<double, 6> RowA{};  // the values of row k
    std::array<double, 6> RowB{};  // the values of row k+1
    double ResultStation = 0.0;
    std::array<double, 6> Result{};  // SupRow::NoValue: no value
};

class QDAT_API SupEvaluator : public QObject {
public:
    // Mode bits above the column byte.
    static constexpr std::uint32_t kColumnMask = 0xFF;
    // Transition mode: the evaluator works between rows k and k+1 that
    // CalculateTransition set up.
    static constexpr std::uint32_t kTransition = 0x100;
    // The right side is the reference side (its inner values are PrevValue
    // and NextValue); clear: the left side.
    static constexpr std::uint32_t kRightReference = 0x200;
    // How a pair of rows turns (row k+1 against row k, by the signs of their
    // inner cross-falls): into the crown, staying superelevated to the same
    // side, reversing the superelevation.
    static constexpr std::uint32_t kEndsInCrown = 0x400;
    static constexpr std::uint32_t kSameSide = 0x800;
    static constexpr std::uint32_t kReverses = 0x1000;
    // No reference cross-fall: PrevValue and NextValue are 0.
    static constexpr std::uint32_t kNoReference = 0x2000;
    // A transition event measured from row k (RowA); clear: from row k+1.
    static constexpr std::uint32_t kFromRowA = 0x4000;
    // The event lies outside the pair: after row k+1, or with kFromRowA
    // before row k.
    static constexpr std::uint32_t kOutside = 0x8000;

    // The registry's name and type number of the evaluator class.
    static constexpr const char* kClassName = "Velmor超高计算工具";
    static constexpr int kTypeNumber = 4096;

    // A new handle with a new body: Row -1, everything else 0.
    SupEvaluator();
    // Copies share the body.
    SupEvaluator(const SupEvaluator&) = default;
    SupEvaluator& operator=(const SupEvaluator&) = default;
    ~SupEvaluator() override;

    // The registry record of the object's class.
    virtual const RuntimeClass& GetClassRecord() const { return GetRuntimeClass(); }
    // The value of every column at station s: true when all six were
    // computed; GetResultRow then holds them. False with fewer than two rows,
    // outside the table, or when a column has no valued row on one side or
    // its ComputeValue answers false.
    virtual bool Evaluate(double station);
    // Inserts into the table the rows that describe the transition between
    // the complete rows k and k+1 (see the .cpp). True when rows were
    // inserted between them.
    virtual bool CalculateTransition(int row);
    // Hooks. ComputeValue: the value of the current column at ResultStation
    // from the fields, stored with SetResultValue. ComputeStation: the
    // station of the current transition event, stored with SetResultStation
    // (values may be stored too). The base answers false to both.
    virtual bool ComputeValue();
    virtual bool ComputeStation();

    // Works on document from now on: Mode 0, Row -1.
    void Attach(QSupFile* document);
    QSupFile* GetDocument() const { return m_body->Document; }

    std::uint32_t GetMode() const { return m_body->Mode; }
    // Without kTransition: finds the valued rows around Row for mode's
    // column (the fields Prev... and Next...); on success Mode becomes mode.
    // With it: takes mode's column and its kFromRowA and kOutside bits,
    // clears the result and answers the acceptance test of the column (see
    // the .cpp).
    bool SetMode(std::uint32_t mode);
    int GetColumn() const { return static_cast<int>(m_body->Mode & kColumnMask); }
    int GetRow() const { return m_body->Row; }
    double GetPrevStation() const { return m_body->PrevStation; }
    double GetNextStation() const { return m_body->NextStation; }
    double GetPrevValue() const { return m_body->PrevValue; }
    double GetNextValue() const { return m_body->NextValue; }
    // The column's value in row k / row k+1; for a column number outside 1-6
    // PrevValue / NextValue.
    double GetRowAValue(int column) const;
    double GetRowBValue(int column) const;

    double GetResultStation() const { return m_body->ResultStation; }
    // The result of the current column (0 when it is no column 1-6) / of a column.
    double GetResultValue() const;
    double GetResultValueOf(int column) const;
    // Stores the current column's result when it lies within 0.001 of the
    // range PrevValue..NextValue; returns whether it stored.
    bool SetResultValue(double value);
    // Stores a column's result when it lies within 0.001 of the range of the
    // column's values in rows k and k+1.
    bool SetResultValueOf(int column, double value);
    // Stores the result station when Mode allows it: with kFromRowA and
    // kOutside before PrevStation, with kOutside alone after NextStation,
    // otherwise strictly between the two.
    bool SetResultStation(double station);
    // The current column is on the left side (1, 3 or 5).
    bool IsLeftColumn() const;
    // In transition mode, whether the left side is the reference side;
    // otherwise IsLeftColumn.
    bool IsReferenceLeft() const;
    // A row of ResultStation and the results.
    SupRow GetResultRow() const;

    // The evaluator class and the classes below it.
    static const RuntimeClass& GetEvaluatorClassRecord() { return classRecord; }
    static int GetEvaluatorTypeNumber() { return kTypeNumber; }
    // The classes registered below the evaluator class, in the order of
    // their names.
    static std::vector<const RuntimeClass*> GetEvaluatorClasses();
    // Selects a class that is the evaluator class or derives from it and
    // returns it; null, selecting nothing, for any other.
    static const RuntimeClass* SelectEvaluatorClass(const RuntimeClass* record);
    // Null clears the selection. Otherwise, unless the selected class has
    // that name, selects the class of that name below the evaluator class;
    // returns the selected class, null (leaving the selection) when no class
    // below the evaluator class has the name.
    static const RuntimeClass* SelectEvaluatorClassByName(const char* name);
    // Looks name up below the evaluator class, then subName below that class
    // (falling back to the first), and selects the result.
    static const RuntimeClass* SelectEvaluatorSubclass(const char* name, const char* subName);
    // The selected class; with none selected the first class below the
    // evaluator class is selected first. Null when there is none.
    static const RuntimeClass* GetSelectedEvaluatorClass();
    // A new evaluator of a class derived from the evaluator class; null for
    // any other class or one that creates no evaluator.
    static std::unique_ptr<SupEvaluator> CreateEvaluator(const RuntimeClass& evaluatorClass);

    // Factors per column 1-6, 1.0 until set: the library keeps them for the
    // hooks of the host's classes and uses none itself. A column outside 1-6
    // reads 0 and is not set.
    static double GetColumnFactor(int column);
    static void SetColumnFactor(int column, double factor);

    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override { return classRecord; }

protected:
    EvaluatorBody& Body() { return *m_body; }
    const EvaluatorBody& Body() const { return *m_body; }

private:
    bool FindValuedRows(int column);
    bool AcceptanceTest(int column);
    bool RunEvent(std::uint32_t mode, bool align, std::vector<SupRow>& collected);

    std::shared_ptr<EvaluatorBody> m_body;
};

// The host's calculation window of the transition tool. While one is
// installed, QSupFile::RunTransitionTool hands it the document, the evaluator
// attached to it and the current row instead of calculating at once; the
// window shows the rows, runs CalculateTransition when the user asks, and
// returns whether rows were inserted. The evaluator lives for the call.
class QDAT_API TransitionToolWindow {
public:
    virtual ~TransitionToolWindow() = default;
    virtual bool RunTransitionTool(QSupFile& document, SupEvaluator& evaluator, int row) = 0;
};

// Installs the host's window (not owned; null: none); returns the previous one.
QDAT_API TransitionToolWindow* SetTransitionToolWindow(TransitionToolWindow* window);

}  // namespace qdat
