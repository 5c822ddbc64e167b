#include "framework/effectbase/AEffEditor.h"

bool AEffEditor::getRect(ERect** rect) {
    if (rect) *rect = nullptr;
    return false;
}

bool AEffEditor::open(void* parent) {
    systemWindow = parent;
    return false;
}
