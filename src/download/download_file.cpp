#include "download/download_file.h"

#include <process.h>

#include <atomic>
#include <cstdio>
#include <memory>

#include "download/body_reader.h"
#include "download/content_length.h"
#include "download/download_deadline.h"
#include "download/response_status.h"
#include "download/url_parts.h"
#include "download/winhttp_library.h"
#include "download/winhttp_session.h"
#include "system/run_progress.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

// 50 UTF-16 units: far more than any length we accept needs.
constexpr DWORD kLengthTextBytes = 100;

// What the caller and the download thread share. The thread holds its own
// reference while it works, so an abandoned download still finds everything
// it touches.
struct DownloadJob {
  std::wstring url;
  uint32_t limitMs = 0;
  uint64_t startMs = 0;
  std::atomic<bool> abandoned{false};
  ProgressCounts counts;  // the bytes received of the declared length
  std::string body;  // written by the thread, read by the caller only after the thread ended
};

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

bool outOfTime(const DownloadJob& job) {
  return job.abandoned.load() || deadlinePassed(job.startMs, GetTickCount64(), job.limitMs);
}

std::string download(const WinHttpLibrary& library, DownloadJob& job, const UrlParts& parts) {
  const UniqueInternetHandle session = openSession(library, job.url);
  if (!session) return std::string();
  const SessionTimeouts timeouts = sessionTimeouts(job.limitMs);
  library.setTimeouts(session.get(), static_cast<int>(timeouts.resolveMs), static_cast<int>(timeouts.connectMs),
                      static_cast<int>(timeouts.sendMs), static_cast<int>(timeouts.receiveMs));
  // The wait for the response head has a time-out of its own, which the
  // receive time-out does not set (Wine leaves it without end).
  DWORD responseMs = timeouts.receiveMs;
  library.setOption(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs, sizeof(responseMs));
  const UniqueInternetHandle connection(library, library.connect(session.get(), parts.host.c_str(), parts.port, 0));
  if (!connection) return std::string();
  const UniqueInternetHandle request(
      library, library.openRequest(connection.get(), L"GET", parts.objectName.c_str(), nullptr,
                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                   parts.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return std::string();
  // Redirects are followed (the vendor's permanent addresses answer with
  // one), never from https to plain http: said explicitly rather than left to
  // the platform's default. A refused redirect fails the receive (12156).
  // Wine holds to it too; it cannot tell the final address
  // (WINHTTP_OPTION_URL fails there), so no check of our own could see more.
  DWORD redirectPolicy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
  library.setOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirectPolicy, sizeof(redirectPolicy));

  // The line names the step that failed: a receive after a failed send only
  // ever reports the handle's state (12019), not why nothing came back.
  const bool responded =
      library.sendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
      library.receiveResponse(request.get(), nullptr);
  if (!responded) {
    const DWORD error = GetLastError();
    if (!job.abandoned.load()) {
      std::printf("Error %d has occurred.\n", static_cast<int>(error));
      std::fflush(stdout);
    }
    return std::string();
  }
  if (!hasDownloadStatus(library, request.get())) return std::string();

  const ExpectedLength length = queryExpectedLength(library, request.get());
  if (length.kind == ExpectedLength::declared) job.counts.setTotal(length.bytes);
  const auto readPiece = [&](char* destination, size_t capacity) {
    PieceRead piece;
    // A body that arrives, however slowly, never trips a receive time-out:
    // only the whole download's limit ends it.
    if (outOfTime(job)) return piece;
    DWORD got = 0;
    piece.ok = library.readData(request.get(), destination, static_cast<DWORD>(capacity), &got) != FALSE;
    piece.bytes = got;
    if (piece.ok) job.counts.add(got);
    return piece;
  };
  std::optional<std::string> body = readBody(length, readPiece);
  return body ? std::move(*body) : std::string();
}

void runJob(DownloadJob& job) {
  try {
    const std::optional<UrlParts> parts = splitUrl(job.url);
    WinHttpLibrary library;
    if (parts && loadWinHttp(library)) {
      std::string body = download(library, job, *parts);
      // A body completed after the caller gave up is no download either.
      if (!outOfTime(job)) job.body = std::move(body);
    }
  } catch (...) {
    job.body.clear();  // memory ran out on the way: a failed download
  }
}

// The thread that carries the downloads, one at a time. It is kept for the
// next download rather than ended after each: under Wine, every thread that
// has opened a socket leaves one handle behind when it ends. A lane whose
// download was abandoned is retired, and its thread ends whenever WinHTTP
// lets it go; the next download gets a new lane.
struct Lane {
  UniqueKernelHandle wake;      // auto-reset: a job is pending
  UniqueKernelHandle finished;  // auto-reset: the job handed over last is done
  std::shared_ptr<DownloadJob> pending;  // written before wake, taken after it
  std::atomic<bool> retired{false};
};

unsigned __stdcall runLane(void* parameter) {
  // Ours to free: the reference the starting thread handed over.
  const std::unique_ptr<std::shared_ptr<Lane>> reference(static_cast<std::shared_ptr<Lane>*>(parameter));
  Lane& lane = **reference;
  while (!lane.retired.load()) {
    if (WaitForSingleObject(lane.wake.get(), INFINITE) != WAIT_OBJECT_0) break;
    std::shared_ptr<DownloadJob> job = std::move(lane.pending);
    if (job) runJob(*job);
    // Let go of the job first, so the caller alone decides when it is freed.
    job.reset();
    SetEvent(lane.finished.get());
  }
  return 0;
}

std::shared_ptr<Lane> startLane() {
  auto lane = std::make_shared<Lane>();
  lane->wake.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  lane->finished.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!lane->wake || !lane->finished) return nullptr;
  auto* reference = new std::shared_ptr<Lane>(lane);
  // _beginthreadex rather than CreateThread: the thread uses the C runtime.
  const uintptr_t thread = _beginthreadex(nullptr, 0, runLane, reference, 0, nullptr);
  if (thread == 0) {
    delete reference;
    return nullptr;
  }
  CloseHandle(reinterpret_cast<HANDLE>(thread));  // the events tell all we need
  return lane;
}

