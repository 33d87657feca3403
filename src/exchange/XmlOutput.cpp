#include <qdat/exchange/XmlOutput.h>

#include <qdat/exchange/ExchangeError.h>
#include <qdat/host/HostException.h>
#include <qdat/host/HostFile.h>
#include <qdat/host/HostPaths.h>

namespace qdat {
namespace {

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    std::string text;
};

}  // namespace

void SaveXml(const pugi::xml_document& doc, const std::string& path, const std::vector<std::string>& inputs) {
    // The whole text is made first: nothing is written of a document that
    // cannot be.
    StringWriter writer;
    doc.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);
    SaveText(writer.text, path, inputs);
}

void SaveText(const std::string& text, const std::string& path, const std::vector<std::string>& inputs) {
    if (path == "-") {
        if (!WriteToStandardOutput(text)) throw ExchangeError("the standard output cannot be written");
        return;
    }
    for (const std::string& input : inputs)
        if (!input.empty() && SameFile(input, path))
            throw ExchangeError(path + " is an input file; choose another output");
    MirrorFile file;
    try {
        file.Open(path, File::ModeCreate | File::ModeReadWrite | File::ShareExclusive);
        file.Write(text.data(), text.size());
        file.Close();
    } catch (const FileException& e) {
        file.Abort();
        throw ExchangeError(e.GetErrorMessage());
    }
}

}  // namespace qdat
