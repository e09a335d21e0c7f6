#include "web/access.hpp"

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <string_view>

namespace soilcal::web {
namespace {

// Compares in time independent of where the texts differ.
bool SameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size() || a.empty()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  }
  return diff == 0;
}

std::string CookieValue(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    const std::size_t end = std::min(header.find(';'), header.size());
    std::string_view item = header.substr(0, end);
    header.remove_prefix(std::min(end + 1, header.size()));
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    const std::size_t eq = item.find('=');
    if (eq != std::string_view::npos && item.substr(0, eq) == name) {
      return std::string(item.substr(eq + 1));
    }
  }
  return "";
}

bool ChangesState(const std::string& method) {
  return method != "GET" && method != "HEAD" && method != "OPTIONS";
}

// The Host header names this server: a loopback name or the address served,
// with the server's port.
bool HostAllowed(const std::string& host, const AccessPolicy& policy) {
  const std::string port = ":" + std::to_string(policy.port);
  for (const std::string name : {std::string("127.0.0.1"), std::string("localhost"),
                                 std::string("[::1]"), policy.listen}) {
    if (host == name + port) return true;
  }
  // Listening on every address: the names a client may use are not known.
  return policy.listen == "0.0.0.0" || policy.listen == "::";
}

}  // namespace

std::string NewToken() {
  std::array<unsigned char, 32> bytes{};
  std::ifstream source("/dev/urandom", std::ios::binary);
  if (!source.read(reinterpret_cast<char*>(bytes.data()), bytes.size())) {
    std::random_device device;
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(device());
  }
  std::string hex;
  char two[3];
  for (unsigned char b : bytes) {
    std::snprintf(two, sizeof two, "%02x", b);
    hex += two;
  }
  return hex;
}

bool IsLoopback(const std::string& address) {
  return address == "localhost" || address == "::1" || address.rfind("127.", 0) == 0;
}

std::string TokenCookie(const std::string& token) {
  return std::string(kCookieName) + "=" + token + "; HttpOnly; SameSite=Strict; Path=/";
}

AccessVerdict CheckAccess(const AccessRequest& request, const AccessPolicy& policy) {
  AccessVerdict verdict;
  if (!HostAllowed(request.host, policy)) {
    verdict.status = 403;
    verdict.reason = "the Host header \"" + request.host +
                     "\" does not name this workbench; open it at http://127.0.0.1:" +
                     std::to_string(policy.port) + "/";
    return verdict;
  }
  // Who the token came from: an Authorization header is set by a script,
  // the cookie and the query by a browser.
  bool bearer = false;
  bool byBrowser = false;
  const std::string_view auth = request.authorization;
  if (auth.rfind("Bearer ", 0) == 0 && SameSecret(auth.substr(7), policy.token)) {
    bearer = true;
  } else if (SameSecret(CookieValue(request.cookie, kCookieName), policy.token)) {
    byBrowser = true;
  } else if (SameSecret(request.queryToken, policy.token)) {
    byBrowser = true;
    verdict.setCookie = true;
  } else {
    verdict.status = 401;
    verdict.reason = "the access token is missing or wrong: open the address soilcal serve printed";
    verdict.setCookie = false;
    return verdict;
  }
  // Same origin: the page was loaded from the host this request names.
  if (request.hasOrigin && request.origin != "http://" + request.host) {
    verdict.status = 403;
    verdict.reason = "requests from the page of another site (Origin " + request.origin +
                     ") are refused";
    verdict.setCookie = false;
    return verdict;
  }
  if (byBrowser && !bearer && ChangesState(request.method) && !request.hasOrigin) {
    verdict.status = 403;
    verdict.reason = "a change by a browser must come from the workbench's page (no Origin "
                     "header); scripts send the token as Authorization: Bearer";
    verdict.setCookie = false;
    return verdict;
  }
  return verdict;
}

}  // namespace soilcal::web
