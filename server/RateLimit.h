#pragma once
// Requests of one kind per address: a bucket of Burst that refills one every
// RefillSeconds. The defaults are those of results: a player sends one result a game, and
// a game lasts minutes; a household or a LAN party behind one address never comes near
// the limit, a script that floods the table does.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace Scores {

struct TRateSettings {
  double Burst = 30;
  double RefillSeconds = 2;
  // Addresses remembered at once; beyond it the full buckets are forgotten first.
  size_t MaxAddresses = 100000;
};

class TRateLimit {
 public:
  explicit TRateLimit(TRateSettings settings = {}) : Settings(settings) {}
  // Takes one from the address's bucket; false when it is empty. nowMs from any steady clock.
  bool Take(const std::string& address, int64_t nowMs);
  // Seconds until the address may send again.
  int WaitSeconds(const std::string& address, int64_t nowMs);

 private:
  struct TBucket {
    double Tokens;
    int64_t LastMs;
  };
  TBucket& Refilled(const std::string& address, int64_t nowMs);
  void Forget(int64_t nowMs);

  TRateSettings Settings;
  std::mutex Lock;
  std::unordered_map<std::string, TBucket> Buckets;
};

}  // namespace Scores
