#include <qdat/host/HostDocument.h>

namespace qdat {

const RuntimeClass HostDocument::classRecord{"CDocument", &QObject::classRecord, nullptr};

bool HostDocument::OnNewDocument() {
    DeleteContents();
    m_pathName.clear();
    SetModifiedFlag(false);
    return true;
}

void HostDocument::OnCloseDocument() {
    DeleteContents();
    m_viewCount = 0;
}

}  // namespace qdat
