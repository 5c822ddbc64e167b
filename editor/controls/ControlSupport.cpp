#include "editor/controls/ControlSupport.h"

#include <cstring>

#include "editor/uEditor.h"
#include "effect/APlugin.h"

uEditor* editorOf(const CView* view) {
    CFrame* frame = view ? view->getFrame() : nullptr;
    return frame ? dynamic_cast<uEditor*>(frame->getEditor()) : nullptr;
}

APlugin* effectOf(const CView* view) {
    uEditor* editor = editorOf(view);
    return editor ? editor->plugin() : nullptr;
}

void redrawNow(CView* view) {
    view->setDirty(true);
    if (CFrame* frame = view->getFrame()) frame->doIdleStuff();
}

bool isClassName(const char* className, const char* name) {
    return className && std::strcmp(className, name) == 0;
}
