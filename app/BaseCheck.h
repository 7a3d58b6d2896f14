// "vendrix-ftpd check": reads the settings and accounts of a base folder as
// the server would and lists every problem it finds, one line each, so an
// administrator who edits the files by hand learns what the server would
// silently take as a default or refuse at login.
#pragma once

#include <string>
#include <vector>

namespace vendrix::app {

// Each problem as "FILE: what is wrong". Checked: files that exist but
// cannot be read; unknown sections and keys; the port (missing, out of
// range, taken by another program or needing privileges); the language file;
// account names the dialog would refuse; passwords that are no digest;
// home folders and access entry folders that do not exist; malformed rights
// fields.
std::vector<std::string> CheckBaseFolder(const std::string& base);

} // namespace vendrix::app
