#include "download/url_parts.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

struct SplitCase {
  const wchar_t* url;
  bool secure;
  const wchar_t* host;
  uint16_t port;
  const wchar_t* objectName;
};

TEST(SplitUrl, TakesSchemeHostPortAndObjectName) {
  const SplitCase cases[] = {
      // The four installer addresses: TLS on the https port.
      {L"https://download.tenvik.com/dotnet/desktop?arch=amd64", true, L"download.tenvik.com", 443,
       L"/dotnet/desktop?arch=amd64"},
      {L"https://download.tenvik.com/dotnet?arch=amd64", true, L"download.tenvik.com", 443, L"/dotnet?arch=amd64"},
      {L"https://download.tenvik.com/dotnet/desktop?arch=x86", true, L"download.tenvik.com", 443,
       L"/dotnet/desktop?arch=x86"},
      {L"https://download.tenvik.com/dotnet?arch=x86", true, L"download.tenvik.com", 443, L"/dotnet?arch=x86"},
      {L"HTTPS://Download.Tenvik.com/x", true, L"Download.Tenvik.com", 443, L"/x"},
      {L"http://127.0.0.1/dotnet?arch=x86", false, L"127.0.0.1", 80, L"/dotnet?arch=x86"},
      // A named port wins over the scheme's.
      {L"http://127.0.0.1:18280/dotnet?arch=x86", false, L"127.0.0.1", 18280, L"/dotnet?arch=x86"},
      {L"https://host:8443/a", true, L"host", 8443, L"/a"},
      {L"http://host:65535/a", false, L"host", 65535, L"/a"},
      {L"http://host:0080/a", false, L"host", 80, L"/a"},
      {L"http://host:0/a", false, L"host", 0, L"/a"},
      // No port text: port 0, the scheme's default as far as WinHTTP is concerned.
      {L"http://host:/a", false, L"host", 0, L"/a"},
      {L"https://host:/a", true, L"host", 0, L"/a"},
      // A colon in the path or query is no port.
      {L"http://host/a:b?c=d:e", false, L"host", 80, L"/a:b?c=d:e"},
      {L"http://host/", false, L"host", 80, L"/"},
      // The scheme in any letter case.
      {L"HTTP://host/a", false, L"host", 80, L"/a"},
      {L"Http://host:8080/a", false, L"host", 8080, L"/a"},
      {L"hTtPs://host/a", true, L"host", 443, L"/a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "url: " << c.url);
    const std::optional<UrlParts> parts = splitUrl(c.url);
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(parts->secure, c.secure);
    EXPECT_EQ(parts->host, c.host);
    EXPECT_EQ(parts->port, c.port);
    EXPECT_EQ(parts->objectName, c.objectName);
  }
}

TEST(SplitUrl, RefusesWhatItCannotSplit) {
  const wchar_t* const cases[] = {
      L"",
      L"download.tenvik.com/dotnet",  // no "//"
      L"https://download.tenvik.com",  // no path
      L"https:///dotnet",              // no host
      L"http://:80/a",                 // no host before the port
      L"http://host:-1/a",             // would become port 65535
      L"http://host:65536/a",          // would become port 0
      L"http://host:99999999999999999999999/a",
      // No scheme, or one that is not letters followed by "://".
      L"//host/a",
      L"//p:-/",
      L"://host/a",
      L"http:/host/a",
      L"http//host/a",
      L"h2://host/a",
      L"git+ssh://host/a",
      L" http://host/a",
      // A port text that is not digits alone.
      L"http://host: 81/a",
      L"http://host:+82/a",
      L"http://host:83x/a",
      L"http://host:x/a",
      L"http://host:-/a",
      L"http://host:8 0/a",
      L"http://host:80:81/a",
      // A scheme other than http and https: a typo must not mean plain HTTP.
      L"httpsx://host/a",
      L"ftp://host/a",
      L"htps://host/a",
      L"htp://host/a",
      L"httpx://host/a",
      L"http s://host/a",
      L"file://host/a",
      L"http://host:\x0661/a",  // a digit, but not an ASCII one
  };
  for (const wchar_t* url : cases) {
    EXPECT_FALSE(splitUrl(url).has_value()) << "url: " << url;
  }
}

}  // namespace
}  // namespace tenvik
