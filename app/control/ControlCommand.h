// The control commands another program may hand to the running instance.
// Only these exact texts do something; the daemon and the window both map a
// received text through ParseControlCommand and ignore None.
#pragma once

#include <cstddef>
#include <string_view>

namespace vendrix::app {

enum class TControlCommand { None, Start, Stop, Restart, Close, HideTray, ShowTray };

// The longest command text a sender may hand over.
constexpr std::size_t kMaxControlText = 260;

// The whole text must equal one of "/start", "/stop", "/restart", "/close",
// "/hidetray", "/showtray", in that case; anything else is None.
TControlCommand ParseControlCommand(std::string_view text);

} // namespace vendrix::app
