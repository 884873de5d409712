#pragma once
#include <string>
#include <string_view>

namespace Platform {

// Game paths are written with backslashes ("Data\Res\Res1.dxg"); this is the one
// place that turns them into the host's form.
std::string NativePath(std::string_view gamePath);

}  // namespace Platform
