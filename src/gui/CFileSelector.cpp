#include "gui/CFileSelector.h"

#include "gui/CFrame.h"
#include "gui/GuiRuntime.h"
#include "platform/fileselect.h"

namespace VSTGUI {

CFileExtension::CFileExtension(const UTF8String& description, const UTF8String& extension,
                               const UTF8String& mimeType, int32_t macType, const UTF8String& uti)
    : description(description), extension(extension), mimeType(mimeType), uti(uti), macType(macType) {}

CFileExtension::CFileExtension(const CFileExtension& ext)
    : CBaseObject(ext),
      description(ext.description),
      extension(ext.extension),
      mimeType(ext.mimeType),
      uti(ext.uti),
      macType(ext.macType) {}

CFileExtension::~CFileExtension() = default;

bool CFileExtension::operator==(const CFileExtension& ext) const {
    return extension == ext.extension && mimeType == ext.mimeType && macType == ext.macType && uti == ext.uti;
}

CNewFileSelector* CNewFileSelector::create(CFrame* parent, Style style) { return new CNewFileSelector(parent, style); }

CNewFileSelector::CNewFileSelector(CFrame* parent, Style style) : parent(parent), style(style) {}

void CNewFileSelector::addFileExtension(const CFileExtension& extension) {
    for (const CFileExtension& e : extensions)
        if (e == extension) return;
    extensions.push_back(extension);
}

void CNewFileSelector::setDefaultExtension(const CFileExtension& extension) {
    addFileExtension(extension);
    for (std::size_t i = 0; i < extensions.size(); ++i)
        if (extensions[i] == extension) defaultExtension = static_cast<int>(i);
}

const CFileExtension* CNewFileSelector::getDefaultExtension() const {
    if (defaultExtension < 0 || defaultExtension >= static_cast<int>(extensions.size())) return nullptr;
    return &extensions[defaultExtension];
}

UTF8StringPtr CNewFileSelector::getSelectedFile(uint32_t index) const {
    return index < selected.size() ? selected[index].c_str() : nullptr;
}

bool CNewFileSelector::runModal() {
    selected.clear();
    if (!checkUIThread("CNewFileSelector::runModal")) return false;
    platform::FileSelectRequest req;
    req.kind = style == kSelectSaveFile ? platform::FileSelectKind::Save
                                        : (style == kSelectDirectory ? platform::FileSelectKind::Folder
                                                                     : platform::FileSelectKind::Load);
    req.title = title.getString();
    req.initialDir = initialDir.getString();
    req.defaultName = defaultSaveName.getString();
    for (const CFileExtension& e : extensions)
        req.filters.push_back(platform::FileFilter{e.getDescription().getString(), e.getExtension().getString()});
    req.defaultFilter = defaultExtension;
    req.multiple = allowMultiple && style == kSelectFile;
    if (parent) parent->popupStarted();
    const platform::FileSelectResult res = platform::runFileSelect(req);
    if (!res.ok) return false;
    selected = res.paths;
    return !selected.empty();
}

bool CNewFileSelector::run(std::function<void(CNewFileSelector*)> callback) {
    CBaseObjectGuard guard(this);
    const bool ok = runModal();
    if (callback) callback(this);
    return ok;
}

} // namespace VSTGUI
