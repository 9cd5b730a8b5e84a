#include "midi/AlsaSequencerSource.h"

#include "timing/EventTime.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>

namespace tamborel::midi {

namespace {

constexpr unsigned readableCaps = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;

// Calls visit(source, port, "client name: port name") for every port that counts as a
// source: readable, exported, and owned by neither the system client nor ourselves.
template <typename Visit> void forEachSourcePort(snd_seq_t* seq, int ownClient, Visit&& visit) {
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int clientId = snd_seq_client_info_get_client(client);
        if (clientId == SND_SEQ_CLIENT_SYSTEM || clientId == ownClient)
            continue;
        const AlsaSourcePort source{clientId, snd_seq_client_info_get_card(client),
                                    snd_seq_client_info_get_name(client)};
        snd_seq_port_info_set_client(port, clientId);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            const unsigned caps = snd_seq_port_info_get_capability(port);
            if ((caps & readableCaps) != readableCaps || (caps & SND_SEQ_PORT_CAP_NO_EXPORT) != 0)
                continue;
            visit(source, snd_seq_port_info_get_port(port),
                  source.clientName + ": " + snd_seq_port_info_get_name(port));
        }
    }
}

std::uint64_t monotonicNow() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}

void raisePriority(std::thread& thread) {
    // Best effort: without a real-time grant the thread keeps its ordinary priority.
    sched_param param{};
    param.sched_priority = 70;
    pthread_setschedparam(thread.native_handle(), SCHED_FIFO, &param);
}

} // namespace

bool isSetupAnnouncement(const snd_seq_event_t& event, int ownClient) {
    switch (event.type) {
    case SND_SEQ_EVENT_CLIENT_START:
    case SND_SEQ_EVENT_CLIENT_EXIT:
    case SND_SEQ_EVENT_CLIENT_CHANGE:
    case SND_SEQ_EVENT_PORT_START:
    case SND_SEQ_EVENT_PORT_EXIT:
    case SND_SEQ_EVENT_PORT_CHANGE:
        // Our own port coming and going is not a change of the sources.
        return event.data.addr.client != ownClient;
    default:
        // Subscriptions are announced too, and our own rescans make them: reacting to
        // them would rescan forever.
        return false;
    }
}

bool sequencerDevicePresent() {
    std::error_code ec;
    return std::filesystem::exists("/dev/snd/seq", ec);
}

AlsaSequencerSource::AlsaSequencerSource(engine::MidiEventSink& sink,
                                         std::function<void()> onSetupChanged)
    : sink_(sink), onSetupChanged_(std::move(onSetupChanged)) {}

AlsaSequencerSource::~AlsaSequencerSource() {
    stopThreads();
    if (seq_ != nullptr)
        snd_seq_close(seq_);
    if (stopFd_ >= 0)
        close(stopFd_);
    if (notifyFd_ >= 0)
        close(notifyFd_);
}

bool AlsaSequencerSource::open(const std::vector<BridgedDevice>& heardThroughJack) {
    if (seq_ != nullptr)
        return true;
    // alsa-lib prints its own complaint when the device node is missing; asking first
    // keeps machines without sound hardware quiet.
    if (!sequencerDevicePresent())
        return false;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0)
        return false;
    snd_seq_set_client_name(seq, "Tamborel");
    const int port = snd_seq_create_simple_port(
        seq, "Tamborel In", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    const int stopFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int notifyFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (port < 0 || stopFd < 0 || notifyFd < 0) {
        snd_seq_close(seq);
        if (stopFd >= 0)
            close(stopFd);
        if (notifyFd >= 0)
            close(notifyFd);
        return false;
    }
    seq_ = seq;
    clientId_ = snd_seq_client_id(seq);
    portId_ = port;
    stopFd_ = stopFd;
    notifyFd_ = notifyFd;
    snd_seq_connect_from(seq_, portId_, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    connectAll(heardThroughJack);
    receiver_ = std::thread([this] { receiveLoop(); });
    raisePriority(receiver_);
    notifier_ = std::thread([this] { notifyLoop(); });
    return true;
}

void AlsaSequencerSource::connectAll(const std::vector<BridgedDevice>& heardThroughJack) {
    if (seq_ == nullptr)
        return;
    forEachSourcePort(seq_, clientId_, [&](const AlsaSourcePort& source, int port, std::string&&) {
        // Each fails harmlessly for a port already as wanted.
        if (reachesJackThroughBridge(source, heardThroughJack))
            snd_seq_disconnect_from(seq_, portId_, source.client, port);
        else
            snd_seq_connect_from(seq_, portId_, source.client, port);
    });
}

std::vector<std::string>
AlsaSequencerSource::sourceNames(const std::vector<BridgedDevice>& heardThroughJack) const {
    std::vector<std::string> names;
    auto collect = [&](const AlsaSourcePort& source, int, std::string&& name) {
        if (!reachesJackThroughBridge(source, heardThroughJack))
            names.push_back(std::move(name));
    };
    if (seq_ != nullptr) {
        forEachSourcePort(seq_, clientId_, collect);
        return names;
    }
    if (!sequencerDevicePresent())
        return names;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0)
        return names;
    forEachSourcePort(seq, snd_seq_client_id(seq), collect);
    snd_seq_close(seq);
    return names;
}

