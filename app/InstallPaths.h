// Where an installed program finds what it ships: the language files lie in
// the base folder's lng/ when it has one, else in the installation's data
// folder (share/vendrix-ftp/lng).
#pragma once

#include <string>

namespace vendrix::app {

std::string LanguageFolderFor(const std::string& baseFolder);

} // namespace vendrix::app
