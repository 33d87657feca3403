// Eight jobs at once, each on a thread of its own under a context of its own
// with its own chain table and station precision: ground lines, alignments
// from element and intersection-point files, design elevations of a profile
// and the upgrade of an old project give byte for byte what the same jobs
// give one after the other on one thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <qdat/docbase/DocDataType.h>
#include <qdat/docbase/DocumentKind.h>
#include <qdat/host/Context.h>
#include <qdat/host/HostUi.h>
#include <qdat/host/NamedInterfaces.h>
#include <qdat/host/Resources.h>
#include <qdat/host/RuntimeClass.h>
#include <qdat/plan/QJdDoc.h>
#include <qdat/plan/QPmDoc.h>
#include <qdat/profile/DmxFile.h>
#include <qdat/profile/QZdmFile.h>
#include <qdat/project/DataTypeRegistry.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/SettingKeyRegistry.h>
#include <qdat/station/ChainTable.h>
#include <qdat/station/QStation.h>
#include "support/TestSupport.h"

namespace qdat {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RecordingUi;
using test::TempDir;
using test::WriteFileBytes;

constexpr int kJobs = 8;

const std::string kExamples = std::string(QDAT_SOURCE_DIR) + "/examples/";

// Every output of a job: its name and its bytes.
using Results = std::map<std::string, std::string>;

// Each job has breaks and a precision of its own, so that a job that wrote
// under another's settings gives other text: a long chain (an overlap) early
// on the road and a short one (a gap) later.
struct JobSettings {
    double before1, after1, before2, after2;
    int precision;
};

JobSettings SettingsOf(int job) {
    return {300.0 + 20.0 * job, 285.0 - 3.0 * job, 1000.0 + 11.0 * job, 1025.0 + 2.0 * job, 2 + job % 4};
}

std::string Line(const char* format, double a, double b, double c) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// Where the centre line is every 7.5 m, with each station as text.
std::string Stationing(const PlanAlignment& alignment) {
    std::string out;
    for (double s = alignment.GetStartStation().GetValue(); s <= alignment.GetEndStation().GetValue();
         s += 7.5) {
        StationPoint point{QStation(s)};
        if (alignment.PointAtStation(point) < 0) return out + "no point at " + std::to_string(s) + "\n";
        out += QStation(s).GetText() + Line(" %.9f %.9f %.12f\n", point.X, point.Y, point.Azimuth);
    }
    return out;
}

// A copy of an example with an older signature in its first line.
std::string OldExample(const std::string& name, const std::string& signature) {
    const std::string bytes = ReadFileBytes(kExamples + name);
    return signature + bytes.substr(bytes.find('\n'));
}

// Reads the examples under the start-up settings of the job's context (their
// stations are plain numbers, which breaks would make ambiguous), then
// computes and writes under the job's own chain table and precision.
Results RunJob(int job) {
    Results results;
    RecordingUi ui;
    const ScopedUi scopedUi(ui);
    TempDir dir;
    const auto failed = [&ui](const std::string& what) {
        std::string told;
        for (const auto& message : ui.messages) told += "\n" + message.text;
        return Results{{"error", what + told}};
    };

    DmxFile ground;
    QPmDoc elements;
    QJdDoc road, corners;
    QZdmFile profile;
    if (!ReadDocumentFile(ground, kExamples + "demo-road.dmx")) return failed("ground line not read");
    if (!ReadDocumentFile(elements, kExamples + "demo-road.pm")) return failed("elements not read");
    if (!ReadDocumentFile(road, kExamples + "demo-road.jd")) return failed("demo-road.jd not read");
    if (!ReadDocumentFile(corners, kExamples + "demo-corners.jd")) return failed("demo-corners.jd not read");
    if (!ReadDocumentFile(profile, kExamples + "demo-road.zdm")) return failed("profile not read");

    const JobSettings settings = SettingsOf(job);
    ChainTable table;
    table.AddBreak(settings.before1, settings.after1);
    table.AddBreak(settings.before2, settings.after2);
    GetCurrentChainTable() = table;
    SetStationPrecisionValue(settings.precision);

    if (!ground.OnSaveDocument(dir.Path("ground.dmx"))) return failed("ground line not written");
    results["ground.dmx"] = ReadFileBytes(dir.Path("ground.dmx"));

    // The alignment of the element file, and the ones the intersection points
    // make, with their stations.
    results["pm stations"] = Stationing(elements.GetAlignment());
    if (!elements.OnSaveDocument(dir.Path("road.pm"))) return failed("elements not written");
    results["road.pm"] = ReadFileBytes(dir.Path("road.pm"));
    for (auto [name, points] : {std::pair{"road.jd", &road}, std::pair{"corners.jd", &corners}}) {
        results[std::string(name) + " curves"] = std::to_string(points->GetList().ComputeCurves());
        results[std::string(name) + " stations"] = Stationing(points->GetList().BuildElementList());
        if (!points->OnSaveDocument(dir.Path(name))) return failed(std::string(name) + " not written");
        results[name] = ReadFileBytes(dir.Path(name));
    }

    // Design elevations and grades of the profile.
    results["zdm recalculated"] = std::to_string(profile.Recalculate());
    std::string elevations;
    for (double s = 0.0; s <= 1720.0; s += 2.5) {
        const QStation station(s);
        elevations += station.GetText() + Line(" %.9f %.12f\n", profile.GetDesignElevation(station),
                                               profile.GetDesignGrade(station), 0);
    }
    results["zdm elevations"] = elevations;
    if (!profile.OnSaveDocument(dir.Path("profile.zdm"))) return failed("profile not written");
    results["profile.zdm"] = ReadFileBytes(dir.Path("profile.zdm"));

    // An old project, upgraded in a folder of its own under the project's
    // chain table and precision, which reading the project makes current;
    // its breaks lie beyond the road, where they make no station ambiguous.
    fs::create_directories(dir.Root() / "project" / "data");
    WriteFileBytes(dir.Path("project/data/road.pm"), OldExample("demo-road.pm", "RADUDAR5.8_PM_SHUJU_PM"));
    WriteFileBytes(dir.Path("project/data/ground.dmx"), OldExample("demo-road.dmx", "RADUDAR5.8_DMX_SHUJU"));
    WriteFileBytes(dir.Path("project/data/profile.zdm"), OldExample("demo-road.zdm", "RADUDAR5.8_ZDM_SHUJU"));
    WriteFileBytes(dir.Path("project/data/stations.sta"),
                   OldExample("demo-road.sta", "RADUDAR5.83_STA_SHUJU"));
    const JobSettings own = SettingsOf(kJobs - 1 - job);
    const double beyond = 5000.0 + 100.0 * job;
    WriteFileBytes(dir.Path("project/road.prj"),
                   "RADUDAR5.83_PRJ_SHUJU\n[Files]1\n101 = data\\road.pm\n103 = data\\ground.dmx\n"
                   "104 = data\\profile.zdm\n109 = data\\stations.sta\n[Settings]2\n201 = Road " +
                       std::to_string(job) + "\n204 = " + std::to_string(own.precision) +
                       "\n[Chain table]3\n" + Line("401 = %.3f = %.3f\n", beyond, beyond - 10.0 - job, 0) +
                       Line("402 = %.3f = %.3f\n", beyond + 500.0, beyond + 520.0 + job, 0));
    PrjFile project;
    if (!project.ReadProject(dir.Path("project/road.prj"))) return failed("project not read");
    ProjectUpgradeReport report;
    if (!project.UpgradeProjectFiles(&report)) return failed("project not upgraded: " + report.failure);
    for (const char* name : {"road.pm", "ground.dmx", "profile.zdm", "stations.sta"})
        results[std::string("upgraded ") + name] =
            ReadFileBytes(dir.Path(std::string("project/data/") + name));
    results["upgraded precision"] = std::to_string(GetStationPrecision());
    return results;
}

TEST(ParallelContexts, JobsOnEightThreadsGiveWhatTheyGiveOneAfterAnother) {
    std::vector<Results> alone(kJobs);
    for (int job = 0; job < kJobs; ++job) {
        Context context;
        const ContextScope scope(context);
        alone[static_cast<std::size_t>(job)] = RunJob(job);
        ASSERT_EQ(alone[static_cast<std::size_t>(job)].count("error"), 0u)
            << alone[static_cast<std::size_t>(job)]["error"];
    }
    // The settings show in the results: no job writes the ground line as the
    // first does, and the projects' precisions are not those of the jobs.
    EXPECT_NE(alone[0]["upgraded ground.dmx"], alone[1]["upgraded ground.dmx"]);
    EXPECT_NE(alone[0]["upgraded precision"], std::to_string(SettingsOf(0).precision));
    for (int job = 1; job < kJobs; ++job) {
        EXPECT_NE(alone[0]["ground.dmx"], alone[static_cast<std::size_t>(job)]["ground.dmx"]);
    }

    for (int round = 0; round < 3; ++round) {
        std::vector<Results> together(kJobs);
        std::vector<std::thread> threads;
        for (int job = 0; job < kJobs; ++job) {
            threads.emplace_back([job, &together] {
                Context context;
                const ContextScope scope(context);
                together[static_cast<std::size_t>(job)] = RunJob(job);
            });
        }
        for (std::thread& thread : threads) thread.join();
        for (int job = 0; job < kJobs; ++job) {
            const Results& a = alone[static_cast<std::size_t>(job)];
            const Results& b = together[static_cast<std::size_t>(job)];
            ASSERT_EQ(b.count("error"), 0u) << "job " << job << ": " << b.at("error");
            for (const auto& [name, bytes] : a) {
                ASSERT_EQ(b.count(name), 1u) << name;
                EXPECT_TRUE(b.at(name) == bytes) << "round " << round << ", job " << job << ": " << name;
            }
        }
    }
}

// A new context starts from the library's start-up settings whatever the
// current one holds; scopes nest, and each end brings back the one before.
TEST(ParallelContexts, ScopesNestAndNewContextsStartFromTheDefaults) {
    test::StationDefaults defaults;
    Context& outer = Context::Current();
    SetStationPrecisionValue(5);
    GetCurrentChainTable().AddBreak(100.0, 90.0);
    {
        Context first;
        const ContextScope one(first);
        EXPECT_EQ(&Context::Current(), &first);
        EXPECT_EQ(GetStationPrecision(), 3);
        EXPECT_DOUBLE_EQ(GetStationTolerance(), 0.001);
        EXPECT_FALSE(HasChainBreaks());
        SetStationPrecisionValue(1);
        {
            Context second;
            const ContextScope two(second);
            EXPECT_EQ(GetStationPrecision(), 3);
            EXPECT_EQ(QStation(1234.5678).GetText(), "1234.568");
        }
        EXPECT_EQ(&Context::Current(), &first);
        EXPECT_EQ(GetStationPrecision(), 1);
    }
    EXPECT_EQ(&Context::Current(), &outer);
    EXPECT_EQ(GetStationPrecision(), 5);
    // A context for one file takes the host's settings but not its chain table.
    {
        outer.railwayMode = true;
        outer.evaluatorColumnFactors[5] = 2.5;
        Context file;
        file.TakeSettingsFrom(outer);
        outer.railwayMode = false;
        outer.evaluatorColumnFactors[5] = 1.0;
        const ContextScope scope(file);
        EXPECT_EQ(GetStationPrecision(), 5);
        EXPECT_DOUBLE_EQ(GetStationTolerance(), 0.00001);
        EXPECT_TRUE(file.railwayMode);
        EXPECT_EQ(file.evaluatorColumnFactors[5], 2.5);
        EXPECT_FALSE(HasChainBreaks());
    }
    // Language texts loaded under a context are that context's.
    TempDir dir;
    WriteFileBytes(dir.Path("own.lang"), "828\tno chain of ours\n");
    {
        Context translated;
        const ContextScope scope(translated);
        ASSERT_EQ(LoadLanguageFile(dir.Path("own.lang")), 1);
        EXPECT_EQ(LoadResourceString(828), "no chain of ours");
        Context plain;
        const ContextScope inner(plain);
        EXPECT_EQ(LoadResourceString(828), "no chain holds it");
    }
    EXPECT_EQ(LoadResourceString(828), "no chain holds it");
    EXPECT_EQ(GetCurrentChainTable().GetBreakCount(), 1);
    // Another thread that chose no context works under the default one.
    const Context* seen = nullptr;
    std::thread([&seen] { seen = &Context::Current(); }).join();
    EXPECT_EQ(seen, &Context::Default());
}

// A host that registers texts, classes, data types and interfaces while other
// threads look them up, each under a context of its own and with texts of
// its own.
TEST(ParallelContexts, RegistriesTakeRegistrationsWhileOtherThreadsLookUp) {
    constexpr int kLate = 40;
    std::atomic<bool> done{false};
    std::atomic<int> lookups{0};
    std::atomic<bool> failed{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&done, &lookups, &failed, t] {
            Context context;
            const ContextScope scope(context);
            if (t % 2) ClearLanguageTexts();
            while ((!done || lookups < 100) && !failed) {
                bool found = LoadResourceString(10).size() > 0 && RuntimeClass::FromName("DmxFile") &&
                             DocumentKind::Find("DmxFile") &&
                             DataTypeRegistry::Get().FindByName("Intersection points") &&
                             SettingKeyRegistry::Get().FindByName(LoadResourceString(201));
                const InterfaceCollector editors(kDocDataTypeInterface);
                found = found && !editors.Items().empty() && !RegisteredInterfaceNames().empty();
                if (!found) failed = true;
                ++lookups;
            }
        });
    }
    // Classes and their names live as long as the registry, as static ones do.
    static std::deque<std::string> names;
    static std::deque<RuntimeClass> classes;
    for (int i = 0; i < kLate; ++i) {
        names.push_back("LateClass" + std::to_string(i));
        classes.emplace_back(names.back().c_str(), &QObject::classRecord, nullptr);
        const ResourceString text{990000 + i, names.back().c_str()};
        RegisterResourceStrings(std::span(&text, 1));
        DataTypeRegistry::Get().Register(
            {static_cast<std::uint16_t>(60000 + i), 0x8001, names.back().c_str(), "Late|late\n\n\n\n.late"});
        RegisterFactory("LateInterface", [] { return std::make_unique<QObject>(); });
    }
    done = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_FALSE(failed) << "a lookup found nothing";
    EXPECT_EQ(LoadResourceString(990000 + kLate - 1), "LateClass" + std::to_string(kLate - 1));
    EXPECT_EQ(RuntimeClass::FromName("LateClass7"), &classes[7]);
    ASSERT_NE(DataTypeRegistry::Get().Find(60000 + kLate - 1), nullptr);
    EXPECT_EQ(InterfaceCollector("LateInterface").Items().size(), static_cast<std::size_t>(kLate));
}

}  // namespace
}  // namespace qdat
