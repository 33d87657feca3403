// A host program: reads the envelope of a data file through the installed library.
#include <cstdio>

#include "docbase/ArchiveEnvelope.h"
#include "host/HostFile.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    qdat::File file;
    file.Open(argv[1], qdat::File::ModeRead);
    const qdat::ArchiveEnvelope env = qdat::ReadArchiveEnvelope(file);
    std::printf("%s\n", env.signature.c_str());
    return env.signature.empty() ? 1 : 0;
}
