#include <qdat/exchange/LandXmlImport.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>

#include <qdat/docbase/DataArchive.h>
#include <qdat/exchange/ExchangeError.h>
#include <qdat/exchange/detail/LandXmlRead.h>
#include <qdat/host/Context.h>
#include <qdat/host/HostException.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostPaths.h>
#include <qdat/plan/QJdDoc.h>
#include <qdat/plan/QPmDoc.h>
#include <qdat/profile/DmxFile.h>
#include <qdat/project/PrjFile.h>
#include <qdat/project/SettingKeyRegistry.h>

namespace qdat {

namespace {

using landxml::Source;

// A LandXML file larger than this is not read: no design file comes near it,
// and the parsed tree takes several times the text.
constexpr std::uint64_t kLargestFile = 512ull << 20;

constexpr std::uint32_t kPlanType = 101;
constexpr std::uint32_t kJdType = 102;
constexpr std::uint32_t kGroundType = 103;
constexpr std::uint32_t kProfileType = 104;

std::string ReadWholeFile(const std::string& path) {
    RegularFileReader reader;
    switch (reader.Open(path)) {
        case RegularFileReader::Opened::Yes:
            break;
        case RegularFileReader::Opened::NotRegular:
            throw ExchangeError(path + " is not a regular file");
        default:
            throw ExchangeError(path + " cannot be read: " + std::strerror(reader.Error()));
    }
    if (reader.Size() > kLargestFile)
        throw ExchangeError(path + " is larger than " + std::to_string(kLargestFile >> 20) +
                            " MiB; it is not read as LandXML");
    std::string text;
    char buffer[65536];
    for (;;) {
        const long long got = reader.Read(buffer, sizeof buffer);
        if (got < 0) throw ExchangeError(path + " cannot be read: " + std::strerror(reader.Error()));
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > kLargestFile) throw ExchangeError(path + " grew while it was read");
    }
    return text;
}

LandXmlFileInfo Describe(const Source& source) {
    LandXmlFileInfo info;
    info.version = source.Root().attribute("version").value();
    const pugi::xml_node app = landxml::Child(source.Root(), "Application");
    info.application = app.attribute("name").value();
    if (const std::string v = app.attribute("version").value(); !v.empty())
        info.application += (info.application.empty() ? "" : " ") + v;
    const landxml::Units& u = source.GetUnits();
    info.units =
        std::string(u.imperial ? "imperial" : "metric") + " (" + u.linearUnit + "; " + u.angularUnit + ")";
    info.metresPerUnit = u.metresPerUnit;
    const std::vector<pugi::xml_node> alignments = landxml::AlignmentNodes(source);
    for (std::size_t i = 0; i < alignments.size(); ++i)
        info.alignments.push_back(landxml::DescribeAlignment(source, alignments[i], i));
    return info;
}

pugi::xml_node FindAlignment(const Source& source, const std::string& name, std::size_t& index) {
    const std::vector<pugi::xml_node> alignments = landxml::AlignmentNodes(source);
    if (alignments.empty()) throw ExchangeError(source.Name() + " holds no alignment");
    if (name.empty()) {
        if (alignments.size() > 1) {
            std::string names;
            for (std::size_t i = 0; i < alignments.size(); ++i)
                names += (i ? ", \"" : "\"") + landxml::AlignmentName(alignments[i], i) + "\"";
            throw ExchangeError(source.Name() + " holds " + std::to_string(alignments.size()) +
                                " alignments (" + names + "); name one");
        }
        index = 0;
        return alignments[0];
    }
    for (std::size_t i = 0; i < alignments.size(); ++i)
        if (landxml::AlignmentName(alignments[i], i) == name) {
            index = i;
            return alignments[i];
        }
    throw ExchangeError(source.Name() + " holds no alignment named \"" + name + "\"");
}

ImportedAlignment ReadAlignment(const Source& source, pugi::xml_node node, std::size_t index,
                                const std::string& profileName) {
    ImportedAlignment a;
    a.name = landxml::AlignmentName(node, index);
    const landxml::Units& u = source.GetUnits();
    if (u.metresPerUnit != 1.0)
        a.notes.push_back(source.Name() + ": lengths in " + u.linearUnit + " are converted to metres (1 " +
                          u.linearUnit + " = " + landxml::NumberText(u.metresPerUnit) + " m)");
    landxml::ReadPlan(source, node, a);
    landxml::ReadEquations(source, node, a);
    landxml::ReadProfiles(source, node, profileName, a);
    return a;
}

// The fewest decimals, 3 to 6, in which the stations written as text (the
// profile's and the ground line's, as stake stations on their chains) keep
// their value.
int StationPrecisionFor(const ImportedAlignment& a) {
    std::vector<double> stations;
    for (const GradePoint& p : a.profile) {
        stations.push_back(a.chain.StakeOf(p.Station.GetValue()));
        if (p.StepHeight != 0.0) stations.push_back(a.chain.StakeOf(p.StepStation.GetValue()));
    }
    for (const GroundPoint& p : a.ground) stations.push_back(a.chain.StakeOf(p.m_station.GetValue()));
    for (int places = 3; places < 6; ++places) {
        const double scale = std::pow(10.0, places);
        bool fits = true;
        for (double s : stations)
            if (std::fabs(std::round(s * scale) / scale - s) > 1e-9 * std::max(1.0, std::fabs(s)))
                fits = false;
        if (fits) return places;
    }
    return 6;
}

// A file's name made of an alignment's: characters a path cannot hold, or
// that would make it hidden, replaced.
std::string FileStemOf(const std::string& name) {
    std::string stem;
    for (char c : name)
        stem += std::string_view("/\\:*?\"<>|").find(c) == std::string_view::npos &&
                        static_cast<unsigned char>(c) >= 0x20
                    ? c
                    : '_';
    if (stem.empty() || stem[0] == '.') stem = "_" + stem;
    return stem;
}

// One file to write: its bytes are made in memory before any is written.
struct Output {
    std::string path;
    std::unique_ptr<QDocument> doc;
    std::string bytes;
};

std::string Render(QDocument& doc, const std::string& path) {
    MemoryFile memory(std::string(), path);
    try {
        if (!doc.WriteToFile(memory)) throw ExchangeError(path + " cannot be written");
    } catch (const HostException& e) {
        throw ExchangeError(path + ": " + e.GetErrorMessage());
    }
    return memory.Bytes();
}

// The documents of one alignment, for the paths asked for.
struct AlignmentFiles {
    std::string plan, jd, profile, ground, project;
    // Whether an alignment whose curves intersection points cannot describe
    // is written without them (told) rather than refused.
    bool jdWhereItFits = false;
};

class Writer {
public:
    Writer(const std::string& input, LandXmlImportResult& result) : m_input(input), m_result(result) {}

