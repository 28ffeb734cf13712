// downloadFile under Wine against the loopback server and proxy of
// tests/harness/http_server.py.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

#include "download/download_file.h"
#include "support/http_fixture.h"
#include "support/recording_progress.h"
#include "support/wine_support.h"

namespace tenvik::test {
namespace {

const char kUserAgent[] = "Tenvik/9.0";

// Far beyond what any of these downloads needs: only the stall cases below
// come near their own, shorter limits.
std::string fetch(const std::wstring& url) { return downloadFile(url, 60000); }

std::string pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 13 + i / 256) & 0xFF);
  return bytes;
}

RouteSpec bodyRoute(const std::string& body) {
  RouteSpec route;
  route.body = body;
  return route;
}

bool logged(const std::string& via, const std::string& target, const std::string& method = "GET") {
  const std::vector<LoggedRequest> requests = loggedRequests();
  return std::any_of(requests.begin(), requests.end(), [&](const LoggedRequest& request) {
    return request.via == via && request.method == method && request.target == target;
  });
}

size_t countVia(const std::string& via) {
  const std::vector<LoggedRequest> requests = loggedRequests();
  return std::count_if(requests.begin(), requests.end(),
                       [&](const LoggedRequest& request) { return request.via == via; });
}

// Sets a variable for the child processes started in one scope.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const std::wstring& name, const std::wstring& value)
      : name_(name), old_(environmentVariable(name)), had_(GetEnvironmentVariableW(name.c_str(), nullptr, 0) != 0) {
    SetEnvironmentVariableW(name_.c_str(), value.c_str());
  }
  ~ScopedEnvironmentVariable() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::wstring name_;
  std::wstring old_;
  bool had_;
};

std::string lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

class Download : public testing::Test {
 protected:
  void SetUp() override {
    if (!httpServerAvailable()) GTEST_SKIP() << "this build downloads from no loopback server";
    resetHttpServer();
    restoreUserProxySettings();
  }
  void TearDown() override { restoreUserProxySettings(); }

  static std::wstring url(const std::string& target) { return downloadBaseUrl() + widen(target); }
  static std::wstring proxiedUrl(const std::string& target) {
    return L"http://" + proxyOnlyHost() + L":" + environmentVariable(L"TENVIK_HTTP_PORT") + widen(target);
  }
};

TEST_F(Download, ReturnsTheBodyByteForByte) {
  const size_t sizes[] = {1, 999, 1000, 1001, 65535, 65536, 65537, 300000};
  for (const size_t size : sizes) {
    setRoute("/file/" + std::to_string(size), bodyRoute(pattern(size)));
  }
  for (const size_t size : sizes) {
    SCOPED_TRACE(testing::Message() << size << " bytes");
    const std::string body = fetch(url("/file/" + std::to_string(size)));
    EXPECT_EQ(body.size(), size);
    EXPECT_TRUE(body == pattern(size));
  }
}

TEST_F(Download, AShownDownloadHandsOverItsCountsAndTheDeclaredLength) {
  const std::string body = pattern(300000);
  RouteSpec slow = bodyRoute(body);
  slow.chunk = 16384;
  slow.pauseMs = 20;
  setRoute("/counted", slow);
  RouteSpec noLength = slow;
  noLength.omitLength = true;
  setRoute("/counted-no-length", noLength);
  for (const bool declared : {true, false}) {
    SCOPED_TRACE(declared ? "declared" : "no length");
    RecordingProgress progress;
    EXPECT_TRUE(downloadFile(url(declared ? "/counted" : "/counted-no-length"), 60000, progress) == body);
    ASSERT_FALSE(progress.counts.empty());
    EXPECT_GT(progress.counts.size(), 1u);  // reported while it ran, not only at the end
    EXPECT_EQ(progress.counts.back(), std::make_pair(uint64_t{300000}, uint64_t{declared ? 300000u : 0u}));
    for (size_t i = 1; i < progress.counts.size(); ++i) {
      EXPECT_LE(progress.counts[i - 1].first, progress.counts[i].first);
    }
  }
}

