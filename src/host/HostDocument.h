// The host framework's document: title, path name, modified flag, views and the
// new/open/save/close hooks that QDocument overrides.
#pragma once

#include <string>

#include "host/RuntimeClass.h"

namespace qdat {

class HostDocument : public QObject {
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

    virtual void SetTitle(const std::string& title) { m_strTitle = title; }
    const std::string& GetTitle() const { return m_strTitle; }
    const std::string& GetPathName() const { return m_strPathName; }
    void SetPathNameRaw(const std::string& path) { m_strPathName = path; }

    virtual bool IsModified() const { return m_bModified; }
    virtual void SetModifiedFlag(bool modified = true) { m_bModified = modified; }

    // Views are the host's; the library only counts them.
    int GetViewCount() const { return m_nViews; }
    void AddView() { ++m_nViews; }
    void RemoveView() {
        if (m_nViews > 0) --m_nViews;
    }

    static const RuntimeClass classRecord;
    const RuntimeClass& GetRuntimeClass() const override { return classRecord; }

protected:
    std::string m_strTitle;
    std::string m_strPathName;
    bool m_bModified = false;
    int m_nViews = 0;
};

}  // namespace qdat
