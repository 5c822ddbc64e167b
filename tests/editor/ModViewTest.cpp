// The modulation matrix view on the real artwork: what each cell says and where it is drawn,
// clicks by column, the amount's drags, resets and wheel, and knobs dropped on it.

#include "editor/controls/TModDisplay.h"
#include "effect/OptionStrings.h"
#include "gui/CDrawContext.h"
#include "resources/Layout.h"
#include "tests/editor/EditorHarness.h"
#include "tests/support/Contrast.h"

using namespace tarnwell::test;

namespace {

struct ModView {
    explicit ModView(int size = 0) : h(size) {
        h.openMain();
        view = static_cast<TModDisplay*>(h.ctl().modDisplay);
    }
    // x pixels into row r, in frame coordinates.
    CPoint at(int r, int x) const {
        const CRect& v = view->getViewSize();
        return CPoint(v.left + x,
                      v.top + static_cast<int>(layout::MOD_SLOT_HEIGHT[h.editor->getGuiSize()] * r) + 5);
    }
    float amount(int slot) { return h.fx->getParameter(MOD_AMOUNT_TAG[slot]); }

    EditorHarness h;
    TModDisplay* view = nullptr;
};

}  // namespace

TEST(EditorModView, EachCellSaysItsSlotAndIsDrawnInItsBandAtEverySize) {
    for (int size = 0; size < layout::SIZE_COUNT; ++size) {
        SCOPED_TRACE(size);
        ModView m(size);
        APlugin& fx = *m.h.fx;
        fx.setParameter(BLOCK_TYPE_TAG[1], choice(4, 6.99f));  // Block 2: Room
        fx.setModVariables(0, false, 0.5f, 27, 73);            // Delay Speed acts exponentially: x1 ...
        fx.setModVariables(1, false, 1.0f, 38, 73);            // ... x8
        fx.setModVariables(2, false, 0.9f, 1, 27);
        fx.setModVariables(3, true, 0.0f, 0, 0);
        const char* const expected[4][4] = {{"1", "Follower", "Delay Speed", "100 %"},
                                            {"2", "B2 Y", "Delay Speed", "800 %"},
                                            {"3", "Mod Wheel", "B2 Room Length", "80 %"},
                                            {"4", "None", "None", "-100 %"}};
        // Each cell's text in its own band: white for a live slot, no brighter than its grey
        // for a bypassed one; a bypass the effect sets shows at the next idle.
        const CRect& v = m.view->getViewSize();
        const float rowH = layout::MOD_SLOT_HEIGHT[size];
        const auto brightest = [&](int r, int c) {
            m.h.idle();
            int best = 0;
            for (int y = v.top + int(rowH * r) + 1; y < v.top + int(rowH * r + rowH) - 1; ++y)
                for (int x = v.left + layout::MOD_COLOUMN_START[size][c] + 2;
                     x < v.left + layout::MOD_COLOUMN_END[size][c] - 2; ++x) {
                    const CColor p = m.h.parent.pixel(x, y);
                    best = std::max(best, std::min({int{p.red}, int{p.green}, int{p.blue}}));
                }
            return best;
        };
        for (int c = 0; c < 4; ++c) {
            for (int r = 0; r < 4; ++r) EXPECT_EQ(m.view->cellText(r, c), expected[r][c]);
            EXPECT_GT(brightest(2, c), 200);
            EXPECT_LE(brightest(3, c), MOD_BYPASS_TEXT_COLOR.red);
        }
        fx.setParameter(MOD_BYPASS_TAG[2], 1.0f);
        EXPECT_LE(brightest(2, 2), MOD_BYPASS_TEXT_COLOR.red);
        // ... and still readable: 3:1 on the well at least (measured where the strokes are wide).
        if (size == 2) {
            const CPoint corner(v.left + 2, v.top + static_cast<int>(rowH * 3) + 2);
            const CColor well = m.h.parent.pixel(corner.x, corner.y);
            const auto pixel = [&](int x, int y) { return m.h.parent.pixel(x, y); };
            const CColor ink = inkOf(pixel, v.left + layout::MOD_COLOUMN_START[size][1], corner.y,
                                     v.left + layout::MOD_COLOUMN_END[size][1], v.bottom - 2, well);
            EXPECT_GE(contrastRatio(ink, well), 3.0);
        }

        // Every source and destination name fits its column, whatever the Blocks are.
        const CFontDesc* font = size == 0 ? kNormalFontSmaller : size == 1 ? kNormalFont : kNormalFontBig;
        const auto fits = [&](int c, const char* text) {
            const int room = layout::MOD_COLOUMN_END[size][c] - layout::MOD_COLOUMN_START[size][c] - 2;
            EXPECT_LE(CDrawContext::measure(font, text), room) << text;
        };
        for (const char* source : MOD_SOURCE_SHORT_STR) fits(1, source);
        char name[NAME_BUFFER_SIZE];
        for (int type = 0; type < BLOCK_TYPE_STR_COUNT; ++type) {
            for (int b = 0; b < BLOCK_COUNT; ++b) fx.setParameter(BLOCK_TYPE_TAG[b], choice(type, 6.99f));
            for (int d = 0; d < MOD_DESTINATION_COUNT; ++d)
                fits(2, (fx.getDestinationString(d, true, name), name));
        }
    }
}

