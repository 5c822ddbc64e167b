#pragma once

// A Block's XY pad: the pad position as a cursor, the snapping grid, and in point-edit mode the
// Block's 32-point path with its editable points. The mouse moves the position (live mode),
// records a motion (record mode) or drags path points, their neighbours following by the
// editor's grouping (point-edit mode). The effect's XY state is the source of truth: every
// redraw polls it, so positions set by MIDI or by replay show up, and MIDI movement in an armed
// record mode starts a recording of its own.
//
// Pad coordinates run 0..1 on both axes, y = 1 at the top, spread over the pad's first to last
// pixel, so that snapped points fall on the grid lines and a point at 1 is still on the pad.

#include "gui/StandardControls.h"

class APlugin;

class TXYDisplay : public CControl {
public:
    static constexpr int POINTS = 32;
    static constexpr int GROUP_NO[3] = {1, 3, 8};  // neighbours each side that follow a dragged point

    TXYDisplay(const CRect& size, CControlListener* listener, int block);
    TXYDisplay(const TXYDisplay&) = default;

    void setGrouping(int g);
    int getGrouping() const { return grouping; }
    int getSelectedPoint() const { return selected; }
    bool isPressed() const { return pressed; }
    bool isMidiRecording() const { return midiRecording; }

    bool getEdit() const;  // the Block's XY edit switch
    bool hasPath() const;  // long enough to edit: 2 ms or more
    float snapValue(float v) const;
    void getSnappedXYPoint(int i, float& x, float& y) const;
    // The pixel of path point i (the control's coordinates); 0, 0 outside 0..31.
    void getXYPoint(int i, int& px, int& py) const;
    void setXYPoint(int i, float x, float y);
    // Pad coordinates of a point given in the control's coordinates, limited to the pad.
    void toPad(const CPoint& where, float& x, float& y) const;
    // "X/Y - 50%,25%"
    static void readoutText(float x, float y, char* text, int size);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new TXYDisplay(*this); }

private:
    APlugin* effect() const;
    // Takes up what the effect reports: record-mode arming, replay and MIDI positions.
    void poll(APlugin* fx);
    void drawGrid(CDrawContext* context, APlugin* fx) const;
    void drawPath(CDrawContext* context, APlugin* fx) const;
    // The cursor at the position shown; returns that position.
    void drawCursor(CDrawContext* context, APlugin* fx, float& x, float& y) const;
    CCoord toPixelX(float x) const;
    CCoord toPixelY(float y) const;
    bool pointEditing(int mode) const;  // in point-edit mode, with the switch on and a path
    void cachePoints(APlugin* fx, bool snapped);

    bool recordArmed = false;    // the record mode has just become 1
    bool midiRecording = false;  // a recording MIDI movement started
    bool pressed = false;
    int32_t width;
    int32_t height;
    int32_t recordMode = 0;  // as the last redraw read it
    int32_t selected = -1;
    int32_t grouping = 0;
    int32_t groupSize = 1;
    int32_t block;
    float positionX = 0.0f, positionY = 0.0f;
    float editX = 0.0f, editY = 0.0f;                // where a dragged point is
    float cacheX[POINTS] = {}, cacheY[POINTS] = {};  // the path at the press
};