    void Add(const ImportedAlignment& a, const AlignmentFiles& files) {
        // Every file of the alignment is made under its stationing: the
        // chain table and the decimals its station text needs.
        const int precision = StationPrecisionFor(a);
        ContextScope scope(ContextFor(a, precision));
        if (!files.plan.empty()) {
            auto doc = std::make_unique<QPmDoc>();
            doc->GetAlignment() = a.plan;
            Push(files.plan, std::move(doc));
        }
        std::string jd = files.jd;
        if (!jd.empty()) {
            auto doc = std::make_unique<QJdDoc>();
            try {
                doc->GetList() = IntersectionPointsOf(a, &m_result.notes);
                Push(jd, std::move(doc));
            } catch (const ExchangeError& e) {
                if (!files.jdWhereItFits) throw;
                m_result.notes.push_back(std::string(e.what()) + "; no " + jd + " is written");
                jd.clear();
            }
        }
        if (!files.profile.empty()) {
            if (a.profile.IsEmpty())
                throw ExchangeError(m_input + ": alignment \"" + a.name +
                                    "\" has no vertical profile (ProfAlign)");
            auto doc = std::make_unique<QZdmFile>();
            doc->GetGradePointArray() = a.profile;
            doc->Recalculate();
            Push(files.profile, std::move(doc));
        }
        if (!files.ground.empty()) {
            if (a.ground.IsEmpty())
                throw ExchangeError(m_input + ": alignment \"" + a.name + "\" has no ground line (ProfSurf)");
            for (const GroundPoint& p : a.ground)
                if (p.m_station.GetValue() == 0.0 && p.m_elevation == 0.0)
                    throw ExchangeError(
                        m_input + ": alignment \"" + a.name +
                        "\" has a ground point of elevation 0 at station 0, which a ground-line "
                        "file does not keep (it reads as no point)");
            auto doc = std::make_unique<DmxFile>();
            doc->GetPointArray() = a.ground;
            Push(files.ground, std::move(doc));
        }
        if (!files.project.empty()) {
            auto doc = std::make_unique<PrjFile>();
            const std::string path = MakeAbsolutePath(files.project);
            doc->SetPathNameRaw(path);
            const auto name = [&](std::uint32_t type, const std::string& file) {
                if (!file.empty() && !doc->SetEntryPath(type, MakeAbsolutePath(file)))
                    throw ExchangeError(files.project + ": the path " + file +
                                        " cannot stand in a project file");
            };
            name(kPlanType, files.plan);
            name(kJdType, jd);
            name(kProfileType, files.profile);
            name(kGroundType, files.ground);
            doc->SetSetting(SettingKeyRegistry::kProjectName, a.name);
            doc->SetSetting(SettingKeyRegistry::kStationPrecision, std::to_string(precision));
            doc->GetChainTable() = a.chain;
            if (doc->EnsureSegment(0))
                doc->SetSegmentRange(0, a.plan.GetStartStation(), a.plan.GetEndStation());
            Push(files.project, std::move(doc));
        }
    }

