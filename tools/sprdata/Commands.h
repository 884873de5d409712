#pragma once
#include <string>
#include <vector>

// Runs one sprdata command line (without the program name); 0 on success, 1 on a
// failure it has reported, 2 for a wrong command line. Throws EDataError and the
// readers' errors.
int RunCommand(const std::vector<std::string>& args);
