#include "JackServerFixture.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tamborel::testing {

namespace {

std::string uniqueServerName() {
    static std::atomic<int> counter{0};
    return "tamborel-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

std::string findServer() {
    const char* program = JackServer::pipeWire() ? "pipewire" : "jackd";
    if (const char* path = std::getenv("PATH")) {
        std::stringstream dirs(path);
        std::string dir;
        while (std::getline(dirs, dir, ':')) {
            const std::filesystem::path candidate = std::filesystem::path(dir) / program;
            if (access(candidate.c_str(), X_OK) == 0)
                return candidate.string();
        }
    }
    return {};
}

// The drop-in that makes a desktop's PipeWire a test server: the rate and quantum asked for
// (a client may still move the quantum between 16 and 8192), and a null output that clocks
// the graph from a timer, its ports marked physical as a sound card's would be.
std::string pipeWireConfiguration(const JackServer::Options& options) {
    std::string text = R"(context.properties = {
    default.clock.rate = RATE
    default.clock.allowed-rates = [ RATE ]
    default.clock.quantum = QUANTUM
    default.clock.min-quantum = 16
    default.clock.max-quantum = 8192
}
context.objects = [
    { factory = adapter args = {
        factory.name = support.null-audio-sink
        node.name = null-output
        node.description = "Null Output"
        media.class = Audio/Sink
        audio.position = [ FL FR ]
        node.driver = true
        priority.driver = 30000
        adapter.auto-port-config = { mode = dsp monitor = false position = preserve }
    } }
]
)";
    for (const auto& [key, value] :
         {std::pair{"RATE", options.sampleRate}, std::pair{"QUANTUM", options.periodFrames}})
        for (auto at = text.find(key); at != std::string::npos; at = text.find(key))
            text.replace(at, std::strlen(key), std::to_string(value));
    return text;
}

} // namespace

JackServer::JackServer() : JackServer(Options{}) {}

JackServer::JackServer(Options options)
    // PipeWire's libjack connects to the server "default" only.
    : options_(options), name_(pipeWire() ? "default" : uniqueServerName()) {
    // Waiting for the server means failing to connect a few times; libjack would print a
    // paragraph to stderr for each attempt.
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    folder_ = (std::filesystem::temp_directory_path() / uniqueServerName()).string();
    std::filesystem::create_directories(folder_);
    logPath_ = folder_ + "/server.log";
}

bool JackServer::pipeWire() {
    // PipeWire's libjack says so in its version; loading it is what makes a test run on
    // PipeWire.
    static const bool pipeWire = [] {
        const char* version = jack_get_version_string();
        return version != nullptr && std::strstr(version, "PipeWire") != nullptr;
    }();
    return pipeWire;
}

JackServer::~JackServer() {
    // A killed jackd keeps its slot in JACK's shared registry, which has only eight, until a
    // server of the same name registers again; so one is started briefly to stop cleanly.
    if (killed_ && !pipeWire())
        start();
    stop();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
    // A killed jackd leaves its sockets behind.
    if (!pipeWire())
        std::filesystem::remove_all(
            std::filesystem::path("/dev/shm") / ("jack-" + std::to_string(getuid())) / name_, ec);
}

bool JackServer::available() {
    return !findServer().empty();
}

std::vector<std::string> JackServer::pipeWireEnvironment() {
    const std::filesystem::path folder(folder_);
    const auto runtime = folder / "runtime";
    const auto dropIns = folder / "config" / "pipewire" / "pipewire.conf.d";
    std::error_code ec;
    std::filesystem::create_directories(runtime, ec);
    std::filesystem::create_directories(dropIns, ec);
    std::ofstream(dropIns / "tamborel-test.conf") << pipeWireConfiguration(options_);
    // This process's JACK clients find the daemon's socket in its runtime folder.
    setenv("PIPEWIRE_RUNTIME_DIR", runtime.c_str(), 1);
    unsetenv("PIPEWIRE_REMOTE");
    // The system's pipewire.conf with our drop-in, found through XDG_CONFIG_HOME; no session
    // bus, and no X display for its bell module.
    return {"XDG_CONFIG_HOME=" + (folder / "config").string(),
            "DBUS_SESSION_BUS_ADDRESS=", "DISPLAY="};
}

