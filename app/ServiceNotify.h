// Telling a service manager that the daemon is ready, reloading or stopping,
// by the datagram protocol of $NOTIFY_SOCKET ("READY=1", ...). Without the
// variable (a start by hand) nothing is sent.
#pragma once

#include <string>

namespace vendrix::app {

// Sends `state` to the socket named by $NOTIFY_SOCKET: a path, or an abstract
// name written with a leading "@". False when there is none or sending
// failed; the daemon runs on either way.
bool NotifyServiceManager(const std::string& state);

} // namespace vendrix::app
