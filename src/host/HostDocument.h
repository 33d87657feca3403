// The host framework's document: title, path name, modified flag, views and the
// new/open/save/close hooks that QDocument overrides.
#pragma once

#include <string>

#include <qdat/host/Export.h>
#include <qdat/host/RuntimeClass.h>

namespace qdat {

class QDAT_API HostDocument : public QObject {
public:
    HostDocument() = default;
    ~HostDocument() override = default;
    HostDocument(const HostDocument&) = delete;
    HostDocument& operator=(const HostDocument&) = delete;

    virtual bool OnNewDocument();
    // An empty path asks the user for a file.
    virtual bool OnOpenDocument(const std::string& path) = 0;
    virtual bool OnSaveDocument(const std::string& path) = 0;
    virtual void OnCloseDocument();
    virtual void DeleteContents() {}

    virtual void SetTitle(const std::string& title) { m_title = title; }
    const std::string& GetTitle() const { return m_title; }
    const std::string& GetPathName() const { return m_pathName; }
    void SetPathNameRaw(const std::string& path) { m_pathName = path; }

    virtual bool IsModified() const { return m_modified; }
    virtual void SetModifiedFlag(bool modified = true) { m_modified = modified; }

    // Views are the host's; the library only counts them.
    int GetViewCount() const { return m_viewCount; }
    void AddView() { ++m_viewCount; }
    void RemoveView() {
        if (m_viewCount > 0) --m_viewCount;
    }

    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override { return classRecord; }

protected:
    std::string m_title;
    std::string m_pathName;
    bool m_modified = false;
    int m_viewCount = 0;
};

}  // namespace qdat