TEST_F(Download, ACancelAbandonsTheDownloadAndTheNextOneStillWorks) {
  RouteSpec slow = bodyRoute(pattern(200000));
  slow.chunk = 1000;
  slow.pauseMs = 100;  // 20 s in all
  setRoute("/slow", slow);
  setRoute("/quick", bodyRoute("quick"));
  // The third wait comes a few tenths of a second in, long before the body
  // could have: an empty result is the abandoned download.
  RecordingProgress progress(3);
  EXPECT_EQ(downloadFile(url("/slow"), 60000, progress), "");
  EXPECT_EQ(progress.waits, 3);
  EXPECT_EQ(fetch(url("/quick")), "quick");
}

TEST_F(Download, KeepsThePathAndQueryAndSendsTheUserAgent) {
  setRoute("/dotnet/desktop?arch=x86", bodyRoute("installer"));
  EXPECT_EQ(fetch(url("/dotnet/desktop?arch=x86")), "installer");
  const std::vector<LoggedRequest> requests = loggedRequests();
  ASSERT_EQ(requests.size(), 1u);  // one GET, no retry
  EXPECT_EQ(requests[0].via, "server");
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/dotnet/desktop?arch=x86");
  EXPECT_EQ(requests[0].userAgent, kUserAgent);
}

TEST_F(Download, AnEmptyBodyIsAnEmptyResultWithoutAnErrorLine) {
  setRoute("/empty", bodyRoute(""));
  testing::internal::CaptureStdout();
  EXPECT_EQ(fetch(url("/empty")), "");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(logged("server", "/empty"));
}

struct ShapeCase {
  const char* name;
  RouteSpec route;
  std::string expected;
};

