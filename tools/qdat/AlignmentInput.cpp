#include "AlignmentInput.h"

namespace qdat::tool {

AlignmentInput::AlignmentInput(const std::string& path, const FileOptions& options)
    : m_document(LoadDocument(path, options)) {
    m_chain = GetCurrentChainTable();
    m_alignment = std::make_unique<DocumentAlignment>(AlignmentOf(*m_document, path));
}

}  // namespace qdat::tool
