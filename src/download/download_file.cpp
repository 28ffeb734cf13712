#include "download/download_file.h"

#include <cstdio>

#include "download/body_reader.h"
#include "download/content_length.h"
#include "download/response_status.h"
#include "download/url_parts.h"
#include "download/winhttp_library.h"
#include "download/winhttp_session.h"

namespace tenvik {
namespace {

// 50 UTF-16 units: far more than any length we accept needs.
constexpr DWORD kLengthTextBytes = 100;

ExpectedLength queryExpectedLength(const WinHttpLibrary& library, HINTERNET request) {
  wchar_t text[kLengthTextBytes / sizeof(wchar_t)] = {};
  DWORD size = kLengthTextBytes;
  DWORD index = 0;
  if (library.queryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                           &index)) {
    return judgeContentLength(LengthHeader::present, std::wstring_view(text, size / sizeof(wchar_t)));
  }
  const bool absent = GetLastError() == ERROR_WINHTTP_HEADER_NOT_FOUND;
  return judgeContentLength(absent ? LengthHeader::absent : LengthHeader::unreadable, std::wstring_view());
}

bool hasDownloadStatus(const WinHttpLibrary& library, HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  const bool known = library.queryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                                          WINHTTP_NO_HEADER_INDEX) != FALSE;
  return isDownloadStatus(known, status);
}

std::string download(const WinHttpLibrary& library, const std::wstring& url, const UrlParts& parts) {
  const UniqueInternetHandle session = openSession(library, url);
  if (!session) return std::string();
  const UniqueInternetHandle connection(library, library.connect(session.get(), parts.host.c_str(), parts.port, 0));
  if (!connection) return std::string();
  const UniqueInternetHandle request(
      library, library.openRequest(connection.get(), L"GET", parts.objectName.c_str(), nullptr,
                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                   parts.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return std::string();

  // The line names the step that failed: a receive after a failed send only
  // ever reports the handle's state (12019), not why nothing came back.
  const bool responded =
      library.sendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
      library.receiveResponse(request.get(), nullptr);
  if (!responded) {
    const DWORD error = GetLastError();
    std::printf("Error %d has occurred.\n", static_cast<int>(error));
    std::fflush(stdout);
    return std::string();
  }
  if (!hasDownloadStatus(library, request.get())) return std::string();

  const ExpectedLength length = queryExpectedLength(library, request.get());
  const auto readPiece = [&](char* destination, size_t capacity) {
    DWORD got = 0;
    PieceRead piece;
    piece.ok = library.readData(request.get(), destination, static_cast<DWORD>(capacity), &got) != FALSE;
    piece.bytes = got;
    return piece;
  };
  std::optional<std::string> body = readBody(length, readPiece);
  return body ? std::move(*body) : std::string();
}

}  // namespace

std::string downloadFile(const std::wstring& url) {
  const std::optional<UrlParts> parts = splitUrl(url);
  if (!parts) return std::string();
  WinHttpLibrary library;
  if (!loadWinHttp(library)) return std::string();
  return download(library, url, *parts);
}

}  // namespace tenvik
