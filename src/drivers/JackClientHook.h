#pragma once
// Lets another part of the program (MIDI input) share the JACK driver's client: its ports
// are registered on the same client and read in the same process cycle, before the engine
// renders, so a note can sound in the very cycle it arrived.

#include <jack/jack.h>

namespace tamborel::drivers {

class JackClientHook {
public:
    virtual ~JackClientHook() = default;

    // Non-real-time: the client has just been opened, before it is activated. Register
    // ports and callbacks here. Called again after a lost server comes back.
    virtual void clientOpened(jack_client_t* client) = 0;
    // Non-real-time: the client has been activated; connections may be made now.
    virtual void clientActivated(jack_client_t* client) = 0;
    // Non-real-time: the client has been deactivated (the output left JACK, or is about to
    // close); its connections are gone and no cycles run until the next clientActivated.
    virtual void clientDeactivated() {}
    // Non-real-time: the client is about to be closed, or the server has gone away. Forget
    // every port of the old client.
    virtual void clientClosed() = 0;

    // Real-time, on the JACK process thread, at the start of every cycle before rendering.
    virtual void processCycle(jack_nframes_t frames) noexcept = 0;
};

} // namespace tamborel::drivers
