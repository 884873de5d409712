#pragma once
// Small services of the host system.
#include <cstdint>
#include <string>
#include <vector>

namespace Platform {

// Milliseconds since an arbitrary start; wraps like the system's millisecond timer.
uint32_t TimeGetTime();

// No screen to show anything on (SDL's dummy or offscreen driver, or no display at all).
bool IsHeadless();

// Tells the player about an error the program cannot go on from: a message box, or
// standard error when there is no screen or the box cannot be shown. Texts are UTF-8.
void ShowErrorMessage(const std::string& caption, const std::string& text);

// Sets an environment variable of this process, seen by the libraries it uses too.
void SetEnvironment(const std::string& name, const std::string& value);

// The program's arguments as UTF-8 (on Windows taken from the wide command line, so a
// file name in any script survives).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Standard output and error carry bytes as written: no line ends are added on Windows,
// so a program's output is the same on both.
void UseBinaryStandardStreams();

// Shuts every SDL subsystem down when the program ends.
class TSystemLifetime {
 public:
  TSystemLifetime() = default;
  ~TSystemLifetime();
  TSystemLifetime(const TSystemLifetime&) = delete;
  TSystemLifetime& operator=(const TSystemLifetime&) = delete;
};

}  // namespace Platform
