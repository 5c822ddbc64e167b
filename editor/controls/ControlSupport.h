#pragma once

// How a control reaches the editor and the effect: through its frame. A control shown in no
// frame, or in a frame of another editor, reaches neither.

#include "gui/CFrame.h"
#include "gui/CView.h"

class APlugin;
class uEditor;

uEditor* editorOf(const CView* view);
APlugin* effectOf(const CView* view);
// The run-time type test's name comparison.
bool isClassName(const char* className, const char* name);
// Marks the view and draws what is marked at once.
void redrawNow(CView* view);
