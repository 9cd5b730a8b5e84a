#pragma once
// A private JACK server for end-to-end tests: `jackd --no-realtime -d dummy` under a name of
// its own, so that test binaries can run side by side without touching a real server. In a
// process that loaded PipeWire's libjack (LD_LIBRARY_PATH) it is a headless PipeWire
// instead: a timer-clocked null output, its own runtime and configuration folders, no
// session bus and no session manager; PipeWire's libjack knows only the server "default",
// which start() points at this daemon through PIPEWIRE_RUNTIME_DIR.
// start() returns once a client can connect; kill() simulates a crash; restart() brings it
// back under the same name. The server dies with the test process.

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace tamborel::testing {

class JackServer {
public:
    struct Options {
        std::uint32_t sampleRate = 48000;
        std::uint32_t periodFrames = 128;
    };

    JackServer();
    explicit JackServer(Options options);
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // Whether the tests run against PipeWire (its libjack is loaded) rather than jackd.
    static bool pipeWire();
    // Whether that server is installed at all.
    static bool available();

    // Starts the server and waits until a client can connect. False (with the reason in
    // failure()) if it does not come up within a few seconds.
    bool start();
    // Asks the server to quit and waits for it; kills it if it will not.
    void stop();
    // Kills the server outright, as a crash would, and waits for it to be gone. Unless it is
    // restarted, the destructor starts and stops it once more to free its registry slot.
    void kill();
    // start() again under the same name, after stop() or kill().
    bool restart();

    bool isRunning() const { return pid_ > 0; }
    const std::string& name() const { return name_; }
    const Options& options() const { return options_; }
    // Why start() failed, with the server's own output.
    std::string failure() const;

    // A client of this server (never starting one); null when it cannot connect.
    jack_client_t* openClient(const std::string& clientName) const;

private:
    bool waitUntilReady(std::chrono::milliseconds timeout);
    void reap(std::chrono::milliseconds timeout);

    // Writes PipeWire's configuration, points this process at its socket, and returns the
    // daemon's own environment settings.
    std::vector<std::string> pipeWireEnvironment();

    Options options_;
    std::string name_;
    std::string folder_; // logs, and PipeWire's runtime and configuration
    std::string logPath_;
    std::string failure_;
    pid_t pid_ = -1;
    bool killed_ = false;
};

// GoogleTest fixture: a server at 48000 Hz with 128-frame periods unless a derived fixture
// overrides serverOptions(); a fresh jackd per test, while one PipeWire serves every test of
// the binary that wants the same options (it is far slower to start).
class JackServerTest : public ::testing::Test {
protected:
    virtual JackServer::Options serverOptions() const { return {}; }
    void SetUp() override;
    void TearDown() override;

    std::shared_ptr<JackServer> server;
};

// Polls `condition` until it holds or `timeout` passes; returns its last value.
template <typename Condition>
bool eventually(Condition condition,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace tamborel::testing
