#include "ControlCommand.h"

#include <utility>

namespace vendrix::app {

TControlCommand ParseControlCommand(std::string_view text) {
    static constexpr std::pair<std::string_view, TControlCommand> kTable[] = {
        {"/start", TControlCommand::Start},       {"/stop", TControlCommand::Stop},
        {"/restart", TControlCommand::Restart},   {"/close", TControlCommand::Close},
        {"/hidetray", TControlCommand::HideTray}, {"/showtray", TControlCommand::ShowTray},
    };
    for (const auto& [name, command] : kTable)
        if (text == name) return command;
    return TControlCommand::None;
}

} // namespace vendrix::app
