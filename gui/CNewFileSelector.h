#pragma once

// A modal file chooser: open a file, save a file or choose a folder, through the platform's
// choosers (framework/platform/Dialogs.h: the desktop's chooser, the terminal, or a script).
// A selector is reference counted: create gives one reference, forget drops it.

#include <string>
#include <vector>

#include "gui/GuiTypes.h"

class CFrame;

class CFileExtension {
public:
    CFileExtension(const char* description, const char* extension, const char* mimeType = nullptr,
                   int macType = 0);

    const std::string& getDescription() const { return description; }
    const std::string& getExtension() const { return extension; }  // without the point
    const std::string& getMimeType() const { return mimeType; }
    int getMacType() const { return macType; }
    bool operator==(const CFileExtension& other) const { return extension == other.extension; }

private:
    std::string description, extension, mimeType;
    int macType;
};

class CNewFileSelector : public CReferenceCounter {
public:
    enum Style { kSelectFile = 0, kSelectSaveFile = 1, kSelectDirectory = 2 };

    // The frame is not looked at (the chooser is its own window). Null for an unknown style.
    static CNewFileSelector* create(CFrame* parent = nullptr, Style style = kSelectFile);

    void setTitle(const char* text) { title = text ? text : ""; }
    void setInitialDirectory(const char* path) { folder = path ? path : ""; }
    void setDefaultSaveName(const char* name) { saveName = name ? name : ""; }
    // Offered in the order added, the default first.
    void addFileExtension(const CFileExtension& extension);
    void setDefaultExtension(const CFileExtension& extension);
    // One file at a time is all the platform's choosers give.
    void setAllowMultiFileSelection(bool state) { multiple = state; }

    // Shows the chooser and waits; true when a file (or folder) was chosen.
    bool runModal();
    // Closes a chooser that is still showing; the result stays.
    void cancel() {}
    int getNumSelectedFiles() const { return static_cast<int>(selected.size()); }
    // The chosen path, or null.
    const char* getSelectedFile(unsigned index) const;

private:
    explicit CNewFileSelector(Style chooserStyle) : style(chooserStyle) {}

    Style style;
    std::string title, folder, saveName;
    std::vector<CFileExtension> extensions;
    int defaultExtension = -1;
    bool multiple = false;
    std::vector<std::string> selected;
};
