// What both programs set up for their process before anything else runs.
#pragma once

namespace vendrix::app {

// Ignores SIGPIPE (a peer that goes away shows as a failed send, not a
// killed process) and keeps the memory of large, short-lived buffers
// (listings, transfer blocks) in the process from one use to the next.
// Call first thing in main, before any thread starts.
void SetUpProcess();

} // namespace vendrix::app
