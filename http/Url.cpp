#include <cstring>
#include <string>

#include "http/HttpClient.h"

namespace {

bool SafeInUrl(unsigned char c) {
  return c > 32 && c < 127 && !std::strchr("\"<>\\^`{|}", c);
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

}  // namespace

std::string EncodeUrl(const std::string& url) {
  static const char Hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (size_t i = 0; i < url.size(); ++i) {
    const unsigned char c = url[i];
    const bool escaped = c == '%' && i + 2 < url.size() && IsHex(url[i + 1]) && IsHex(url[i + 2]);
    if (SafeInUrl(c) && (c != '%' || escaped)) {
      out += char(c);
    } else {
      out += '%';
      out += Hex[c >> 4];
      out += Hex[c & 15];
    }
  }
  return out;
}