TEST(EditorModView, ClicksToggleBypassAndChooseSourceAndDestinationByColumn) {
    ModView m;
    APlugin& fx = *m.h.fx;
    // The slot column ends at x = 23; a click there toggles the bypass, undoably.
    m.h.parent.click(m.at(1, 23));
    EXPECT_TRUE(fx.getModBypass(1));
    fx.doModCommand(15, 0);
    EXPECT_FALSE(fx.getModBypass(1));

    // x = 24 is the source column: "None", then the three groups of sources.
    std::vector<std::string> shown;
    std::vector<size_t> groups;
    CPoint openedAt;
    m.h.parent.answerMenu([&](COptionMenu& menu, const CPoint& where) {
        shown = entriesOf(menu);
        openedAt = where;
        for (int i = 1; i < menu.getNbEntries(); ++i) groups.push_back(entriesOf(*menu.getSubMenu(i)).size());
        return tarnwell::gui::findMenuEntry(menu, "Block 2 Y");
    });
    m.h.parent.click(m.at(1, 24));
    EXPECT_EQ(shown,
              (std::vector<std::string>{"None", ">MIDI", ">Follower, Gater & XY", ">Audio, Offset & Noise"}));
    EXPECT_EQ(groups, (std::vector<size_t>{26, 19, 13}));
    EXPECT_EQ(openedAt, m.at(1, 24));
    EXPECT_EQ(fx.getModSource(1), 38);

    // The destinations in six groups, by their long names.
    fx.setParameter(BLOCK_TYPE_TAG[0], choice(4, 6.99f));
    std::vector<std::string> blockOne;
    m.h.parent.answerMenu([&](COptionMenu& menu, const CPoint&) {
        shown = entriesOf(menu);
        blockOne = entriesOf(*menu.getSubMenu(2));
        return tarnwell::gui::findMenuEntry(menu, "Delay Feed");
    });
    m.h.parent.click(m.at(1, 150));
    EXPECT_EQ(shown, (std::vector<std::string>{"None", ">Global", ">Block 1", ">Block 2", ">Block 3",
                                               ">Delay", ">Follower & Mod Amounts"}));
    EXPECT_EQ(blockOne.size(), 23u);
    EXPECT_EQ(blockOne[0], "Block 1 Room Length");
    EXPECT_EQ(fx.getModDestination(1), 77);
    // A dismissed chooser changes nothing.
    m.h.parent.dismissMenu();
    m.h.parent.click(m.at(1, 150));
    EXPECT_EQ(fx.getModDestination(1), 77);
    EXPECT_EQ(fx.getModSource(1), 38);
}

