#include "AlignmentInput.h"

namespace qdat::tool {

AlignmentInput::AlignmentInput(const std::string& path, FileContext& context)
    : m_document(LoadDocument(path, context)) {
    m_chain = context.Chain();
    m_alignment = std::make_unique<DocumentAlignment>(AlignmentOf(*m_document, path));
}

}  // namespace qdat::tool