    // Writes the files. Every target is opened (a mirror file beside it)
    // and the data files written there before the first replaces its
    // target, so that a folder that is not there or may not be written stops
    // the import with nothing written. The projects are made last, when the
    // files they name are in place, so that they record their fingerprints.
    void Write() {
        std::vector<std::unique_ptr<MirrorFile>> files;
        try {
            for (const Output& o : m_outputs) {
                files.push_back(std::make_unique<MirrorFile>());
                files.back()->Open(o.path, File::ModeCreate | File::ModeReadWrite | File::ShareExclusive);
                if (!IsProject(o)) files.back()->Write(o.bytes.data(), o.bytes.size());
            }
            for (std::size_t i = 0; i < m_outputs.size(); ++i)
                if (!IsProject(m_outputs[i])) Replace(*files[i], m_outputs[i]);
            for (std::size_t i = 0; i < m_outputs.size(); ++i) {
                Output& o = m_outputs[i];
                if (!IsProject(o)) continue;
                ContextScope scope(*m_contexts[m_contextOf[i]]);
                o.bytes = Render(*o.doc, o.path);
                files[i]->Write(o.bytes.data(), o.bytes.size());
                Replace(*files[i], o);
            }
        } catch (const FileException& e) {
            for (const auto& file : files)
                if (file->IsOpen()) file->Abort();
            std::string written;
            for (const std::string& path : m_result.written) written += (written.empty() ? "" : ", ") + path;
            throw ExchangeError(e.GetErrorMessage() + (written.empty() ? "; nothing is written"
                                                                       : "; written before it: " + written));
        } catch (...) {
            for (const auto& file : files)
                if (file->IsOpen()) file->Abort();
            throw;
        }
    }

private:
    Context& ContextFor(const ImportedAlignment& a, int precision) {
        auto context = std::make_unique<Context>();
        context->ui = Context::Current().ui;
        context->texts = Context::Current().texts;
        {
            ContextScope scope(*context);
            SetStationPrecisionValue(precision);
            GetCurrentChainTable() = a.chain;
        }
        m_contexts.push_back(std::move(context));
        return *m_contexts.back();
    }

