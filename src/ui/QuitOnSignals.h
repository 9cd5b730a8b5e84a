#pragma once
// Makes SIGTERM, SIGINT and SIGHUP (a logout, a shutdown, Ctrl+C in a terminal) quit the
// program as its Quit command does, without asking about an unsaved kit: the event loop ends
// and everything is closed in order (the last kit remembered, the audio client closed), with
// exit status 0. The handler only writes a byte to a socket the event loop watches; the quit
// itself runs on the GUI thread after the events already queued. One instance, made on the
// GUI thread after the application object; the signals' earlier handlers come back when it
// goes.

#include <QObject>

#include <csignal>
#include <memory>

class QSocketNotifier;

namespace tamborel::ui {

class QuitOnSignals final : public QObject {
public:
    QuitOnSignals();
    ~QuitOnSignals() override;
    QuitOnSignals(const QuitOnSignals&) = delete;
    QuitOnSignals& operator=(const QuitOnSignals&) = delete;

    // False when the socket could not be made; the signals then keep their usual effect.
    bool installed() const { return notifier_ != nullptr; }

private:
    int sockets_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_[3] = {};
};

} // namespace tamborel::ui
