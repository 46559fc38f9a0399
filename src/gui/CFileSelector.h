// File selectors for the GUI: a thin adapter over the platform's modal file selection
// (platform/fileselect.h), which decides how the selector is shown (the dialog program, a test
// script, or cancelled at once without a display).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gui/CBaseObject.h"
#include "gui/GuiTypes.h"

namespace VSTGUI {

class CFrame;

class CFileExtension : public CBaseObject {
public:
    CFileExtension(const UTF8String& description, const UTF8String& extension, const UTF8String& mimeType = "",
                   int32_t macType = 0, const UTF8String& uti = "");
    CFileExtension(const CFileExtension& ext);
    ~CFileExtension() override;

    const UTF8String& getDescription() const { return description; }
    const UTF8String& getExtension() const { return extension; }
    const UTF8String& getMimeType() const { return mimeType; }
    int32_t getMacType() const { return macType; }
    const UTF8String& getUTI() const { return uti; }

    bool operator==(const CFileExtension& ext) const;

private:
    UTF8String description;
    UTF8String extension;
    UTF8String mimeType;
    UTF8String uti;
    int32_t macType;
};

class CNewFileSelector : public CBaseObject {
public:
    enum Style { kSelectFile, kSelectSaveFile, kSelectDirectory };

    // A new selector (one reference for the caller); `parent` may be null.
    static CNewFileSelector* create(CFrame* parent = nullptr, Style style = kSelectFile);

    // Shows the selector and waits for the answer; true when something was chosen.
    bool runModal();
    // The same, then calls `callback` with the selector (also when nothing was chosen).
    bool run(std::function<void(CNewFileSelector*)> callback);
    void cancel() {}

    void setTitle(const UTF8String& title) { this->title = title; }
    void setInitialDirectory(const UTF8String& path) { initialDir = path; }
    void setDefaultSaveName(const UTF8String& name) { defaultSaveName = name; }
    // Adds the extension when it is not listed yet and shows it first.
    void setDefaultExtension(const CFileExtension& extension);
    void setAllowMultiFileSelection(bool state) { allowMultiple = state; }
    void addFileExtension(const CFileExtension& extension);

    uint32_t getNumSelectedFiles() const { return static_cast<uint32_t>(selected.size()); }
    UTF8StringPtr getSelectedFile(uint32_t index) const;
    const CFileExtension* getDefaultExtension() const;
    const std::vector<CFileExtension>& getFileExtensions() const { return extensions; }
    Style getStyle() const { return style; }

private:
    CNewFileSelector(CFrame* parent, Style style);

    CFrame* parent;
    Style style;
    UTF8String title;
    UTF8String initialDir;
    UTF8String defaultSaveName;
    std::vector<CFileExtension> extensions;
    int defaultExtension = -1;
    bool allowMultiple = false;
    std::vector<std::string> selected;
};

} // namespace VSTGUI
