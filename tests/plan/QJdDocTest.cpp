// The intersection-point file's own rules: the oldest binary file from
// hand-written bytes, the record orders, the legacy layout and its chain
// table, names, and numbers that are not finite. (The generic suite of the
// kinds round-trips every form and cuts every sample.)
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <qdat/plan/QJdDoc.h>
#include "profile/DmxTestHelpers.h"

namespace qdat::test {
namespace {

class QJdDocTest : public StationDocTest {
protected:
    // The last error the user was shown.
    std::string LastError() const {
        for (auto m = ui.messages.rbegin(); m != ui.messages.rend(); ++m)
            if (m->kind == MessageKind::Error) return m->text;
        return {};
    }
};

// A binary element record of the legacy layout (schema number first) at a
// station, all else in place.
std::string ElementBytes(std::int32_t schema, double station) {
    std::string b = Le32(schema) + Le32(1);
    for (double v : {0.0, -10.0, 0.0, 9999.0, 9999.0}) b += Le64(v);  // Offset ... EndRadius
    b += Le32(1);                                                     // Type
    for (int i = 0; i < 8; ++i) b += Le64(100.0 + i);                 // points
    return b + Le64(station) + Le64(station + 10) + Le64(0.25) + Le64(0.25);
}

// A point of the oldest binary file: no auxiliary points, the station line
// after the curve line, the elements with schema numbers.
std::string OldPointBytes(const std::string& name, double x, double radius, double stationJD,
                          std::int32_t elementSchema = 2) {
    std::string b = Le32(0) + ShortString(name) + Le32(1) + Le64(x) + Le64(2 * x);
    for (int i = 0; i < 12; ++i) b += Le64(i == 4 ? radius : 1.0 + i);
    b += Le64(stationJD) + Le64(-0.5) + Le64(1.5);  // StationJD, Deflection, Azimuth
    for (int i = 0; i < 7; ++i) b += Le64(stationJD + i);
    for (int i = 0; i < 3; ++i) b += ElementBytes(elementSchema, stationJD);
    return b;
}

TEST_F(QJdDocTest, OldestBinaryFileFromItsBytes) {
    const std::string header = ShortString("RaduDAR_Pm_Shuju_Jd_BYTE") + Le32(2) + Le64(125.5);
    QJdDoc doc;
    ASSERT_TRUE(ReadFromBytes(
        doc, header + OldPointBytes("JD7", 10, 300, 125.5) + OldPointBytes("Unnamed", 20, 0, 400), "old.jd"))
        << LastError();
    EXPECT_EQ(doc.GetFileVersion(), 400u);
    const JdList& list = doc.GetList();
    EXPECT_EQ(list.StartStation.GetValue(), 125.5);
    ASSERT_EQ(list.Points.GetSize(), 2);
    const JdPoint& p = list.Points[0];
    EXPECT_EQ(p.Name, "JD7");
    EXPECT_EQ(list.Points[1].Name, "");  // the unnamed text reads back as no name
    EXPECT_EQ(p.CurveType, 1);
    EXPECT_EQ(p.X, 10.0);
    EXPECT_EQ(p.Y, 20.0);
    EXPECT_EQ(p.SpiralParam1, 1.0);
    EXPECT_EQ(p.Radius, 300.0);
    EXPECT_EQ(p.ExternalDistance, 12.0);
    EXPECT_EQ(p.StationJD.GetValue(), 125.5);
    EXPECT_EQ(p.Deflection, -0.5);
    EXPECT_EQ(p.Azimuth, 1.5);
    EXPECT_EQ(p.StationST.GetValue(), 131.5);
    EXPECT_TRUE(p.AuxPoints.IsEmpty());
    EXPECT_EQ(p.ExitSpiral.StartStation.GetValue(), 125.5);
    EXPECT_EQ(p.ExitSpiral.EndAzimuth, 0.25);
    EXPECT_FALSE(doc.GetFileChainTable());

    // A wrong schema number before an element is refused, naming the file
    // and the byte where reading stopped.
    QJdDoc bad;
    EXPECT_FALSE(ReadFromBytes(bad, header + OldPointBytes("JD7", 10, 300, 125.5, 3), "old.jd"));
    EXPECT_NE(LastError().find("old.jd"), std::string::npos) << LastError();
    EXPECT_NE(LastError().find("schema number 2"), std::string::npos) << LastError();
    EXPECT_TRUE(bad.GetList().Points.IsEmpty());
}

// Text of the current record order in the legacy one: the auxiliary points
// of each point (count line and points) before its station line. Text from
// the line after the signature.
std::string LegacyOrder(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = text.find('\n') + 1; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at + 1));
        at = end + 1;
    }
    std::string out = lines[0];  // count and start station
    for (std::size_t i = 1; i < lines.size();) {
        const std::size_t auxCount = std::stoul(lines[i + 3]);
        out += lines[i] + lines[i + 1];
        for (std::size_t j = 0; j <= auxCount; ++j) out += lines[i + 3 + j];
        out += lines[i + 2];
        for (std::size_t j = 0; j < 9; ++j) out += lines[i + 4 + auxCount + j];  // the elements
        i += 13 + auxCount;
    }
    return out;
}

