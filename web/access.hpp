// Who may use a workbench: the request must name this server in its Host
// header (against DNS rebinding), carry the access token (Bearer header,
// the cookie, or once in the query), and come from no other site's page; a
// state-changing request the browser authenticates by its cookie must say
// it comes from the workbench's own page (Origin).
#pragma once

#include <string>

namespace soilcal::web {

inline constexpr const char* kCookieName = "soilcal_token";

struct AccessPolicy {
  std::string token;
  int port = 0;
  std::string listen = "127.0.0.1";  // the address served; loopback names are always accepted
};

// What the checks read of a request (empty: header absent).
struct AccessRequest {
  std::string method;
  std::string host;
  std::string origin;
  bool hasOrigin = false;
  std::string cookie;         // the Cookie header
  std::string authorization;  // the Authorization header
  std::string queryToken;     // ?token=
};

struct AccessVerdict {
  int status = 0;          // 0: allowed; else 401 or 403
  std::string reason;      // one sentence when refused
  bool setCookie = false;  // the token came in the query: hand out the cookie
};

// A new access token: 32 random bytes from the system's source, as hex.
std::string NewToken();

AccessVerdict CheckAccess(const AccessRequest& request, const AccessPolicy& policy);

// The Set-Cookie value that carries the token from now on.
std::string TokenCookie(const std::string& token);

// True for the loopback addresses and "localhost".
bool IsLoopback(const std::string& address);

}  // namespace soilcal::web
