#include "support/http_fixture.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <stdexcept>

#include "support/wine_support.h"
#include "system/unique_handle.h"

namespace tenvik::test {
namespace {

const wchar_t kConnectionsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
const wchar_t kConnectionsValue[] = L"DefaultConnectionSettings";

// Routes set by this process since the last reset; routes.json is always
// rewritten whole from them, so the server never sees a half-merged file.
std::map<std::string, RouteSpec>& routes() {
  static std::map<std::string, RouteSpec> table;
  return table;
}

struct CertStoreTraits {
  using Handle = HCERTSTORE;
  static Handle empty() { return nullptr; }
  static void close(Handle h) { CertCloseStore(h, 0); }
};
using UniqueCertStore = UniqueHandle<CertStoreTraits>;

unsigned& bodyCounter() {
  static unsigned counter = 0;
  return counter;
}

std::wstring stateFile(const std::wstring& name) {
  const std::wstring state = environmentVariable(L"TENVIK_HTTP_STATE");
  if (state.empty()) throw std::runtime_error("TENVIK_HTTP_STATE is not set");
  return windowsPathOf(narrow(state)) + L"\\" + name;
}

std::wstring portVariable(const wchar_t* name) {
  const std::wstring port = environmentVariable(name);
  return port.empty() ? L"0" : port;
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      wsprintfA(escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// Written beside the target and moved over it, so a request that arrives
// meanwhile reads either the old file or the new one.
void replaceStateFile(const std::wstring& name, const std::string& bytes) {
  const std::wstring path = stateFile(name);
  const std::wstring temporary = path + L".tmp";
  writeFileBytes(temporary, bytes);
  if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    throw std::runtime_error("cannot replace " + narrow(path));
  }
}

std::string routesJson() {
  std::ostringstream json;
  json << "{";
  bool first = true;
  for (const auto& [target, route] : routes()) {
    const std::string bodyName = "body-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(++bodyCounter()) + ".bin";
    writeFileBytes(stateFile(widen(bodyName)), route.body);
    json << (first ? "\n" : ",\n") << "  " << jsonString(target) << ": {\"status\": " << route.status
         << ", \"body_file\": " << jsonString(bodyName);
    if (route.declaredLength) json << ", \"declared_length\": " << *route.declaredLength;
    if (route.omitLength) json << ", \"omit_length\": true";
    if (route.chunk > 0) json << ", \"chunk\": " << route.chunk << ", \"pause_ms\": " << route.pauseMs;
    if (!route.redirect.empty()) json << ", \"redirect\": " << jsonString(route.redirect);
    if (route.hold) json << ", \"hold\": true";
    if (route.stallAfter >= 0) json << ", \"stall_after\": " << route.stallAfter;
    json << "}";
    first = false;
  }
  json << "\n}\n";
  return json.str();
}

void deleteBodyFiles() {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(stateFile(L"body-*.bin").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    DeleteFileW(stateFile(data.cFileName).c_str());
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

void appendWord(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void appendText(std::vector<uint8_t>& out, const std::string& text) {
  appendWord(out, static_cast<uint32_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

bool httpServerAvailable() {
  return portVariable(L"TENVIK_HTTP_PORT") != L"0" && !environmentVariable(L"TENVIK_HTTP_STATE").empty();
}

std::wstring downloadBaseUrl() { return L"http://127.0.0.1:" + portVariable(L"TENVIK_HTTP_PORT"); }

std::wstring proxyAddress() { return L"127.0.0.1:" + portVariable(L"TENVIK_PROXY_PORT"); }

std::wstring proxyOnlyHost() { return L"tenvik-download.test"; }

std::wstring tlsBaseUrl(TlsServer server) {
  const long port = std::stol(portVariable(L"TENVIK_TLS_PORT")) + static_cast<long>(server);
  return L"https://localhost:" + std::to_wstring(port);
}

std::string tlsAuthority() { return "localhost:" + narrow(portVariable(L"TENVIK_TLS_PORT")); }

namespace {

UniqueCertStore openRootStore() {
  UniqueCertStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
  if (!store) throw std::runtime_error("cannot open the LocalMachine Root store");
  return store;
}

std::string testCertificateAuthority() {
  const std::string der = readFileBytes(stateFile(L"tls\\ca.der"));
  if (der.empty()) throw std::runtime_error("the TLS servers' CA is missing");
  return der;
}

}  // namespace

void trustTestCertificateAuthority() {
  const UniqueCertStore store = openRootStore();
  const std::string der = testCertificateAuthority();
  if (!CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
    throw std::runtime_error("cannot add the test CA to the Root store");
  }
}

void setTlsServerMode(TlsServer server) {
  const char* const names[] = {"", "untrusted", "expired", "wrong-name", "silent"};
  replaceStateFile(L"tls-mode", std::string(names[static_cast<int>(server)]) + "\n");
}

void resetHttpServer() {
  routes().clear();
  replaceStateFile(L"routes.json", "{}\n");
  replaceStateFile(L"tls-mode", "\n");
  writeFileBytes(stateFile(L"requests.log"), std::string());
  deleteBodyFiles();
}

void setRoute(const std::string& target, const RouteSpec& route) {
  routes()[target] = route;
  deleteBodyFiles();
  replaceStateFile(L"routes.json", routesJson());
}

std::vector<std::string> requestLog() {
  std::vector<std::string> lines;
  std::istringstream log(readFileBytes(stateFile(L"requests.log")));
  for (std::string line; std::getline(log, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::vector<LoggedRequest> loggedRequests() {
  std::vector<LoggedRequest> requests;
  for (const std::string& line : requestLog()) {
    LoggedRequest request;
    std::istringstream fields(line);
    fields >> request.via >> request.method >> request.target;
    std::getline(fields >> std::ws, request.userAgent);
    requests.push_back(request);
  }
  return requests;
}

void setUserProxySettings(const UserProxySettings& settings) {
  // Flag bits of the stored record: 1 direct, 2 proxy, 4 script, 8 auto-detect.
  uint32_t flags = 1;
  if (!settings.proxy.empty()) flags |= 2;
  if (!settings.scriptUrl.empty()) flags |= 4;
  if (settings.autoDetect) flags |= 8;
  static uint32_t counter = 0x100;
  std::vector<uint8_t> record;
  appendWord(record, 0x46);
  appendWord(record, ++counter);
  appendWord(record, flags);
  appendText(record, settings.proxy);
  appendText(record, settings.bypass);
  appendText(record, settings.scriptUrl);
  record.insert(record.end(), 32, 0);
  setRegistryValue(HKEY_CURRENT_USER, kConnectionsKey, kConnectionsValue, REG_BINARY, record);
}

void restoreUserProxySettings() {
  UniqueRegistryKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kConnectionsKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
  RegDeleteValueW(key.get(), kConnectionsValue);
}

}  // namespace tenvik::test
