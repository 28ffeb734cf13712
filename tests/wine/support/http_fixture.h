#pragma once
// The loopback download server and forward proxy, seen from a Windows test.
// tests/harness/http-server.sh starts them before the Wine tests; a test
// drives them through files in their state directory (reached over Z:):
// routes.json says what to answer, requests.log records what arrived.
//
// Routes are per test process: setRoute rewrites routes.json with every route
// set since the last resetHttpServer(), so call resetHttpServer() first.

#include <optional>
#include <string>
#include <vector>

namespace tenvik::test {

// False when the build points the download base elsewhere (port 0): tests
// that need the server GTEST_SKIP then.
bool httpServerAvailable();

// "http://127.0.0.1:PORT", the download base of a test build.
std::wstring downloadBaseUrl();
// The TLS servers (tests/harness/http_server.py), one port each, serving the
// same routes: "https://localhost:PORT" of the server of that kind.
enum class TlsServer { trusted = 0, untrusted = 1, expired = 2, wrongName = 3, silent = 4 };
std::wstring tlsBaseUrl(TlsServer server = TlsServer::trusted);
// "localhost:PORT" of the trusted TLS server, as a CONNECT request names it.
std::string tlsAuthority();
// Makes the trusted TLS server answer as another kind for new connections
// (TlsServer::trusted: as itself again), for a program whose download base
// names that server alone. resetHttpServer() sets it back too.
void setTlsServerMode(TlsServer server);
// Adds the test CA of the TLS servers to the prefix's LocalMachine Root store
// (never the machine's own: the store is the prefix's registry). Throws when
// the store or the CA file cannot be used.
void trustTestCertificateAuthority();

// "127.0.0.1:PROXY_PORT", as a proxy list entry.
std::wstring proxyAddress();
// A host name that only the proxy resolves (to 127.0.0.1): a request for it
// arrives only when it went through the proxy.
std::wstring proxyOnlyHost();

struct RouteSpec {
  int status = 200;
  std::string body;  // any bytes; stored in a file of the state directory
  std::optional<long long> declaredLength;  // Content-Length sent instead of the true one
  bool omitLength = false;  // no Content-Length: the body ends when the connection closes
  int chunk = 0;            // > 0: send the body in pieces of this many bytes ...
  int pauseMs = 0;          // ... with this pause before each piece
  std::string redirect;     // not empty: answer 302 with this Location
  bool hold = false;        // read the request, then say nothing until the client gives up
  long long stallAfter = -1;  // >= 0: send the head and this many body bytes, then say nothing
};

// Forgets every route and empties the request log. Throws when the state
// directory cannot be written.
void resetHttpServer();

// target is the request target as it arrives: path with query
// ("/dotnet/desktop?arch=x86"). Unknown targets are answered 404 with a
// small HTML page.
void setRoute(const std::string& target, const RouteSpec& route);

// One line per request that reached the server or the proxy, oldest first:
// "<server|proxy> <METHOD> <target as received> <User-Agent or ->".
std::vector<std::string> requestLog();

struct LoggedRequest {
  std::string via;  // "server" or "proxy"
  std::string method;
  std::string target;
  std::string userAgent;  // "-" when the request had none
};
std::vector<LoggedRequest> loggedRequests();

// The current user's proxy settings as Wine reads them: only the binary value
// DefaultConnectionSettings under HKCU\...\Internet Settings\Connections.
struct UserProxySettings {
  bool autoDetect = false;
  std::string proxy;      // e.g. "127.0.0.1:18281"; empty for none
  std::string bypass;     // e.g. "<local>"
  std::string scriptUrl;  // configuration script; empty for none
};
void setUserProxySettings(const UserProxySettings& settings);
// Back to what a fresh prefix has: auto-detection on, no proxy, no script.
void restoreUserProxySettings();

// Sets the settings for one scope and restores the fresh-prefix ones after.
class ScopedUserProxySettings {
 public:
  explicit ScopedUserProxySettings(const UserProxySettings& settings) { setUserProxySettings(settings); }
  ~ScopedUserProxySettings() { restoreUserProxySettings(); }
  ScopedUserProxySettings(const ScopedUserProxySettings&) = delete;
  ScopedUserProxySettings& operator=(const ScopedUserProxySettings&) = delete;
};

}  // namespace tenvik::test