    void Push(const std::string& path, std::unique_ptr<QDocument> doc) {
        if (SameFile(m_input, path)) throw ExchangeError(path + " is the input file; choose another output");
        for (const Output& o : m_outputs)
            if (SameFile(o.path, path)) throw ExchangeError(path + " is asked for twice");
        if (KindOfPath(path) == PathKind::Other) throw ExchangeError(path + " is not a regular file");
        Output o{path, std::move(doc), {}};
        o.bytes = Render(*o.doc, path);
        m_outputs.push_back(std::move(o));
        m_contextOf.push_back(m_contexts.size() - 1);
    }

    static bool IsProject(const Output& o) { return dynamic_cast<const PrjFile*>(o.doc.get()) != nullptr; }

    void Replace(MirrorFile& file, const Output& o) {
        file.Close();
        m_result.written.push_back(o.path);
    }

    const std::string& m_input;
    LandXmlImportResult& m_result;
    std::vector<Output> m_outputs;
    std::vector<std::size_t> m_contextOf;
    std::vector<std::unique_ptr<Context>> m_contexts;
};

}  // namespace

LandXmlFileInfo ListLandXmlText(std::string_view text, const std::string& name) {
    const Source source(text, name);
    return Describe(source);
}

LandXmlFileInfo ListLandXml(const std::string& path) {
    return ListLandXmlText(ReadWholeFile(path), path);
}

ImportedAlignment ReadLandXmlAlignment(std::string_view text, const std::string& name,
                                       const std::string& alignment, const std::string& profileName) {
    const Source source(text, name);
    std::size_t index = 0;
    const pugi::xml_node node = FindAlignment(source, alignment, index);
    return ReadAlignment(source, node, index, profileName);
}

LandXmlImportResult ImportLandXml(const std::string& path, const LandXmlImportOptions& options) {
    const std::string text = ReadWholeFile(path);
    const Source source(text, path);
    LandXmlImportResult result;
    result.file = Describe(source);
    const auto noteAll = [&](const ImportedAlignment& a) {
        for (const std::string& n : a.notes) result.notes.push_back(a.name + ": " + n);
        result.alignments.push_back(a.name);
    };
    Writer writer(path, result);
    const bool single = !options.plan.empty() || !options.jd.empty() || !options.profile.empty() ||
                        !options.ground.empty() || !options.project.empty();
    if (single) {
        std::size_t index = 0;
        const pugi::xml_node node = FindAlignment(source, options.alignment, index);
        const ImportedAlignment a = ReadAlignment(source, node, index, options.profileName);
        noteAll(a);
        writer.Add(a, {options.plan, options.jd, options.profile, options.ground, options.project});
    }
    if (!options.allDirectory.empty()) {
        if (KindOfPath(options.allDirectory) != PathKind::Other)
            throw ExchangeError(options.allDirectory + " is not a folder");
        const std::string dir = options.allDirectory + (options.allDirectory.back() == '/' ? "" : "/");
        const std::vector<pugi::xml_node> nodes = landxml::AlignmentNodes(source);
        if (nodes.empty()) throw ExchangeError(path + " holds no alignment");
        std::set<std::string> stems;
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (!options.alignment.empty() && landxml::AlignmentName(nodes[i], i) != options.alignment)
                continue;
            const ImportedAlignment a = ReadAlignment(source, nodes[i], i, options.profileName);
            noteAll(a);
            std::string stem = FileStemOf(a.name);
            for (int k = 2; !stems.insert(stem).second; ++k)
                stem = FileStemOf(a.name) + "-" + std::to_string(k);
            const std::string base = dir + stem;
            writer.Add(a, {base + ".pm", base + ".jd", a.profile.IsEmpty() ? "" : base + ".zdm",
                           a.ground.IsEmpty() ? "" : base + ".dmx", base + ".prj", true});
        }
        if (result.alignments.empty())
            throw ExchangeError(path + " holds no alignment named \"" + options.alignment + "\"");
    }
    if (!single && options.allDirectory.empty()) throw ExchangeError("nothing to write: name an output file");
    writer.Write();
    return result;
}

}  // namespace qdat
