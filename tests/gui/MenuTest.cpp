#include <gtest/gtest.h>

#include "gui/COptionMenu.h"
#include "tests/gui/GuiTestSupport.h"

using namespace tarnwell::test;
using tarnwell::gui::MenuChoice;

namespace {

// 0 "-GHeading", 1 "-", 2 "One", 3 sub-menu "More" (Two, -GSub heading, Three), 4 "Four".
struct MenuFixture : ::testing::Test {
    MenuFixture() {
        panel = new CViewContainer(CRect(50, 20, 150, 80));
        f.frame->addView(panel);
        menu = new COptionMenu(CRect(10, 10, 90, 26), &listener, 7);
        sub = new COptionMenu(CRect(0, 0, 0, 0), &subListener, 7);
        for (const char* entry : {"Two", "-GSub heading", "Three"}) sub->addEntry(entry);
        for (const char* entry : {"-GHeading", "-", "One"}) menu->addEntry(entry);
        menu->addEntry(sub, "More");
        sub->forget();  // the menu keeps it
        menu->addEntry("Four");
        panel->addView(menu);
    }
    // Opens the menu with a click and answers with choice; returns where it opened.
    CPoint open(std::function<MenuChoice(COptionMenu&)> choice, long buttons = kLButton) {
        CPoint at(-1, -1);
        f.parent.answerMenu([&, choice](COptionMenu& m, const CPoint& where) {
            at = where;
            return choice(m);
        });
        f.parent.click(CPoint(100, 40), buttons);
        return at;
    }

    OffscreenFrame f;
    LoggingListener listener, subListener;
    CViewContainer* panel;
    COptionMenu* menu;
    COptionMenu* sub;
};

}  // namespace

TEST_F(MenuFixture, ChoicesAreReportedWhereTheyWereMade) {
    // Below the control (frame coordinates), holding the focus while it is open.
    EXPECT_EQ(open([&](COptionMenu& m) {
                  EXPECT_EQ(f.frame->getFocusView(), &m);
                  return MenuChoice{&m, 4};
              }),
              CPoint(60, 46));
    EXPECT_EQ(f.frame->getFocusView(), nullptr);
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_EQ(listener.changes[0].value, 4.0f);
    long index = -1;
    EXPECT_EQ(menu->getLastItemMenu(index), menu);
    EXPECT_EQ(index, 4);
    char title[256];
    EXPECT_EQ(menu->getCurrent(title), 4);
    EXPECT_STREQ(title, "Four");
    EXPECT_EQ(menu->getCurrent(nullptr, false), 3);  // the separator not counted

    // A sub-menu choice: the sub-menu's value and listener; the opened menu keeps its value.
    open([](COptionMenu& m) { return tarnwell::gui::findMenuEntry(m, "Three"); });
    EXPECT_EQ(listener.changes.size(), 1u);
    ASSERT_EQ(subListener.changes.size(), 1u);
    EXPECT_EQ(subListener.changes[0].value, 2.0f);
    EXPECT_EQ(menu->getLastItemMenu(index), sub);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(menu->getValue(), 4.0f);

    // Headings, separators, holders and strangers' entries are not choices; nor is nothing.
    COptionMenu stranger(CRect(), nullptr, 0);
    stranger.addEntry("Elsewhere");
    for (MenuChoice refused :
         {MenuChoice{menu, 0}, MenuChoice{menu, 1}, MenuChoice{menu, 3}, MenuChoice{sub, 1},
          MenuChoice{menu, 5}, MenuChoice{&stranger, 0}, MenuChoice{}}) {
        open([refused](COptionMenu&) { return refused; });
        EXPECT_EQ(menu->getLastItemMenu(index), nullptr);
        EXPECT_EQ(index, -1);
    }
    f.parent.chooseMenuEntry("Heading");
    f.parent.click(CPoint(100, 40));
    EXPECT_EQ(menu->getValue(), 4.0f);
    EXPECT_EQ(listener.changes.size() + subListener.changes.size(), 2u);

    // The right button opens it as well; a modifier click the listener takes does not.
    open([](COptionMenu& m) { return MenuChoice{&m, 2}; }, kRButton);
    EXPECT_EQ(menu->getValue(), 2.0f);
    listener.consumeModifierClicks = 1;
    f.parent.chooseMenuEntry("Four");
    f.parent.click(CPoint(100, 40), kLButton | kShift);
    EXPECT_EQ(f.parent.menusAnswerPending(), 1);
    EXPECT_EQ(listener.modifierClicks, (std::vector<long>{kLButton | kShift}));

    // A value naming no entry reads as none.
    menu->setValue(9.0f);
    EXPECT_EQ(menu->getCurrent(title), -1);
    EXPECT_STREQ(title, "");
}