// The lane of this process's downloads; downloadFile is only ever called
// from one thread at a time.
std::shared_ptr<Lane>& currentLane() {
  static std::shared_ptr<Lane> lane;
  return lane;
}

}  // namespace

std::string downloadFile(const std::wstring& url, uint32_t limitMs) {
  RunProgress quiet;
  return downloadFile(url, limitMs, quiet);
}

std::string downloadFile(const std::wstring& url, uint32_t limitMs, RunProgress& progress) {
  std::shared_ptr<DownloadJob> job;
  try {
    job = std::make_shared<DownloadJob>();
    job->url = url;
    job->limitMs = limitMs;
    job->startMs = GetTickCount64();
    if (!currentLane()) currentLane() = startLane();
  } catch (...) {
    return std::string();
  }
  const std::shared_ptr<Lane> lane = currentLane();
  if (!lane) return std::string();
  lane->pending = job;
  SetEvent(lane->wake.get());
  // Unseen, one wait for the whole limit; shown, slices of it, with the
  // counts brought to the window after each.
  const DWORD slice = progress.shows() ? kProgressSliceMs : limitMs;
  DWORD waited = WAIT_TIMEOUT;
  while (waited == WAIT_TIMEOUT) {
    const uint64_t elapsed = GetTickCount64() - job->startMs;
    if (elapsed >= limitMs) break;
    const uint64_t left = limitMs - elapsed;
    waited = progress.wait(lane->finished.get(), left < slice ? static_cast<DWORD>(left) : slice);
    uint64_t received = 0;
    uint64_t total = 0;
    job->counts.read(received, total);
    progress.showDownloaded(received, total);
  }
  if (waited != WAIT_OBJECT_0) {
    // Out of time, or cancelled: the thread finishes on its own, unheard.
    job->abandoned.store(true);
    lane->retired.store(true);
    currentLane().reset();
    return std::string();
  }
  return std::move(job->body);
}

}  // namespace tenvik
