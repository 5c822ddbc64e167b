#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sdk/audiounit/CFRef.h"
#include "tests/support/PreferencesSandbox.h"

namespace {

using tarnwell::test::PreferencesSandbox;

const char* const DOMAIN = "org.example.prefs";

std::string text(CFTypeRef value) {
    char buffer[512];
    if (CFGetTypeID(value) != CFStringGetTypeID()) return "<none>";
    CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer, kCFStringEncodingUTF8);
    return buffer;
}

// Holds a value (none removes the key); with sync, writes the domain and reports success.
bool set(const std::string& key, const char* value, bool sync = true, const char* domain = DOMAIN) {
    const CFRef<CFStringRef> d = makeCFString(domain);
    CFPreferencesSetAppValue(makeCFString(key.c_str()).get(), value ? makeCFString(value).get() : nullptr,
                             d.get());
    return !sync || CFPreferencesAppSynchronize(d.get());
}

std::string userValue(const std::string& key) {
    return text(CFRef<CFTypeRef>(
                    CFPreferencesCopyAppValue(makeCFString(key.c_str()).get(), makeCFString(DOMAIN).get()))
                    .get());
}

// How many of the keys the file names, read as text rather than through the store.
std::size_t keysInFile(const std::string& path, const std::vector<std::string>& keys) {
    const std::string xml = PreferencesSandbox::read(path);
    return static_cast<std::size_t>(std::count_if(keys.begin(), keys.end(), [&](const std::string& key) {
        return xml.find("<key>" + key + "</key>") != std::string::npos;
    }));
}

class PreferencesStore : public ::testing::Test {
protected:
    std::string file() const { return sandbox.userFile(DOMAIN); }
    PreferencesSandbox sandbox;
};

TEST_F(PreferencesStore, HeldValuesAreVisibleAtOnceAndLandInTheFileOnSynchronise) {
    ASSERT_TRUE(set("Key", "Y", false));
    EXPECT_EQ(userValue("Key"), "Y");
    EXPECT_FALSE(std::filesystem::exists(file()));
    ASSERT_TRUE(set("XYPresetDir", "/home/me/XY/"));
    EXPECT_EQ(keysInFile(file(), {"Key", "XYPresetDir"}), 2u);
    ASSERT_TRUE(set("Key", nullptr));
    EXPECT_EQ(userValue("Key"), "<none>");
    EXPECT_EQ(keysInFile(file(), {"Key", "XYPresetDir"}), 1u);
}

TEST_F(PreferencesStore, AnyUserScopeIsReadFromTheSystemFileOnly) {
    const std::string file =
        PreferencesSandbox::plist("<key>HelpDir</key><string>/usr/share/manual.pdf</string>\n");
    PreferencesSandbox::write(sandbox.systemFile(DOMAIN), file);
    EXPECT_EQ(userValue("HelpDir"), "<none>");
    ASSERT_TRUE(set("HelpDir", "/mine.pdf"));
    const CFRef<CFTypeRef> system(CFPreferencesCopyValue(makeCFString("HelpDir").get(),
                                                         makeCFString(DOMAIN).get(), kCFPreferencesAnyUser,
                                                         kCFPreferencesCurrentHost));
    EXPECT_EQ(text(system.get()), "/usr/share/manual.pdf");
    EXPECT_EQ(PreferencesSandbox::read(sandbox.systemFile(DOMAIN)), file);
}

TEST_F(PreferencesStore, ReadsFollowTheFileAndWritesKeepKeysAnotherProcessAdded) {
    const auto entry = [](const char* key, const char* value) {
        return std::string("<key>") + key + "</key><string>" + value + "</string>\n";
    };
    for (const char* value : {"1", "2"}) {
        PreferencesSandbox::write(file(), PreferencesSandbox::plist(entry("K", value)));
        EXPECT_EQ(userValue("K"), value);
    }
    // Another process adds a key this one has not read; the next write keeps it.
    PreferencesSandbox::write(file(), PreferencesSandbox::plist(entry("K", "2") + entry("Theirs", "x")));
    ASSERT_TRUE(set("Later", "3"));
    EXPECT_EQ(keysInFile(file(), {"K", "Theirs", "Later"}), 3u);
    std::filesystem::remove(file());
    EXPECT_EQ(userValue("K"), "<none>");
}

TEST_F(PreferencesStore, DamagedFileReadsAsEmptyIsSetAsideAndReplacedByAGoodOne) {
    const std::string good = PreferencesSandbox::plist("<key>A</key><string>alpha</string>\n");
    for (const std::string& damaged :
         {std::string("\x01\x02 garbage"), good.substr(0, good.size() / 2), std::string(),
          std::string("<?xml version=\"1.0\"?><plist><string>x</string></plist>")}) {
        std::filesystem::remove(file() + ".damaged");
        PreferencesSandbox::write(file(), damaged);
        EXPECT_EQ(userValue("A"), "<none>");
        ASSERT_TRUE(set("C", "gamma"));
        EXPECT_EQ(PreferencesSandbox::read(file() + ".damaged"), damaged);
        EXPECT_EQ(keysInFile(file(), {"A", "C"}), 1u);
        EXPECT_EQ(userValue("C"), "gamma");
    }
}