// A list of three points, the middle one virtual with one unnamed auxiliary point.
void Fill(JdList& list) {
    list.StartStation = 50.0;
    for (int i = 0; i < 3; ++i) {
        JdPoint p;
        p.Name = i == 1 ? "" : "P" + std::to_string(i);
        p.X = 100.0 * i;
        p.Y = 30.0 * i;
        p.Radius = i == 1 ? 250.0 : 0.0;
        p.StationJD = 50.0 + 100 * i;
        p.Deflection = 0.125;
        list.Points.Add(p);
    }
    list.Points[1].AuxPoints.Add({"", 90.0, 20.0, 0.5, 12.25, 1.0});
}

TEST_F(QJdDocTest, RecordOrderNamesAndTheLegacyLayout) {
    QJdDoc doc;
    Fill(doc.GetList());
    // Text: the station line, then the auxiliary points; empty names stored
    // as the unnamed text.
    const std::string text = WriteToBytes(doc, FormatFlag::TextForm);
    EXPECT_EQ(text.substr(0, text.find('\n')), "RADUDAR5.83_PM_SHUJU_JD");
    const auto stationLine = text.find("150.00000000 0.125000000000");
    const auto auxLine = text.find("Unnamed 90.00000000 20.00000000");
    ASSERT_NE(stationLine, std::string::npos) << text;
    ASSERT_NE(auxLine, std::string::npos) << text;
    EXPECT_LT(stationLine, auxLine);
    QJdDoc back;
    ASSERT_TRUE(ReadFromBytes(back, text, "back.jd"));
    EXPECT_EQ(back.GetList().Points[1].Name, "");
    EXPECT_EQ(back.GetList().Points[1].AuxPoints[0].Name, "");
    EXPECT_EQ(back.GetList().Points[1].AuxPoints[0].Distance, 12.25);

    // The same content in the legacy order, as a text file of version 5.8
    // with a chain table first.
    QJdDoc ppc;
    const std::string legacy = "RADUDAR5.8_PM_SHUJU_JD_PPC\n1 1050 1000\n" + LegacyOrder(text);
    ASSERT_TRUE(ReadFromBytes(ppc, legacy, "ppc.jd")) << LastError();
    EXPECT_EQ(ppc.GetFileVersion(), 580u);
    EXPECT_EQ(ppc.GetList(), back.GetList());
    ASSERT_TRUE(ppc.GetFileChainTable());
    EXPECT_EQ(ppc.GetFileChainTable()->GetBreakCount(), 1);

    // The legacy layout writes no signature line: its content starts with
    // the 5.0 signature as a string and the chain table.
    const std::string old = WriteToBytes(ppc, FormatFlag::LegacyLayout);
    EXPECT_EQ(old.substr(0, 28), ShortString("RaduDAR5.0_Pm_Shuju_Jd_BYTE"));
    EXPECT_EQ(old.substr(28, 8), Le32(4) + Le32(1));  // schema and count of the chain table
    // After the chain table (28 bytes), the count and the start station
    // (12), the first point's mode, name, class, position and curve line
    // (123): its auxiliary point count, then its station line.
    EXPECT_EQ(old.substr(28 + 28 + 12 + 123, 12), Le32(0) + Le64(50.0));
    QJdDoc reread;
    ASSERT_TRUE(ReadFromBytes(reread, old, "old.jd")) << LastError();
    EXPECT_EQ(reread.GetFileVersion(), 500u);
    EXPECT_EQ(reread.GetList(), back.GetList());
    ASSERT_TRUE(reread.GetFileChainTable());
    EXPECT_EQ(reread.GetFileChainTable()->GetBreak(0).After, 1050.0);

    reread.DeleteContents();
    EXPECT_TRUE(reread.GetList().Points.IsEmpty());
    EXPECT_FALSE(reread.GetFileChainTable());
}