TEST_F(Download, ReadsTheBodyHoweverTheServerSendsIt) {
  const std::string body = pattern(5000);
  RouteSpec pieces = bodyRoute(body);
  pieces.chunk = 700;
  pieces.pauseMs = 40;
  RouteSpec noLength = bodyRoute(body);
  noLength.omitLength = true;
  RouteSpec slowNoLength = noLength;
  slowNoLength.chunk = 1500;
  slowNoLength.pauseMs = 40;
  RouteSpec surplus = bodyRoute(body);
  surplus.declaredLength = 1000;
  const ShapeCase cases[] = {
      {"in pieces with pauses", pieces, body},
      {"without Content-Length", noLength, body},
      {"without Content-Length, in pieces", slowNoLength, body},
      {"more than declared: the declared part", surplus, body.substr(0, 1000)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    resetHttpServer();
    setRoute("/shape", c.route);
    EXPECT_TRUE(fetch(url("/shape")) == c.expected);
  }
}

TEST_F(Download, FailsEmptyOnAnIncompleteOrUntrustworthyBody) {
  RouteSpec shortBody = bodyRoute(pattern(3000));
  shortBody.declaredLength = 5000;
  RouteSpec negative = bodyRoute("abc");
  negative.declaredLength = -1;
  RouteSpec absurd = bodyRoute("abc");
  absurd.declaredLength = 4294967296LL + 3;  // 3 once cut to 32 bits
  RouteSpec huge = bodyRoute("abc");
  huge.declaredLength = 2000000000LL;
  const ShapeCase cases[] = {
      {"declares more than it sends", shortBody, ""},
      {"a negative length", negative, ""},
      {"a length beyond 32 bits", absurd, ""},
      {"a length beyond any installer", huge, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    resetHttpServer();
    setRoute("/bad", c.route);
    testing::internal::CaptureStdout();
    EXPECT_EQ(fetch(url("/bad")).size(), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // a response came: no error line
    EXPECT_TRUE(logged("server", "/bad"));
  }
}

TEST_F(Download, AnErrorPageIsNoDownload) {
  const int statuses[] = {404, 403, 500, 503, 201};
  for (const int status : statuses) {
    SCOPED_TRACE(testing::Message() << "status " << status);
    resetHttpServer();
    RouteSpec route = bodyRoute(std::string(300, 'e'));
    route.status = status;
    setRoute("/page", route);
    EXPECT_EQ(fetch(url("/page")), "");
    EXPECT_TRUE(logged("server", "/page"));
  }
  // No route at all: the server's own 404 page.
  EXPECT_EQ(fetch(url("/nowhere")), "");
  EXPECT_TRUE(logged("server", "/nowhere"));
}

TEST_F(Download, FollowsRedirectsToTheFinalBody) {
  RouteSpec first;
  first.redirect = "/second";
  RouteSpec second;
  second.redirect = narrow(url("/final"));  // absolute this time
  setRoute("/first", first);
  setRoute("/second", second);
  setRoute("/final", bodyRoute(pattern(2500)));
  EXPECT_TRUE(fetch(url("/first")) == pattern(2500));
  EXPECT_TRUE(logged("server", "/first"));
  EXPECT_TRUE(logged("server", "/second"));
  EXPECT_TRUE(logged("server", "/final"));
}

TEST_F(Download, ARefusedConnectionWritesTheErrorLine) {
  // Port 1 on loopback: nothing listens there.
  testing::internal::CaptureStdout();
  EXPECT_EQ(fetch(L"http://127.0.0.1:1/dotnet?arch=x86"), "");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error 12029 has occurred.\n");  // cannot connect
}

TEST_F(Download, AnHttpsAddressIsRequestedOverTls) {
  // The plain server sees a TLS handshake, never a readable GET.
  testing::internal::CaptureStdout();
  EXPECT_EQ(fetch(url("/tls").replace(0, 4, L"https")), "");
  EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("Error ", 0), 0u);  // no response came
  EXPECT_TRUE(logged("server", "-", "TLS")) << "no TLS handshake arrived";
  EXPECT_FALSE(logged("server", "/tls"));
}

TEST_F(Download, OverTlsFromATrustedServerDirectlyAndThroughTheProxy) {
  trustTestCertificateAuthority();
  setRoute("/secure", bodyRoute(pattern(70000)));
  const std::wstring address = tlsBaseUrl() + L"/secure";
  EXPECT_TRUE(fetch(address) == pattern(70000));
  EXPECT_TRUE(logged("tls", "/secure"));

  resetHttpServer();
  setRoute("/secure", bodyRoute(pattern(70000)));
  UserProxySettings settings;
  settings.proxy = narrow(proxyAddress());  // no bypass list: "<local>" would pass localhost by
  ScopedUserProxySettings scoped(settings);
  EXPECT_TRUE(fetch(address) == pattern(70000));
  EXPECT_TRUE(logged("proxy", tlsAuthority(), "CONNECT"));
  // Inside the tunnel WinHTTP names the whole address.
  EXPECT_TRUE(logged("tls", narrow(address)));
}

TEST_F(Download, OverTlsAServerWithoutAGoodCertificateIsRefused) {
  trustTestCertificateAuthority();
  setRoute("/secure", bodyRoute(pattern(5000)));
  const std::pair<const char*, TlsServer> servers[] = {
      {"issued by a CA nobody trusts", TlsServer::untrusted},
      {"expired", TlsServer::expired},
      {"for another host name", TlsServer::wrongName},
  };
  for (const auto& [what, server] : servers) {
    SCOPED_TRACE(what);
    testing::internal::CaptureStdout();
    EXPECT_EQ(fetch(tlsBaseUrl(server) + L"/secure"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error 12157 has occurred.\n");  // the secure channel failed
  }
  EXPECT_FALSE(logged("tls", "/secure")) << "a request went over a channel that should have been refused";
}

TEST_F(Download, AStalledServerEndsTheDownloadWithinItsLimit) {
  const std::string body = pattern(200000);
  RouteSpec silent = bodyRoute(body);
  silent.hold = true;
  RouteSpec midBody = bodyRoute(body);
  midBody.stallAfter = 3000;
  RouteSpec drip = bodyRoute(body);
  drip.chunk = 16;
  drip.pauseMs = 100;
  setRoute("/silent", silent);
  setRoute("/mid-body", midBody);
  setRoute("/drip", drip);
  // Well below every WinHTTP time-out (30 s): only the whole limit can end these.
  const uint32_t limitMs = 3000;
  const std::pair<const char*, std::wstring> stalls[] = {
      {"accepts and never answers", url("/silent")},
      {"stops in the middle of the body", url("/mid-body")},
      {"drips the body", url("/drip")},
      // Under Wine neither a time-out nor closing a handle ends this one.
      {"never answers the TLS handshake", tlsBaseUrl(TlsServer::silent) + L"/silent"},
  };
  for (const auto& [what, address] : stalls) {
    SCOPED_TRACE(what);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(downloadFile(address, limitMs), "");
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed + 50, limitMs) << "ended before the limit: not a stall";
    EXPECT_LT(elapsed, limitMs + 10000) << "the limit did not hold";
  }
  // The next download, on a fresh download thread, is not held up.
  setRoute("/after", bodyRoute("after the stalls"));
  EXPECT_EQ(fetch(url("/after")), "after the stalls");
}

TEST_F(Download, GoesThroughTheUsersNamedProxy) {
  setRoute("/via-proxy", bodyRoute(pattern(4000)));
  UserProxySettings settings;
  settings.proxy = narrow(proxyAddress());
  settings.bypass = "<local>";
  ScopedUserProxySettings scoped(settings);
  // Only the proxy knows this host: the body can only come through it.
  EXPECT_TRUE(fetch(proxiedUrl("/via-proxy")) == pattern(4000));
  const std::vector<LoggedRequest> requests = loggedRequests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].via, "proxy");
  EXPECT_EQ(requests[0].target, narrow(proxiedUrl("/via-proxy")));
  EXPECT_EQ(requests[0].userAgent, kUserAgent);
}

TEST_F(Download, AutoDetectionWithAScriptAsksTheScript) {
  setRoute("/via-script", bodyRoute("chosen by the script"));
  setRoute("/proxy.pac", bodyRoute("function FindProxyForURL(url, host) { return \"PROXY " +
                                   narrow(proxyAddress()) + "\"; }\n"));
  UserProxySettings settings;
  settings.autoDetect = true;
  settings.scriptUrl = narrow(url("/proxy.pac"));
  ScopedUserProxySettings scoped(settings);
  EXPECT_EQ(fetch(proxiedUrl("/via-script")), "chosen by the script");
  EXPECT_TRUE(logged("server", "/proxy.pac"));
  EXPECT_TRUE(logged("proxy", narrow(proxiedUrl("/via-script"))));
}

TEST_F(Download, AutoDetectionThatFindsNothingGoesDirect) {
  setRoute("/direct", bodyRoute("direct"));
  UserProxySettings settings;
  settings.autoDetect = true;
  ScopedUserProxySettings scoped(settings);
  EXPECT_EQ(fetch(url("/direct")), "direct");
  EXPECT_EQ(countVia("proxy"), 0u);
}

TEST_F(Download, IgnoresAWinHttpPlantedBesideTheProgram) {
  setRoute("/planted", bodyRoute(pattern(3000)));
  const std::wstring folder = makeScratchDirectory(L"planting");
  const std::wstring probe = folder + L"\\download_probe.exe";
  const std::wstring planted = folder + L"\\winhttp.dll";
  ASSERT_TRUE(CopyFileW(buildPath(L"standins\\download_probe.exe").c_str(), probe.c_str(), FALSE));
  // Any module without WinHTTP's functions will do: loading it instead of the
  // real one fails the download. A copy of the probe is always at hand.
  ASSERT_TRUE(CopyFileW(probe.c_str(), planted.c_str(), FALSE));
  // Wine prefers its built-in winhttp unless told to look for files first,
  // as Windows does for a DLL that is not a KnownDLL.
  ScopedEnvironmentVariable nativeFirst(L"WINEDLLOVERRIDES", L"winhttp=n,b");

  // The plant works: the ordinary search order picks it up.
  const std::wstring loadedReport = folder + L"\\loaded.txt";
  const RunResult control = runProgram(probe, L"plain-load \"" + loadedReport + L"\"", 60000, folder);
  ASSERT_TRUE(control.started && !control.timedOut);
  ASSERT_EQ(control.exitCode, 0u);
  EXPECT_EQ(lowercase(readFileBytes(loadedReport)), lowercase(narrow(planted)));

  const std::wstring body = folder + L"\\body.bin";
  const RunResult run =
      runProgram(probe, L"download " + url("/planted") + L" \"" + body + L"\"", 60000, folder);
  ASSERT_TRUE(run.started && !run.timedOut);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(readFileBytes(body) == pattern(3000)) << "the planted winhttp.dll was used";
  EXPECT_TRUE(logged("server", "/planted"));
  deleteTree(folder);
}

}  // namespace
}  // namespace tenvik::test
