#include "gui/CNewFileSelector.h"

#include <algorithm>

#include "framework/platform/Dialogs.h"

CFileExtension::CFileExtension(const char* text, const char* ext, const char* mime, int type)
    : description(text ? text : ""), extension(ext ? ext : ""), mimeType(mime ? mime : ""), macType(type) {
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
}

CNewFileSelector* CNewFileSelector::create(CFrame*, Style style) {
    if (style != kSelectFile && style != kSelectSaveFile && style != kSelectDirectory) return nullptr;
    return new CNewFileSelector(style);
}

void CNewFileSelector::addFileExtension(const CFileExtension& extension) {
    if (std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
        extensions.push_back(extension);
}

void CNewFileSelector::setDefaultExtension(const CFileExtension& extension) {
    addFileExtension(extension);
    defaultExtension =
        static_cast<int>(std::find(extensions.begin(), extensions.end(), extension) - extensions.begin());
}

bool CNewFileSelector::runModal() {
    ChooserRequest request;
    request.kind = style == kSelectSaveFile    ? ChooserKind::SaveFile
                   : style == kSelectDirectory ? ChooserKind::Folder
                                               : ChooserKind::OpenFile;
    request.title = title;
    request.folder = folder;
    request.defaultName = saveName;
    if (defaultExtension >= 0)
        request.extensions.push_back(extensions[static_cast<size_t>(defaultExtension)].getExtension());
    for (size_t i = 0; i < extensions.size(); ++i)
        if (static_cast<int>(i) != defaultExtension)
            request.extensions.push_back(extensions[i].getExtension());
    selected.clear();
    std::string path;
    if (dialogs().choose(request, path) == DialogReply::Ok && !path.empty()) selected.push_back(path);
    return !selected.empty();
}

const char* CNewFileSelector::getSelectedFile(unsigned index) const {
    return index < selected.size() ? selected[index].c_str() : nullptr;
}
