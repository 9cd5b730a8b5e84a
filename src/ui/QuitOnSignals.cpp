#include "ui/QuitOnSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace tamborel::ui {

namespace {

constexpr int quitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end, for the handler; -1 while no instance lives.
volatile std::sig_atomic_t writeEnd = -1;

void onSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    if (writeEnd >= 0)
        (void)::write(writeEnd, &byte, 1); // a full socket already holds a quit
    errno = saved;
}

} // namespace

QuitOnSignals::QuitOnSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, sockets_) != 0)
        return;
    writeEnd = sockets_[0];
    notifier_ = new QSocketNotifier(sockets_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(sockets_[1], bytes, sizeof bytes) > 0) {
        }
        // Queued: a key or click already on its way is handled first.
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(quitSignals); ++i)
        sigaction(quitSignals[i], &action, &previous_[i]);
}

QuitOnSignals::~QuitOnSignals() {
    if (notifier_ == nullptr)
        return;
    for (std::size_t i = 0; i < std::size(quitSignals); ++i)
        sigaction(quitSignals[i], &previous_[i], nullptr);
    writeEnd = -1;
    ::close(sockets_[0]);
    ::close(sockets_[1]);
}

} // namespace tamborel::ui