bool JackServer::start() {
    if (pid_ > 0)
        return true;
    failure_.clear();
    const std::string program = findServer();
    if (program.empty()) {
        failure_ = pipeWire() ? "pipewire is not installed" : "jackd is not installed";
        return false;
    }
    // Everything the child needs is prepared before fork: after it, only async-signal-safe
    // calls are allowed.
    // Synchronous mode: each cycle waits for every client, so a test client that is slow
    // on a busy machine delays the cycle instead of missing it.
    std::vector<std::string> args = {program,
                                     "--sync",
                                     "-n",
                                     name_,
                                     "--no-realtime",
                                     "-d",
                                     "dummy",
                                     "-r",
                                     std::to_string(options_.sampleRate),
                                     "-p",
                                     std::to_string(options_.periodFrames)};
    // No device reservation over D-Bus: the dummy driver has no device to reserve.
    std::vector<std::string> env = {"JACK_NO_AUDIO_RESERVATION=1"};
    if (pipeWire()) {
        args.resize(1);
        env = pipeWireEnvironment();
    }
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    // Ours come first, and getenv takes the first of a name.
    for (char** e = environ; *e != nullptr; ++e)
        env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    const int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0) {
        failure_ = "fork failed";
        if (log >= 0)
            close(log);
        return false;
    }
    if (pid == 0) {
        // The server must not outlive a test binary that crashes or is killed.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(1);
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (log >= 0)
        close(log);
    pid_ = pid;
    if (!waitUntilReady(std::chrono::seconds(10))) {
        if (failure_.empty())
            failure_ = "the server did not accept clients in time";
        kill();
        return false;
    }
    killed_ = false;
    return true;
}

bool JackServer::waitUntilReady(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            failure_ = "the server exited during start-up";
            return false;
        }
        const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
        jack_status_t openStatus{};
        if (jack_client_t* probe =
                jack_client_open("fixture-probe", options, &openStatus, name_.c_str())) {
            jack_client_close(probe);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void JackServer::reap(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_ || done < 0) {
            pid_ = -1;
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void JackServer::stop() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    reap(std::chrono::seconds(5));
}

void JackServer::kill() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    reap(std::chrono::seconds(5));
    killed_ = true;
}

bool JackServer::restart() {
    stop();
    return start();
}

std::string JackServer::failure() const {
    std::ifstream in(logPath_);
    std::stringstream text;
    text << failure_ << "\n--- server output ---\n" << in.rdbuf();
    return text.str();
}

jack_client_t* JackServer::openClient(const std::string& clientName) const {
    const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
    // On a loaded machine, and under the sanitizers, the server can be slow to take a new
    // client; a test needs its clients, so a refusal gets a second and a third chance.
    jack_status_t status{};
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (jack_client_t* client =
                jack_client_open(clientName.c_str(), options, &status, name_.c_str()))
            return client;
        if (pid_ <= 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (pid_ > 0)
        std::fprintf(stderr, "JACK client \"%s\" could not open on %s (status 0x%x)\n",
                     clientName.c_str(), name_.c_str(), static_cast<unsigned>(status));
    return nullptr;
}

void JackServerTest::SetUp() {
    if (!JackServer::available())
        GTEST_SKIP() << (JackServer::pipeWire() ? "pipewire is not installed"
                                                : "jackd is not installed")
                     << " (scripts/install-deps installs it)";
    static std::shared_ptr<JackServer> shared;
    const JackServer::Options options = serverOptions();
    if (JackServer::pipeWire() && shared && shared->options().sampleRate == options.sampleRate &&
        shared->options().periodFrames == options.periodFrames) {
        server = shared;
        ASSERT_TRUE(server->start()) << server->failure();
        return;
    }
    shared.reset();
    server = std::make_shared<JackServer>(options);
    ASSERT_TRUE(server->start()) << server->failure();
    if (JackServer::pipeWire())
        shared = server;
}

void JackServerTest::TearDown() {
    server.reset();
}

} // namespace tamborel::testing
