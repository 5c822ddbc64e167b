#include <gtest/gtest.h>

#include "framework/platform/DialogBackends.h"
#include "gui/CNewFileSelector.h"

TEST(FileSelector, AsksThePlatformsChooserAndKeepsItsAnswer) {
    ScriptedDialogs script;
    setScriptedDialogBackend(&script);
    script.push({ScriptedDialogs::Answer::File, "/a/b/c.ecs"});
    script.push({ScriptedDialogs::Answer::Cancel, ""});

    CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
    ASSERT_NE(selector, nullptr);
    selector->setTitle("ECS Save");
    selector->setInitialDirectory("/a/b/");
    selector->setDefaultSaveName("Tarnwell.ecs");
    selector->addFileExtension(CFileExtension("txt", "txt"));
    selector->setDefaultExtension(CFileExtension("ecs", ".ecs", nullptr, 0));
    EXPECT_TRUE(selector->runModal());
    selector->cancel();  // nothing is showing any more; the answer stays
    ASSERT_EQ(selector->getNumSelectedFiles(), 1);
    EXPECT_STREQ(selector->getSelectedFile(0), "/a/b/c.ecs");
    EXPECT_EQ(selector->getSelectedFile(1), nullptr);
    ASSERT_EQ(script.asked.size(), 1u);
    const ChooserRequest& asked = script.asked[0].request;
    EXPECT_EQ(asked.kind, ChooserKind::SaveFile);
    EXPECT_EQ(asked.title + asked.folder + asked.defaultName, "ECS Save/a/b/Tarnwell.ecs");
    EXPECT_EQ(asked.extensions, (std::vector<std::string>{"ecs", "txt"}));  // the default first

    EXPECT_FALSE(selector->runModal());  // cancelled: no file
    EXPECT_EQ(selector->getNumSelectedFiles(), 0);
    selector->forget();
    EXPECT_EQ(CNewFileSelector::create(nullptr, static_cast<CNewFileSelector::Style>(7)), nullptr);
    setScriptedDialogBackend(nullptr);
}