std::vector<ConnectedSource>
AlsaSequencerSource::connectedSources(const std::vector<BridgedDevice>& heardThroughJack) const {
    std::vector<ConnectedSource> sources;
    if (seq_ == nullptr)
        return sources;
    forEachSourcePort(seq_, clientId_,
                      [&](const AlsaSourcePort& source, int port, std::string&& name) {
                          if (!reachesJackThroughBridge(source, heardThroughJack))
                              sources.push_back({sourceId(source.client, port), std::move(name)});
                      });
    return sources;
}

std::string AlsaSequencerSource::sourceName(std::uint32_t source) const {
    if (seq_ == nullptr || (source & ~0xffffu) != sourceTag)
        return {};
    const int clientId = static_cast<int>((source >> 8) & 0xffu);
    const int portId = static_cast<int>(source & 0xffu);
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    if (snd_seq_get_any_client_info(seq_, clientId, client) < 0 ||
        snd_seq_get_any_port_info(seq_, clientId, portId, port) < 0)
        return {};
    return std::string(snd_seq_client_info_get_name(client)) + ": " +
           snd_seq_port_info_get_name(port);
}

void AlsaSequencerSource::receiveLoop() noexcept {
    // The descriptors are gathered once; nothing below allocates.
    constexpr int maxFds = 8;
    pollfd fds[maxFds + 1]{};
    int count = snd_seq_poll_descriptors(seq_, fds, maxFds, POLLIN);
    if (count < 0)
        count = 0;
    fds[count] = {stopFd_, POLLIN, 0};
    const auto total = static_cast<nfds_t>(count + 1);
    for (;;) {
        if (poll(fds, total, -1) < 0)
            continue; // interrupted by a signal
        if ((fds[count].revents & POLLIN) != 0)
            return;
        for (;;) {
            snd_seq_event_t* event = nullptr;
            const int result = snd_seq_event_input(seq_, &event);
            if (result == -ENOSPC)
                continue; // the kernel dropped events on overflow; read on
            if (result < 0 || event == nullptr)
                break;
            receive(*event, monotonicNow());
        }
    }
}

void AlsaSequencerSource::receive(const snd_seq_event_t& event,
                                  std::uint64_t arrivalNanos) noexcept {
    if (event.source.client == SND_SEQ_CLIENT_SYSTEM) {
        if (notifyFd_ >= 0 && isSetupAnnouncement(event, clientId_)) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto written = write(notifyFd_, &one, sizeof one);
        }
        return;
    }
    const auto bytes = bytes_.toBytes(event);
    if (bytes.empty())
        return;
    engine::decodePacket(bytes, sink_,
                         {timing::EventTime::Kind::monotonicNanos, arrivalNanos,
                          sourceId(event.source.client, event.source.port)});
}

void AlsaSequencerSource::notifyLoop() {
    pollfd fds[2] = {{notifyFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0)
            continue;
        if ((fds[1].revents & POLLIN) != 0)
            return;
        std::uint64_t pending = 0;
        if (read(notifyFd_, &pending, sizeof pending) != sizeof pending)
            continue;
        for (std::uint64_t i = 0; i < pending; ++i)
            onSetupChanged_();
    }
}

void AlsaSequencerSource::stopThreads() {
    if (stopFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(stopFd_, &one, sizeof one);
    }
    if (receiver_.joinable())
        receiver_.join();
    if (notifier_.joinable())
        notifier_.join();
}

} // namespace tamborel::midi
