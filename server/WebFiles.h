#pragma once
// The game's page (the web build's folder) served at /play/: read once at start, each
// file with its precompressed forms, sent as the browser takes them.
#include <filesystem>
#include <map>
#include <string>

#include "server/HttpServer.h"

namespace Scores {

class TWebFiles {
 public:
  // Reads every file of the folder (index.html, the script, the program, the data, with
  // their .br and .gz beside them). Throws std::runtime_error when there is no page.
  explicit TWebFiles(const std::filesystem::path& folder);

  // A GET or HEAD below /play/: the file, or 404; 304 when the browser's copy is current.
  TAnswer Answer(const TRequest& request) const;

 private:
  struct TFile {
    std::string Type, Tag;
    std::map<std::string, std::string> Forms;  // by encoding: "", "br", "gzip"
  };
  std::map<std::string, TFile> Files;  // by name
};

}  // namespace Scores
