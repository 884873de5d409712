#pragma once
// Opening files and addresses with the desktop's default handler, fire and forget.
#include <string>

namespace Platform {

// The address to hand to the desktop for a target: an address stays as it is; an
// internet shortcut file (".url") gives the address written in it; any other existing
// file gives its file address. Empty when there is nothing to open.
std::string ShellTargetUrl(const std::string& target);

// Opens the target; false when there was nothing to open or the desktop refused.
bool ShellOpen(const std::string& target);

}  // namespace Platform
