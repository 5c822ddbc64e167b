#pragma once

// What the effect asks of its editor, and how it gets one. The editor layer implements the link
// and the component installs its factory, so the effect builds, runs and is tested without the
// editor or its toolkit: with no factory installed the effect simply has no editor.

class AudioEffect;

class EditorLink {
public:
    // A parameter changed (any thread).
    virtual void setParameter(int index, float value) = 0;
    // Program or bulk change: bring every control up to date (any thread).
    virtual void resume() = 0;
    // An edit gesture began on the parameter (tag), or ended (-1).
    virtual void setEditTag(int tag) = 0;
    // The XY pads moved (render thread).
    virtual void updateXYDisplay() = 0;

protected:
    ~EditorLink() = default;  // the effect base deletes the editor, never the link
};

// Creates the editor for effect, which installs itself as the effect's editor.
using EditorFactory = EditorLink* (*)(AudioEffect* effect);
void setEditorFactory(EditorFactory factory);
EditorFactory editorFactory();