// A file that cannot be read (a symbolic link to itself; one without read permission, where
// permissions bind) is neither set aside nor overwritten: the write fails and leaves it be.
TEST_F(PreferencesStore, AnUnreadableFileIsLeftUntouched) {
    std::filesystem::create_directories(sandbox.userFolder());
    std::filesystem::create_symlink(file(), file());
    EXPECT_FALSE(set("K", "v"));
    EXPECT_EQ(userValue("K"), "v");  // still held
    EXPECT_TRUE(std::filesystem::is_symlink(file()));
    EXPECT_EQ(std::filesystem::read_symlink(file()), file());
    EXPECT_FALSE(std::filesystem::exists(file() + ".damaged"));
    std::filesystem::remove(file());

    if (geteuid() == 0) return;  // root reads it anyway
    const std::string mine = PreferencesSandbox::plist("<key>A</key><string>alpha</string>\n");
    PreferencesSandbox::write(file(), mine);
    std::filesystem::permissions(file(), std::filesystem::perms::none);
    EXPECT_FALSE(set("K", "v"));
    std::filesystem::permissions(file(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(PreferencesSandbox::read(file()), mine);
    EXPECT_FALSE(std::filesystem::exists(file() + ".damaged"));
}

TEST_F(PreferencesStore, AFailedWriteKeepsTheChangeAndBadDomainsAreRefused) {
    // A plain file where the folder should be makes the write fail.
    const std::string blocked = sandbox.userFolder() + "-blocked";
    PreferencesSandbox::write(blocked, "x");
    setenv("XDG_CONFIG_HOME", blocked.c_str(), 1);
    EXPECT_FALSE(set("Big150", "Y"));
    EXPECT_EQ(userValue("Big150"), "Y");
    setenv("XDG_CONFIG_HOME", sandbox.userFolder().c_str(), 1);
    ASSERT_TRUE(CFPreferencesAppSynchronize(makeCFString(DOMAIN).get()));
    EXPECT_EQ(keysInFile(file(), {"Big150"}), 1u);
    // Domains that cannot name a file are refused (and their held change dropped again).
    for (const char* domain : {"../escape", "a/b", ".hidden", ""}) {
        EXPECT_FALSE(set("k", "v", true, domain)) << domain;
        set("k", nullptr, false, domain);
    }
    EXPECT_FALSE(std::filesystem::exists(sandbox.userFolder() + "/../escape.plist"));
}

// A file too large to be preferences is left where it is, unread and unreplaced, with one line
// saying so once; the store runs on defaults and keeps the change in memory.
TEST_F(PreferencesStore, OversizedFileIsNeitherReadNorReplaced) {
    const std::string entry = "<key>A</key><string>alpha</string>\n";
    const std::string big = PreferencesSandbox::plist(entry + "<!--" + std::string(4u << 20, ' ') + "-->");
    PreferencesSandbox::write(file(), big);
    testing::internal::CaptureStderr();
    EXPECT_EQ(userValue("A"), "<none>");
    EXPECT_FALSE(set("C", "gamma"));
    EXPECT_EQ(userValue("C"), "gamma");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find(file() + " is larger than 4 MiB"), std::string::npos) << said;
    EXPECT_TRUE(PreferencesSandbox::read(file()) == big) << "the file was changed";
    EXPECT_FALSE(std::filesystem::exists(file() + ".damaged"));
    // Just under the limit it is a preferences file like any other.
    PreferencesSandbox::write(
        file(), PreferencesSandbox::plist(entry + "<!--" + std::string((4u << 20) - 200, ' ') + "-->"));
    EXPECT_EQ(userValue("A"), "alpha");
}

// A named pipe, an empty device and an endless one in the file's place: every call returns at
// once on defaults and the special file stays. In a child, so a wait or a runaway read cannot
// take the test program down.
TEST_F(PreferencesStore, SpecialFilesAreNeitherReadNorReplaced) {
    const auto survives = [&](const std::function<void()>& make) {
        std::filesystem::remove(file());
        make();
        const pid_t pid = fork();
        if (pid == 0) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
            const rlimit memory{512u << 20, 512u << 20};
            setrlimit(RLIMIT_AS, &memory);
#endif
            alarm(5);
            const bool ok = userValue("A") == "<none>" && !set("C", "gamma") && userValue("C") == "gamma";
            _exit(ok ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 && !std::filesystem::is_regular_file(file()) &&
               !std::filesystem::exists(file() + ".damaged");
    };
    std::filesystem::create_directories(sandbox.userFolder());
    EXPECT_TRUE(survives([&] { ASSERT_EQ(mkfifo(file().c_str(), 0600), 0); })) << "named pipe";
    EXPECT_TRUE(survives([&] { std::filesystem::create_symlink("/dev/null", file()); })) << "/dev/null";
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_TRUE(survives([&] { std::filesystem::create_symlink("/dev/zero", file()); })) << "/dev/zero";
#endif
    EXPECT_TRUE(std::filesystem::is_symlink(file()));
}

// Several processes, each with several threads, write different keys of one domain at once;
// every key must be in the file afterwards.
TEST_F(PreferencesStore, ConcurrentWritersLoseNothing) {
    constexpr int PROCESSES = 4, THREADS = 3, KEYS = 12;
    const auto keyOf = [](int p, int t, int k) {
        return std::to_string(p) + "." + std::to_string(t) + "." + std::to_string(k);
    };
    std::vector<pid_t> children;
    for (int p = 0; p < PROCESSES; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::vector<char> ok(THREADS, 1);
            std::vector<std::thread> threads;
            for (int t = 0; t < THREADS; ++t)
                threads.emplace_back([&, t] {
                    for (int k = 0; k < KEYS; ++k)
                        ok[static_cast<std::size_t>(t)] &= set(keyOf(p, t, k), "value");
                });
            for (auto& th : threads) th.join();
            _exit(std::count(ok.begin(), ok.end(), 1) == THREADS ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<std::string> expected;
    for (int p = 0; p < PROCESSES; ++p)
        for (int t = 0; t < THREADS; ++t)
            for (int k = 0; k < KEYS; ++k) expected.push_back(keyOf(p, t, k));
    EXPECT_EQ(keysInFile(file(), expected), expected.size());
    for (const auto& key : expected) ASSERT_EQ(userValue(key), "value");
}

}  // namespace
