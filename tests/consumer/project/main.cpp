// A host program: reads the envelope of a data file through the installed
// library, and, given a plan element file and an output, writes its
// alignment as LandXML through the installed exchange library.
#include <cstdio>
#include <exception>

#include <qdat/docbase/ArchiveEnvelope.h>
#include <qdat/exchange/AlignmentOf.h>
#include <qdat/exchange/LandXml.h>
#include <qdat/host/HostFile.h>
#include <qdat/plan/QPmDoc.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    qdat::File file;
    file.Open(argv[1], qdat::File::ModeRead);
    const qdat::ArchiveEnvelope env = qdat::ReadArchiveEnvelope(file);
    std::printf("%s\n", env.signature.c_str());
    if (env.signature.empty()) return 1;
    if (argc < 4) return 0;
    try {
        qdat::QPmDoc plan;
        if (!qdat::ReadDocumentFile(plan, argv[2])) return 1;
        qdat::DocumentAlignment alignment = qdat::AlignmentOf(plan, argv[2]);
        const qdat::ChainTable noBreaks;
        qdat::LandXmlSource source;
        source.name = "consumer";
        source.alignment = &alignment.Alignment();
        source.chain = &noBreaks;
        qdat::WriteLandXml(source, argv[3], {argv[2]});
        std::printf("LandXML written: %s\n", argv[3]);
    } catch (const std::exception& e) {
        std::printf("LandXML export failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
