#include "effect/EditorLink.h"

#include <atomic>

namespace {
std::atomic<EditorFactory> installedFactory{nullptr};
}

void setEditorFactory(EditorFactory factory) {
    installedFactory.store(factory);
}

EditorFactory editorFactory() {
    return installedFactory.load();
}