TEST_F(QJdDocTest, NumbersThatAreNotFiniteAreRefused) {
    QJdDoc doc;
    Fill(doc.GetList());
    // Written: refused.
    const auto refusal = [&doc] {
        MemoryFile out(std::string(), "out.jd");
        try {
            doc.WriteToFile(out);
        } catch (const QArchiveException& e) {
            EXPECT_EQ(e.m_cause, QArchiveException::GenericError);
            return std::string(e.what());
        }
        return std::string("written");
    };
    doc.GetList().Points[2].Radius = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NE(refusal().find("point 2: Radius is not a finite number"), std::string::npos);
    doc.GetList().Points[2].Radius = 0.0;
    doc.GetList().Points[1].CircularArc.EndX = std::numeric_limits<double>::infinity();
    EXPECT_NE(refusal().find("point 1: EndX is not a finite number"), std::string::npos);

    // Read: a binary file with an infinite X.
    doc.GetList().Points[1].CircularArc.EndX = 7.0;
    std::string bytes = WriteToBytes(doc, 0);
    const std::string seven = Le64(7.0);
    const auto at = bytes.find(seven);
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 8, Le64(-std::numeric_limits<double>::infinity()));
    QJdDoc back;
    EXPECT_FALSE(ReadFromBytes(back, bytes, "inf.jd"));
    EXPECT_NE(LastError().find("inf.jd"), std::string::npos) << LastError();
    // The element record refuses it where it stands.
    EXPECT_NE(LastError().find("a finite end X expected, found -infinity"), std::string::npos) << LastError();
    EXPECT_NE(LastError().find("byte offset " + std::to_string(at + 8)), std::string::npos) << LastError();
    EXPECT_TRUE(back.GetList().Points.IsEmpty());

    // A point count the file cannot hold is refused before anything is read.
    EXPECT_FALSE(ReadFromBytes(back, "RADUDAR5.83_PM_SHUJU_JD\n2000000000 0\n", "count.jd"));
    EXPECT_NE(LastError().find("more than the rest of the file holds"), std::string::npos) << LastError();
}

TEST_F(QJdDocTest, LegOperations) {
    JdPoint a, virt, c, d;
    virt.X = 3;
    virt.Y = 4;
    virt.AuxPoints.Add({"A", 1, 1});
    virt.Azimuth = 1.0;
    virt.Deflection = 0.5;
    c.X = 3;
    c.Y = 10;
    d.X = 3;
    d.Y = 0;  // the next leg heads to -Y: azimuth 3 pi / 2
    // A virtual point keeps its own azimuth and deflection.
    virt.UpdateLeg(a, c);
    EXPECT_EQ(virt.LegLength, 5.0);
    EXPECT_EQ(virt.Azimuth, 1.0);
    EXPECT_EQ(virt.Deflection, 0.5);
    // After a virtual point the leg leaves in its turned direction.
    c.UpdateLeg(virt, d);
    EXPECT_EQ(c.LegLength, 6.0);
    EXPECT_EQ(c.Azimuth, 1.5);
    EXPECT_NEAR(c.Deflection, 1.5 * std::acos(-1.0) - 1.5 - 2 * std::acos(-1.0), 1e-15);
    virt.Deflection = 6.0;  // no valid deflection: the legs at it have no length
    c.UpdateLegNoDeflection(virt);
    EXPECT_EQ(c.LegLength, 9999.0);
    EXPECT_NEAR(c.Azimuth, 7.0 - 2 * std::acos(-1.0), 1e-15);
    virt.UpdateLegNoDeflection(a);
    EXPECT_EQ(virt.LegLength, 9999.0);
    EXPECT_EQ(AzimuthBetween(0, 0, 0, 0), 0.5 * std::acos(-1.0));
    EXPECT_EQ(AzimuthBetween(0, 0, -1, 0), std::acos(-1.0));
    EXPECT_NEAR(AzimuthBetween(0, 0, 1, -1), 1.75 * std::acos(-1.0), 1e-15);
}

TEST_F(QJdDocTest, NamesAndANewPoint) {
    JdPoint p;
    EXPECT_EQ(p.SpiralStartRadius, 9999.0);
    EXPECT_EQ(p.SpiralEndRadius, 9999.0);
    EXPECT_EQ(p.DisplayName("JD", 4), "JD4");
    p.Name = "12";
    EXPECT_EQ(p.NamePattern(), "%d");
    EXPECT_EQ(p.DisplayName("JD", 4), "JD12");
    p.Name = "K3a7b";
    EXPECT_EQ(p.NamePattern(), "K3a%db");
    EXPECT_EQ(p.DisplayName("JD", 4), "K3a7b");
    p.AuxPoints.Add({"", 0, 0});
    p.AuxPoints.Add({"5", 0, 0});
    p.AuxPoints.Add({"East", 0, 0});
    EXPECT_EQ(p.AuxDisplayName("JD", 4, 0), "K3a7b-0");
    EXPECT_EQ(p.AuxDisplayName("JD", 4, 1), "K3a7b-5");
    EXPECT_EQ(p.AuxDisplayName("JD", 4, 2), "East");
    EXPECT_EQ(p.AuxDisplayName("JD", 4, 3), "");
    p.Name = "8";
    EXPECT_EQ(p.AuxDisplayName("JD", 4, 0), "JD8-0");
    p.Name.clear();
    EXPECT_EQ(p.AuxDisplayName("JD", 4, 0), "JD4-0");
}

}  // namespace
}  // namespace qdat::test
