// The sender side of the control socket: a second start of the program (or
// "vendrix-ftpd --send TEXT") hands one request to the running instance.
// Each call blocks until the answer arrives or the time is up; it is meant
// for the moments before the caller's own event loop runs.
#pragma once

#include <string>

#include "ControlProtocol.h"

namespace vendrix::app {

enum class TControlStatus {
    Answered,   // Text is the instance's answer line
    Refused,    // the instance answered with an error; Text says why
    NoInstance, // nothing listens for that base folder
    TimedOut,   // something listens but gave no answer in time
    Failed,     // any other failure; Text says what
};

struct TControlAnswer {
    TControlStatus Status = TControlStatus::Failed;
    std::string Text;

    bool Ok() const { return Status == TControlStatus::Answered; }
};

constexpr int kControlTimeoutMs = 3000;

// One request to the socket at socketPath; failures carry a message naming
// the socket.
TControlAnswer SendControl(const std::string& socketPath, const TControlRequest& request,
                           int timeoutMs = kControlTimeoutMs);

// IDENTIFY at socketPath: Ok only when the answer is the instance's value.
TControlAnswer IdentifyAt(const std::string& socketPath, int timeoutMs = kControlTimeoutMs);

// The three operations for the instance of a base folder; "no instance
// running for BASE" when none runs.
TControlAnswer Identify(const std::string& baseFolder, int timeoutMs = kControlTimeoutMs);
TControlAnswer Activate(const std::string& baseFolder, int timeoutMs = kControlTimeoutMs);
// The text goes over as given (one line, at most kMaxControlText characters);
// the instance answers "OK" whether or not the text names a command.
TControlAnswer SendCommand(const std::string& baseFolder, const std::string& text,
                           int timeoutMs = kControlTimeoutMs);

} // namespace vendrix::app
