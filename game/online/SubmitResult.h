#pragma once
// Sending a result to the online score table: the record, its letter code, the server's
// address and the two addresses on it.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class THttpClient;
struct THttpEnd;

// Value 0 is "A", value 31 is "9"; letters and digits easily mistaken for one another
// are left out.
inline constexpr std::string_view SubmitAlphabet = "ABCDEFGHJKLMNPQRSTUVWXY123456789";

// "type=0|name=..|score=..|key=S|p=|add=..|z=" padded with "0" to a multiple of 5 bytes.
// Texts are Windows-1251 bytes and go in unescaped.
std::string ResultRecord(const std::string& playerName, int32_t score, const std::string& addInfo);

// Every byte as eight "0"/"1" characters, most significant bit first.
std::string ToBitString(std::string_view text);

// Five bits a letter of SubmitAlphabet, most significant first; "0"s go in front until
// the bits fill whole letters. Any character but "0" counts as a set bit.
std::string EncodeBits(std::string_view bits);

// The address when nothing else is configured.
inline constexpr std::string_view DefaultScoreServer = "localhost:8080";

// "host" or "host:port" from one line of text: spaces, a CR and a byte-order mark around
// it are dropped; a blank line or anything else than a host name, an IPv4 address or a
// bracketed IPv6 address with an optional port 1-65535 gives DefaultScoreServer.
std::string ScoreServerAddressFrom(std::string_view line);

// The first line of "Data\ScoreServer.txt", or DefaultScoreServer when the file is
// missing, blank or unusable; the override instead while one is set.
std::string ScoreServerAddress();
// Headless runs and tests send to an address of their own (a closed port) whatever the
// game's data says; an empty one gives the file its say again.
void SetScoreServerOverride(std::string address);

std::string SubmitUrl(const std::string& address, const std::string& code);
std::string HighScorePageUrl(const std::string& address);
// Where a sent game's replay goes: the server re-plays it and marks the result proven.
std::string ReplayUploadUrl(const std::string& address);

// One GET of the address, the answer read and thrown away; every failure is swallowed.
// Blocks until the request has ended.
void SubmitResult(THttpClient& client, const std::string& url);

// What became of a replay sent: the server took it (or will never take it: it is no
// proof), or it must come again later (busy, 429 or 503, or no answer), after the
// seconds the server asked for when it did.
struct TReplaySent {
  bool Later = false;
  int64_t RetryAfterSeconds = 0;
};
// What a replay's POST that ended so came to.
TReplaySent ReplaySentOf(const THttpEnd& end);
// Begins sending a sent game's replay (none: only those waiting) to the server at the
// address, then the replays waiting from before, oldest first, until the server asks for
// time: what it does not take now waits for the next start or the next game, up to a week.
// Ended runs once the last has its answer (on the client's thread on the desktop).
void SendReplays(THttpClient& client, const std::string& address, const std::vector<uint8_t>& replay,
                 int64_t startedAt, std::function<void()> ended);
