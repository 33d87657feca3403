#include "XmlOutput.h"

#include <iostream>

#include "Tool.h"
#include "host/HostException.h"
#include "host/HostFile.h"

namespace qdat::tool {

namespace {

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    std::string text;
};

}  // namespace

void SaveXml(const pugi::xml_document& doc, const std::string& path, const std::vector<std::string>& inputs) {
    StringWriter writer;
    doc.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);
    if (path == "-") {
        std::cout.write(writer.text.data(), static_cast<std::streamsize>(writer.text.size()));
        std::cout.flush();
        if (!std::cout) Fail("the standard output cannot be written");
        return;
    }
    for (const std::string& input : inputs)
        if (!input.empty() && SameFile(input, path)) Fail(path + " is an input file; choose another output");
    MirrorFile file;
    try {
        file.Open(path, File::ModeCreate | File::ModeReadWrite | File::ShareExclusive);
        file.Write(writer.text.data(), writer.text.size());
        file.Close();
    } catch (const FileException& e) {
        file.Abort();
        Fail(e.GetErrorMessage());
    }
}

}  // namespace qdat::tool
