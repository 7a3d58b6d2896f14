#include "ControlDispatch.h"

#include "ControlCommand.h"
#include "FtpController.h"

namespace vendrix::app {

void RunControlCommand(policy::TFtpController& controller, const std::string& text,
                       const TControlHooks& hooks) {
    auto call = [](const std::function<void()>& hook) {
        if (hook) hook();
    };
    switch (ParseControlCommand(text)) {
    case TControlCommand::Start:
        controller.StartServer();
        break;
    case TControlCommand::Stop:
        controller.StopServer();
        break;
    case TControlCommand::Restart:
        controller.RestartServer();
        break;
    case TControlCommand::Close:
        controller.StopServer();
        call(hooks.Close);
        break;
    case TControlCommand::HideTray:
        call(hooks.HideTray);
        break;
    case TControlCommand::ShowTray:
        call(hooks.ShowTray);
        break;
    case TControlCommand::None:
        break;
    }
}

} // namespace vendrix::app
