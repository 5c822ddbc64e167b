// The atomic file every output and save goes through: the named temporary where no unnamed one
// can be had, and what it does with pipes, devices and other special files.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "framework/platform/AtomicFile.h"
#include "tests/support/TempFolder.h"

namespace {

using tarnwell::test::TempFolder;

// With a name from the start: short and hidden beside the target whatever the target's name,
// gone once committed, and removed when a signal stops the process before that.
TEST(AtomicFile, NamedTemporariesStayShortAndGoWithASignal) {
    TempFolder folder;
    const std::string target = folder.path(std::string(250, 'n') + ".mod");
    {
        AtomicFile file;
        ASSERT_TRUE(file.open(target, true)) << file.problem();
        const std::string name = file.temporaryName().substr(folder.path("").size());
        EXPECT_EQ(name, "." + std::string(32, 'n') + ".tmp-" + name.substr(name.size() - 6));
        EXPECT_EQ(folder.entries(), std::vector<std::string>{name});
        ASSERT_TRUE(file.write("new\n", 4));
        ASSERT_TRUE(file.commit(false)) << file.problem();
    }
    EXPECT_EQ(TempFolder::readFile(target), "new\n");
    EXPECT_EQ(folder.entries().size(), 1u);

    const pid_t child = fork();
    if (child == 0) {
        removeTemporaryOutputOnSignals();
        AtomicFile file;
        if (file.open(folder.path("stopped.wav"), true) && file.write("x", 1)) raise(SIGTERM);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(folder.entries().size(), 1u);
}

// A named pipe and a device (also behind a symlink) are written straight into and stay what
// they are; a full device says so plainly; a socket is refused.
TEST(AtomicFile, PipesAndDevicesAreWrittenIntoNeverReplaced) {
    TempFolder folder;
    const std::string pipe = folder.path("pipe.wav");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(symlink(pipe.c_str(), folder.path("to-pipe").c_str()), 0);
    // Both ends held open here, so nothing waits for the other end; what arrived is read once this
    // end for writing goes, whatever became of the pipe meanwhile.
    const int held = open(pipe.c_str(), O_RDWR);
    const int from = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    {
        AtomicFile file;
        ASSERT_TRUE(file.open(folder.path("to-pipe")));
        EXPECT_TRUE(file.direct());
        EXPECT_FALSE(file.positional());
        EXPECT_TRUE(file.write("through", 7) && file.commit());
    }
    close(held);
    char received[16] = {};
    EXPECT_EQ(read(from, received, sizeof received), 7);
    close(from);
    EXPECT_STREQ(received, "through");
    struct stat info {};
    ASSERT_EQ(stat(pipe.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    ASSERT_EQ(symlink("/dev/null", folder.path("null.wav").c_str()), 0);
    AtomicFile null;
    ASSERT_TRUE(null.open(folder.path("null.wav")));
    EXPECT_TRUE(null.positional());
    EXPECT_TRUE(null.write("gone", 4) && null.commit());
    ASSERT_EQ(lstat(folder.path("null.wav").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));

    AtomicFile full;
    ASSERT_TRUE(full.open("/dev/full"));
    EXPECT_FALSE(full.write("more", 4));
    EXPECT_EQ(full.problem(), "cannot be written (the disk is full)");

    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = folder.path("socket.wav");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    AtomicFile socketFile;
    EXPECT_FALSE(socketFile.open(socketPath));
    EXPECT_EQ(socketFile.problem(), "is a socket; outputs are files, pipes or character devices");
    close(listener);
    ASSERT_EQ(lstat(socketPath.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
}

}  // namespace