TEST(EditorModView, AmountDragsResetsAndWheelAndAKnobDroppedTakesTheFirstFreeSlot) {
    ModView m;
    APlugin& fx = *m.h.fx;
    fx.setParameter(MOD_AMOUNT_TAG[2], 0.0f);
    // Right and up both count: 200 pixels cover the whole range, inside one edit gesture.
    const CPoint press = m.at(2, 200);
    m.h.parent.mouseDown(press);
    m.h.parent.mouseMoved(CPoint(press.x + 30, press.y - 20));
    EXPECT_NEAR(m.amount(2), 0.25f, 1e-6);
    m.h.parent.mouseMoved(CPoint(press.x + 30, press.y - 170));
    EXPECT_FLOAT_EQ(m.amount(2), 1.0f);
    m.h.parent.mouseUp(CPoint(press.x + 30, press.y - 170));
    EXPECT_EQ(m.h.host.last(static_cast<int32_t>(HostRequest::BeginEdit)).index, MOD_AMOUNT_TAG[2]);
    EXPECT_EQ(m.h.host.last(static_cast<int32_t>(HostRequest::EndEdit)).index, MOD_AMOUNT_TAG[2]);

    // Shift + left alone resets to none, so does a double click; with a further bit it is a
    // fine drag instead (shift's speed, shared with the knobs).
    m.h.parent.click(press, kLButton | kShift);
    EXPECT_FLOAT_EQ(m.amount(2), 0.5f);
    fx.setParameter(MOD_AMOUNT_TAG[2], 0.9f);
    m.h.parent.click(press, kLButton | kDoubleClick);
    EXPECT_FLOAT_EQ(m.amount(2), 0.5f);
    m.h.parent.mouseDown(press, kLButton | kShift | kCommand);
    m.h.parent.mouseMoved(CPoint(press.x + 100, press.y), kLButton | kShift | kCommand);
    m.h.parent.mouseUp(CPoint(press.x + 100, press.y));
    EXPECT_NEAR(m.amount(2), 0.51f, 1e-5);

    // The wheel: the row under the pointer, 1/100 a step, within 0..1.
    for (auto [steps, expected] : {std::pair{3.0f, 0.53f}, {100.0f, 1.0f}, {-300.0f, 0.0f}}) {
        m.h.parent.wheel(m.at(1, 210), steps);
        EXPECT_NEAR(m.amount(1), expected, 1e-6);
    }

    // A knob dropped on the view takes the first free slot.
    TKnob* knob = m.h.ctl().knobs[2];  // Delay Feedback
    const int tag = static_cast<int>(knob->getTag());
    auto dropAt = [&](CPoint target) {
        fx.setParameter(tag, 0.3f);
        m.h.parent.mouseDown(EditorHarness::centre(knob));
        m.h.parent.mouseMoved(target);
        m.h.parent.mouseUp(target);
        m.h.idle();
    };
    for (int n = 0; n < 4; ++n) fx.setModVariables(n, false, 0.3f, 5 + n, n < 2 ? 2 + n : 0);
    // Over the view: the knob keeps its value; slot 3 takes the destination with no amount and
    // keeps its source.
    dropAt(m.at(3, 100));
    EXPECT_FLOAT_EQ(fx.getParameter(tag), 0.3f);
    EXPECT_EQ(fx.getModDestination(2), fx.paramModDestination[tag]);
    EXPECT_EQ(fx.getModSource(2), 7);
    EXPECT_FLOAT_EQ(m.amount(2), 0.5f);
    EXPECT_EQ(fx.getModDestination(3), 0);
    // ... whichever row it lands on, and the matrix's hint says so.
    EXPECT_NE(std::string(art::MOD_DROP_HINT).find("first free slot"), std::string::npos);
    // All four slots taken: the value comes back and no slot changes.
    fx.setModVariables(3, false, 0.3f, 6, 9);
    dropAt(m.at(0, 100));
    EXPECT_FLOAT_EQ(fx.getParameter(tag), 0.3f);
    EXPECT_EQ(fx.getModDestination(3), 9);
}
