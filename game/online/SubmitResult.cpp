#include "game/online/SubmitResult.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>

#include "game/replay/ReplayFile.h"
#include "game/replay/ReplayStore.h"
#include "http/HttpClient.h"
#include "media/Platform/Paths.h"

namespace {

// The score server tells our results from those of other games by this letter.
constexpr char ResultKey = 'S';

const std::array<std::string, 256>& BitPatterns() {
  static const std::array<std::string, 256> Table = [] {
    std::array<std::string, 256> table;
    for (int value = 0; value < 256; ++value)
      for (int bit = 7; bit >= 0; --bit) table[value] += (value >> bit) & 1 ? '1' : '0';
    return table;
  }();
  return Table;
}

bool IsHostChar(char c) { return std::isalnum(uint8_t(c)) || c == '-' || c == '.'; }

bool IsIpv6Char(char c) { return std::isxdigit(uint8_t(c)) || c == ':' || c == '.'; }

bool ValidPort(std::string_view port) {
  if (port.empty() || port.size() > 5 || port[0] == '0') return false;
  if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  return std::stoi(std::string(port)) <= 65535;
}

bool ValidAddress(std::string_view text) {
  std::string_view host = text, port;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos || close < 3) return false;
    host = text.substr(1, close - 1);
    if (!std::all_of(host.begin(), host.end(), IsIpv6Char) ||
        host.find(':') == std::string_view::npos)
      return false;
    const std::string_view rest = text.substr(close + 1);
    if (rest.empty()) return true;
    return rest.front() == ':' && ValidPort(rest.substr(1));
  }
  if (const size_t colon = text.find(':'); colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (!ValidPort(port)) return false;
  }
  return !host.empty() && host.size() <= 253 && host.front() != '.' && host.front() != '-' &&
         std::all_of(host.begin(), host.end(), IsHostChar);
}

}  // namespace

std::string ResultRecord(const std::string& playerName, int32_t score, const std::string& addInfo) {
  std::string record = "type=0|name=" + playerName + "|score=" + std::to_string(score) + "|key=" +
                       ResultKey + "|p=|add=" + addInfo + "|z=";
  while (record.size() % 5 != 0) record += '0';
  return record;
}

std::string ToBitString(std::string_view text) {
  const auto& patterns = BitPatterns();
  std::string bits;
  bits.reserve(text.size() * 8);
  for (char c : text) bits += patterns[uint8_t(c)];
  return bits;
}

std::string EncodeBits(std::string_view bits) {
  std::string padded((5 - bits.size() % 5) % 5, '0');
  padded += bits;
  std::string code;
  code.reserve(padded.size() / 5);
  for (size_t i = 0; i < padded.size(); i += 5) {
    int value = 0;
    for (size_t k = 0; k < 5; ++k) value = value * 2 + (padded[i + k] != '0');
    code += SubmitAlphabet[value];
  }
  return code;
}

std::string ScoreServerAddressFrom(std::string_view line) {
  if (line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!line.empty() && blank(line.front())) line.remove_prefix(1);
  while (!line.empty() && blank(line.back())) line.remove_suffix(1);
  if (line.empty() || !ValidAddress(line)) return std::string(DefaultScoreServer);
  return std::string(line);
}

namespace {

std::mutex OverrideLock;
std::string Override;

}  // namespace

void SetScoreServerOverride(std::string address) {
  std::lock_guard lock(OverrideLock);
  Override = std::move(address);
}

std::string ScoreServerAddress() {
  {
    std::lock_guard lock(OverrideLock);
    if (!Override.empty()) return Override;
  }
  std::ifstream in(Platform::NativePath("Data\\ScoreServer.txt"), std::ios::binary);
  // An address is short; a stray huge file must not be read whole.
  std::string head(512, '\0');
  in.read(head.data(), std::streamsize(head.size()));
  head.resize(size_t(in.gcount()));
  return ScoreServerAddressFrom(std::string_view(head).substr(0, head.find('\n')));
}

std::string SubmitUrl(const std::string& address, const std::string& code) {
  return "http://" + address + "/cgi/version.pl?hs&prg=Sprayrush&inf=" + code;
}

std::string HighScorePageUrl(const std::string& address) {
  return "http://" + address + "/cgi/version.pl?prg=Sprayrush&show&type=0";
}

std::string ReplayUploadUrl(const std::string& address) { return "http://" + address + "/replays"; }

TReplaySent ReplaySentOf(const THttpEnd& end) {
  // Busy, or not there: the proof comes later. Anything else the server will never take.
  if (!end.Ok && (end.Status == 0 || end.Status == 429 || end.Status >= 500)) return {true, end.RetryAfterSeconds};
  return {};
}

namespace {

// The replays of one sending, each begun when the one before has its answer, since the
// browser cannot wait for one.
struct TReplayBatch {
  THttpClient& Client;
  std::string Url;
  int64_t Now = 0;
  std::vector<std::string> Waiting;
  size_t Next = 0;
  std::function<void()> Ended;
};

void Later(const TReplayBatch& batch, const TReplaySent& sent) {
  if (sent.RetryAfterSeconds > 0) SetUnsentRetryAfter(batch.Now + sent.RetryAfterSeconds);
  batch.Ended();
}

// The replays waiting from before, oldest first, until the server asks for time.
void SendWaiting(std::shared_ptr<TReplayBatch> batch) {
  // A few each time, so that a long list never keeps the game from closing for long.
  constexpr size_t MostAtOnce = 8;
  while (batch->Next < std::min(batch->Waiting.size(), MostAtOnce)) {
    const std::string path = batch->Waiting[batch->Next++];
    const auto bytes = ReadReplayFile(path);
    int64_t started = 0;
    try {
      if (bytes) started = DecodeReplay(*bytes).StartedAt;
    } catch (const std::exception&) {
      // Damaged: it proves nothing.
    }
    if (started == 0 || batch->Now - started > UnsentKeepSeconds) {
      DropUnsentReplay(path);
      continue;
    }
    const std::string body(bytes->begin(), bytes->end());
    batch->Client.Begin(batch->Url, &body, "application/octet-stream", [batch, path](const THttpEnd& end) {
      const TReplaySent sent = ReplaySentOf(end);
      if (sent.Later) return Later(*batch, sent);
      DropUnsentReplay(path);
      SendWaiting(batch);
    });
    return;
  }
  batch->Ended();
}

void SendWaitingIfDue(std::shared_ptr<TReplayBatch> batch) {
  if (batch->Now < UnsentRetryAfter()) return batch->Ended();
  batch->Waiting = UnsentReplays();
  SendWaiting(std::move(batch));
}

}  // namespace

void SendReplays(THttpClient& client, const std::string& address, const std::vector<uint8_t>& replay,
                 int64_t startedAt, std::function<void()> ended) {
  auto batch = std::make_shared<TReplayBatch>(
      TReplayBatch{client, ReplayUploadUrl(address), int64_t(std::time(nullptr)), {}, 0, std::move(ended)});
  if (replay.empty()) return SendWaitingIfDue(std::move(batch));
  const std::string body(replay.begin(), replay.end());
  client.Begin(batch->Url, &body, "application/octet-stream", [batch, replay, startedAt](const THttpEnd& end) {
    const TReplaySent sent = ReplaySentOf(end);
    if (!sent.Later) return SendWaitingIfDue(batch);
    KeepUnsentReplay(replay, startedAt);
    Later(*batch, sent);
  });
}

void SubmitResult(THttpClient& client, const std::string& url) {
  try {
    client.Get(url);
  } catch (...) {
    // Sending is a courtesy: the local table has the result, and there is nobody to tell.
  }
}
