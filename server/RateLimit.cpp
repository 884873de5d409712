#include "server/RateLimit.h"

#include <algorithm>
#include <cmath>

namespace Scores {

TRateLimit::TBucket& TRateLimit::Refilled(const std::string& address, int64_t nowMs) {
  if (Buckets.size() >= Settings.MaxAddresses && !Buckets.count(address)) Forget(nowMs);
  auto [bucket, added] = Buckets.try_emplace(address, TBucket{Settings.Burst, nowMs});
  auto& b = bucket->second;
  if (!added) {
    b.Tokens = std::min(Settings.Burst, b.Tokens + double(nowMs - b.LastMs) / 1000.0 / Settings.RefillSeconds);
    b.LastMs = nowMs;
  }
  return b;
}

// An address whose bucket has filled up again is as good as new; when even that is not
// enough (an attacker with more addresses than the table holds), everyone starts afresh.
void TRateLimit::Forget(int64_t nowMs) {
  for (auto it = Buckets.begin(); it != Buckets.end();) {
    const double refill = double(nowMs - it->second.LastMs) / 1000.0 / Settings.RefillSeconds;
    if (it->second.Tokens + refill >= Settings.Burst)
      it = Buckets.erase(it);
    else
      ++it;
  }
  if (Buckets.size() >= Settings.MaxAddresses) Buckets.clear();
}

bool TRateLimit::Take(const std::string& address, int64_t nowMs) {
  std::lock_guard<std::mutex> hold(Lock);
  TBucket& bucket = Refilled(address, nowMs);
  if (bucket.Tokens < 1) return false;
  bucket.Tokens -= 1;
  return true;
}

int TRateLimit::WaitSeconds(const std::string& address, int64_t nowMs) {
  std::lock_guard<std::mutex> hold(Lock);
  const TBucket& bucket = Refilled(address, nowMs);
  return int(std::ceil(std::max(0.0, 1 - bucket.Tokens) * Settings.RefillSeconds));
}

}  // namespace Scores
