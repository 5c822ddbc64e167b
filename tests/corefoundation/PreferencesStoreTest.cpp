#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "sdk/corefoundation/CoreFoundation.h"
#include "tests/support/PreferencesSandbox.h"

namespace {

using tarnwell::test::PreferencesSandbox;

const char* const DOMAIN = "org.example.prefs";

// Owns one reference for the test's scope.
struct Ref {
    explicit Ref(CFTypeRef r) : ref(r) {}
    ~Ref() {
        if (ref != nullptr) CFRelease(ref);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    CFTypeRef ref;
};

CFStringRef str(const std::string& text) {
    return CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
}

std::string text(CFTypeRef value) {
    char buffer[512];
    if (CFGetTypeID(value) != CFStringGetTypeID()) return "<none>";
    CFStringGetCString(static_cast<CFStringRef>(value), buffer, sizeof buffer, kCFStringEncodingUTF8);
    return buffer;
}

bool set(const std::string& key, const std::string& value, const char* domain = DOMAIN) {
    Ref k(str(key)), v(str(value)), d(str(domain));
    CFPreferencesSetAppValue(static_cast<CFStringRef>(k.ref), v.ref, static_cast<CFStringRef>(d.ref));
    return CFPreferencesAppSynchronize(static_cast<CFStringRef>(d.ref));
}

std::string userValue(const std::string& key, const char* domain = DOMAIN) {
    Ref k(str(key)), d(str(domain));
    Ref v(CFPreferencesCopyAppValue(static_cast<CFStringRef>(k.ref), static_cast<CFStringRef>(d.ref)));
    return text(v.ref);
}

std::string anyUserValue(const std::string& key) {
    Ref k(str(key)), d(str(DOMAIN));
    Ref v(CFPreferencesCopyValue(static_cast<CFStringRef>(k.ref), static_cast<CFStringRef>(d.ref),
                                 kCFPreferencesAnyUser, kCFPreferencesCurrentHost));
    return text(v.ref);
}

// The file's keys as read by a fresh parse, independent of anything the store holds.
std::vector<std::string> fileKeys(const std::string& path, const std::vector<std::string>& candidates) {
    const std::string xml = PreferencesSandbox::read(path);
    Ref data(CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(xml.data()),
                          static_cast<CFIndex>(xml.size())));
    Ref list(CFPropertyListCreateWithData(kCFAllocatorDefault, static_cast<CFDataRef>(data.ref), 0, nullptr, nullptr));
    std::vector<std::string> found;
    if (CFGetTypeID(list.ref) != CFDictionaryGetTypeID()) return found;
    for (const auto& key : candidates) {
        Ref k(str(key));
        if (CFDictionaryGetValue(static_cast<CFDictionaryRef>(list.ref), k.ref) != nullptr) found.push_back(key);
    }
    return found;
}

class PreferencesStore : public ::testing::Test {
protected:
    PreferencesSandbox sandbox;
};

TEST_F(PreferencesStore, SynchronisedValuesLandInTheDomainFile) {
    ASSERT_TRUE(set("XYPresetDir", "/home/me/XY/"));
    EXPECT_EQ(userValue("XYPresetDir"), "/home/me/XY/");
    EXPECT_EQ(fileKeys(sandbox.userFile(DOMAIN), {"XYPresetDir"}).size(), 1u);
    EXPECT_EQ(userValue("Missing"), "<none>");
}

TEST_F(PreferencesStore, HeldValuesAreVisibleBeforeTheyAreWrittenAndNullRemoves) {
    Ref k(str("Key")), v(str("Y")), d(str(DOMAIN));
    CFPreferencesSetAppValue(static_cast<CFStringRef>(k.ref), v.ref, static_cast<CFStringRef>(d.ref));
    EXPECT_EQ(userValue("Key"), "Y");
    EXPECT_FALSE(std::filesystem::exists(sandbox.userFile(DOMAIN)));
    ASSERT_TRUE(CFPreferencesAppSynchronize(static_cast<CFStringRef>(d.ref)));
    EXPECT_EQ(fileKeys(sandbox.userFile(DOMAIN), {"Key"}).size(), 1u);

    CFPreferencesSetAppValue(static_cast<CFStringRef>(k.ref), nullptr, static_cast<CFStringRef>(d.ref));
    EXPECT_EQ(userValue("Key"), "<none>");
    ASSERT_TRUE(CFPreferencesAppSynchronize(static_cast<CFStringRef>(d.ref)));
    EXPECT_TRUE(fileKeys(sandbox.userFile(DOMAIN), {"Key"}).empty());
}

TEST_F(PreferencesStore, AnyUserScopeIsReadFromTheSystemFileOnly) {
    const std::string system = PreferencesSandbox::plist("<key>HelpDir</key><string>/usr/share/manual.pdf</string>\n");
    PreferencesSandbox::write(sandbox.systemFile(DOMAIN), system);
    EXPECT_EQ(anyUserValue("HelpDir"), "/usr/share/manual.pdf");
    EXPECT_EQ(userValue("HelpDir"), "<none>");

    ASSERT_TRUE(set("HelpDir", "/mine.pdf"));
    EXPECT_EQ(anyUserValue("HelpDir"), "/usr/share/manual.pdf");
    EXPECT_EQ(PreferencesSandbox::read(sandbox.systemFile(DOMAIN)), system);
}

TEST_F(PreferencesStore, AWriteKeepsKeysAnotherProcessWroteMeanwhile) {
    ASSERT_TRUE(set("Mine", "1"));
    PreferencesSandbox::write(sandbox.userFile(DOMAIN),
                              PreferencesSandbox::plist("<key>Mine</key><string>1</string>\n"
                                                        "<key>Theirs</key><string>2</string>\n"));
    ASSERT_TRUE(set("Later", "3"));
    EXPECT_EQ(userValue("Theirs"), "2");
    EXPECT_EQ(fileKeys(sandbox.userFile(DOMAIN), {"Mine", "Theirs", "Later"}).size(), 3u);
}

TEST_F(PreferencesStore, ReadsFollowEveryChangeOfTheFile) {
    for (const char* value : {"1", "2", "3"}) {
        PreferencesSandbox::write(sandbox.userFile(DOMAIN),
                                  PreferencesSandbox::plist(std::string("<key>K</key><string>") + value + "</string>\n"));
        EXPECT_EQ(userValue("K"), value);
    }
    std::filesystem::remove(sandbox.userFile(DOMAIN));
    EXPECT_EQ(userValue("K"), "<none>");
}

TEST_F(PreferencesStore, DamagedFileReadsAsEmptyIsSetAsideAndReplacedByAGoodOne) {
    const std::string good = PreferencesSandbox::plist("<key>A</key><string>alpha</string>\n"
                                                       "<key>B</key><string>beta</string>\n");
    for (const std::string& damaged : {std::string("\x01\x02 garbage"), good.substr(0, good.size() / 2),
                                       std::string(),
                                       std::string("<?xml version=\"1.0\"?><plist><string>x</string></plist>")}) {
        std::filesystem::remove(sandbox.userFile(DOMAIN) + ".damaged");
        PreferencesSandbox::write(sandbox.userFile(DOMAIN), damaged);
        EXPECT_EQ(userValue("A"), "<none>");

        ASSERT_TRUE(set("C", "gamma"));
        EXPECT_EQ(PreferencesSandbox::read(sandbox.userFile(DOMAIN) + ".damaged"), damaged);
        EXPECT_EQ(fileKeys(sandbox.userFile(DOMAIN), {"A", "B", "C"}), std::vector<std::string>{"C"});
        EXPECT_EQ(userValue("C"), "gamma");
    }
}

TEST_F(PreferencesStore, AFailedWriteKeepsTheChangeForTheNextAttempt) {
    // A plain file where the folder should be makes the write fail.
    const std::string blocked = sandbox.userFolder() + "-blocked";
    PreferencesSandbox::write(blocked, "x");
    setenv("XDG_CONFIG_HOME", blocked.c_str(), 1);
    EXPECT_FALSE(set("Big150", "Y"));
    EXPECT_EQ(userValue("Big150"), "Y");

    setenv("XDG_CONFIG_HOME", sandbox.userFolder().c_str(), 1);
    Ref d(str(DOMAIN));
    ASSERT_TRUE(CFPreferencesAppSynchronize(static_cast<CFStringRef>(d.ref)));
    EXPECT_EQ(fileKeys(sandbox.userFile(DOMAIN), {"Big150"}).size(), 1u);
}

TEST_F(PreferencesStore, DomainsThatCannotNameAFileAreRefused) {
    for (const char* domain : {"../escape", "a/b", ".hidden", ""}) {
        EXPECT_FALSE(set("k", "v", domain)) << domain;
    }
    EXPECT_FALSE(std::filesystem::exists(sandbox.userFolder() + "/../escape.plist"));
    // Give the held changes of the refused domains nowhere to linger in later tests.
    for (const char* domain : {"../escape", "a/b", ".hidden", ""}) {
        Ref k(str("k")), d(str(domain));
        CFPreferencesSetAppValue(static_cast<CFStringRef>(k.ref), nullptr, static_cast<CFStringRef>(d.ref));
    }
}

// Several processes, each with several threads, write different keys of one domain at once;
// every key must be in the file afterwards.
TEST_F(PreferencesStore, ConcurrentWritersLoseNothing) {
    constexpr int PROCESSES = 4, THREADS = 3, KEYS = 12;
    std::vector<pid_t> children;
    for (int p = 0; p < PROCESSES; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            std::vector<std::thread> threads;
            std::vector<char> results(THREADS, 1);
            for (int t = 0; t < THREADS; ++t) {
                threads.emplace_back([&results, p, t] {
                    for (int k = 0; k < KEYS; ++k) {
                        const std::string key = std::to_string(p) + "." + std::to_string(t) + "." + std::to_string(k);
                        if (!set(key, "value " + key)) results[static_cast<std::size_t>(t)] = 0;
                    }
                });
            }
            for (auto& th : threads) th.join();
            for (char r : results) ok = ok && r;
            _exit(ok ? 0 : 1);
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
            for (int k = 0; k < KEYS; ++k)
                expected.push_back(std::to_string(p) + "." + std::to_string(t) + "." + std::to_string(k));
    EXPECT_EQ(fileKeys(sandbox.userFile(DOMAIN), expected).size(), expected.size());
    for (const auto& key : expected) ASSERT_EQ(userValue(key), "value " + key);
}

}  // namespace
