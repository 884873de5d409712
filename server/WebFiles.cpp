#include "server/WebFiles.h"

#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

namespace Scores {

namespace {

std::string ContentType(const std::string& name) {
  const std::string extension = name.substr(name.rfind('.') + 1);
  if (extension == "html") return "text/html; charset=utf-8";
  if (extension == "js") return "text/javascript; charset=utf-8";
  // Browsers compile a program as it arrives only when it comes as this type.
  if (extension == "wasm") return "application/wasm";
  return "application/octet-stream";
}

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Whether a header's list of codings names this one without refusing it ("br;q=0").
bool Accepts(const std::string& header, const std::string& coding) {
  std::istringstream items(header);
  for (std::string item; std::getline(items, item, ',');) {
    item.erase(0, item.find_first_not_of(' '));
    const std::string name = item.substr(0, item.find_first_of("; "));
    if (name != coding) continue;
    const size_t q = item.find("q=");
    return q == std::string::npos || item.substr(q + 2).find_first_not_of("0.") != std::string::npos;
  }
  return false;
}

}  // namespace

TWebFiles::TWebFiles(const std::filesystem::path& folder) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (!entry.is_regular_file()) continue;
    std::string name = entry.path().filename().string(), coding;
    if (name.ends_with(".br")) {
      coding = "br";
      name.resize(name.size() - 3);
    } else if (name.ends_with(".gz")) {
      coding = "gzip";
      name.resize(name.size() - 3);
    }
    Files[name].Forms[coding] = ReadWhole(entry.path());
  }
  std::erase_if(Files, [](const auto& file) { return !file.second.Forms.count(""); });
  if (!Files.count("index.html"))
    throw std::runtime_error("the web game's folder " + folder.string() + " has no index.html (tools/build-web.sh)");
  for (auto& [name, file] : Files) {
    file.Type = ContentType(name);
    const std::string& bytes = file.Forms[""];
    char tag[32];
    std::snprintf(tag, sizeof tag, "\"%zx-%zx\"", std::hash<std::string>{}(bytes), bytes.size());
    file.Tag = tag;
  }
}

TAnswer TWebFiles::Answer(const TRequest& request) const {
  std::string name = request.Path.substr(request.Path.find('/', 1) + 1);
  if (name.empty()) name = "index.html";
  const auto found = Files.find(name);
  if (found == Files.end()) return {404, "text/plain; charset=utf-8", "No such file of the game\n"};
  const TFile& file = found->second;
  // The names stay the same from build to build: the browser keeps the files and asks
  // each time whether they are still current, which costs a short answer.
  TAnswer answer{200, file.Type, {}, {{"Cache-Control", "no-cache"}, {"ETag", file.Tag}, {"Vary", "Accept-Encoding"}}};
  if (request.IfNoneMatch == file.Tag) {
    answer.Status = 304;
    return answer;
  }
  for (const char* coding : {"br", "gzip"}) {
    const auto form = file.Forms.find(coding);
    if (form != file.Forms.end() && Accepts(request.AcceptEncoding, coding)) {
      answer.Body = form->second;
      answer.Headers.emplace_back("Content-Encoding", coding);
      return answer;
    }
  }
  answer.Body = file.Forms.at("");
  return answer;
}

}  // namespace Scores
