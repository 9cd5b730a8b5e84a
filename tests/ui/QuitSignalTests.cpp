// The program itself, started as a desktop starts it, ended by the signals a logout, a
// shutdown or Ctrl+C sends: it quits as its Quit command does and forgets nothing.

#include "AppFolder.h"

#include "model/Storage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

using namespace tamborel;

namespace {

pid_t startProgram() {
    char* argv[] = {const_cast<char*>(TAMBOREL_APP_PROGRAM), nullptr};
    pid_t pid = -1;
    return posix_spawn(&pid, TAMBOREL_APP_PROGRAM, nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

// Its exit status, or -1 if it has not ended within half a minute or was killed.
int exitStatus(pid_t pid) {
    for (int wait = 0; wait < 3000; ++wait) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// Runs an xdotool command on the program's window until it succeeds, for up to half a
// minute: the window may not be up yet, and a search that meets the previous run's window
// as it goes fails outright.
bool onWindow(const std::string& command = "") {
    const std::string line =
        "xdotool search --onlyvisible --name '^Tamborel$' " + command + " > /dev/null 2>&1";
    for (int attempt = 0; attempt < 60; ++attempt) {
        if (std::system(line.c_str()) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    return false;
}

} // namespace

TEST(QuitSignals, TermIntAndHupQuitAsQuitDoesAndTheLastEditIsKept) {
    test::resetAppFolder();
    test::useEmptyResources();
    setenv("JACK_NO_START_SERVER", "1", 1);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const pid_t pid = startProgram();
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(onWindow()) << "no window";
        std::this_thread::sleep_for(std::chrono::seconds(2)); // audio and MIDI come up
        if (signal == SIGTERM) {
            // A new kit, signalled well inside the moment the program waits before it
            // remembers the kit.
            ASSERT_TRUE(onWindow("windowfocus --sync key --clearmodifiers ctrl+n"));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(pid, signal);
        EXPECT_EQ(exitStatus(pid), 0) << strsignal(signal);
        if (signal == SIGTERM) {
            const auto kept = storage::lastKit();
            ASSERT_TRUE(kept);
            EXPECT_EQ(kept->name, "New Kit");
        }
    }
}
