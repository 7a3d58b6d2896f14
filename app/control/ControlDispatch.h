// Runs a control command received over the control channel. The daemon and
// the window share it: the server commands always go to the controller, and
// what has to do with a window (closing, the tray icon) goes to the hooks the
// executable fills. A text that names no command, or a command whose hook is
// empty, does nothing.
#pragma once

#include <functional>
#include <string>

namespace vendrix::policy {
class TFtpController;
}

namespace vendrix::app {

struct TControlHooks {
    std::function<void()> Close;    // "/close": stop the server, then close
    std::function<void()> HideTray; // "/hidetray"
    std::function<void()> ShowTray; // "/showtray"
};

void RunControlCommand(policy::TFtpController& controller, const std::string& text,
                       const TControlHooks& hooks);

} // namespace vendrix::app
