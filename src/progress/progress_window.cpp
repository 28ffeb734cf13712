#include "progress/progress_window.h"

#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "progress/progress_text.h"
#include "system/system_library.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

constexpr wchar_t kWindowClass[] = L"TenvikSetupProgress";
constexpr int kHeadingId = 100;
constexpr int kDetailId = 101;
constexpr int kBarId = 102;
constexpr int kBaseDpi = 96;
constexpr int kMarqueeStepMs = 30;
constexpr UINT_PTR kMovingBarTimer = 1;
constexpr int kMovingBarStep = 3;  // percent per kMarqueeStepMs

// Functions of newer Windows (10 and later), looked up so that the program
// still starts where they are missing (Windows 7, Wine).
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

template <typename Function>
Function user32Function(const char* name) {
  Function function = nullptr;
  if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) resolveFunction(user32, name, function);
  return function;
}

// The DPI everything was drawn for before per-monitor DPI: the screen's.
UINT systemDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

UINT dpiOf(HWND window) {
  static const auto getDpiForWindow = user32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  const UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
  return dpi != 0 ? dpi : systemDpi();
}

// The system's message font as it is for dpi; null when the system tells
// nothing, and the controls keep their own.
HFONT messageFontFor(UINT dpi) {
  static const auto forDpi = user32Function<SystemParametersInfoForDpiFunction>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (!forDpi || !forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                            static_cast<int>(systemDpi()));
  }
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

// The layout in pixels at 96 DPI; everything is scaled from it.
constexpr int kClientWidth = 420;
constexpr int kClientHeight = 128;
constexpr int kMargin = 12;
constexpr int kTextHeight = 20;
constexpr int kBarTop = 60;
constexpr int kBarHeight = 18;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kButtonTop = 90;

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// Tab moves between the controls only when the window says it holds some.
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

class ProgressWindow final : public RunProgress {
 public:
  ProgressWindow(UniqueModule commonControls, std::wstring caption)
      : commonControls_(std::move(commonControls)), caption_(std::move(caption)) {}
  ~ProgressWindow() override { hide(); }

  bool shows() const override { return true; }
  DWORD wait(HANDLE handle, DWORD ms) override;
  bool cancelled() const override { return cancelled_; }

  void showWaiting() override { show({ProgressStage::waiting, std::wstring(), 0, 0}); }
  void showDownloading(const std::wstring& subject) override {
    show({ProgressStage::downloading, subject, 0, 0});
  }
  void showDownloaded(uint64_t received, uint64_t total) override {
    if (state_.stage == ProgressStage::downloading) show({ProgressStage::downloading, state_.subject, received, total});
  }
  void beginUnpacking() override { unpackingSince_ = GetTickCount64(); }
  void showUnpacked(uint64_t done, uint64_t total) override {
    if (!window_ && !unpackingShows(GetTickCount64() - unpackingSince_)) return;
    show({ProgressStage::unpacking, std::wstring(), done, total});
  }
  void hide() override;

 private:
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void show(const ProgressState& state);
  bool create();
  HWND addControl(const wchar_t* className, const wchar_t* text, DWORD style, int id);
  void fitTo(UINT dpi, const RECT* suggested);
  void setMoving(bool moving);
  void stepMovingBar();
  void pumpMessages();
  void cancel();

  UniqueModule commonControls_;  // kept loaded while the window may exist
  std::wstring caption_;
  HWND window_ = nullptr;  // destroyed by hide(); its controls go with it
  HWND heading_ = nullptr;
  HWND detail_ = nullptr;
  HWND bar_ = nullptr;
  HWND button_ = nullptr;
  UniqueGdiObject font_;
  ProgressState state_;
  ProgressView shown_;  // what the controls hold, to leave unchanged text alone
  bool fresh_ = true;   // the controls hold nothing yet
  bool cancelled_ = false;
  bool barMovedByTimer_ = false;
  int movingPosition_ = 0;
  ULONGLONG unpackingSince_ = 0;
};

LRESULT CALLBACK ProgressWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && window == self->window_) {
    switch (message) {
      case WM_COMMAND:  // the button, Esc and Enter on it (IsDialogMessage)
        if (LOWORD(wParam) == IDCANCEL) {
          self->cancel();
          return 0;
        }
        break;
      case WM_CLOSE:  // the close box and Alt+F4: the window stays until the run takes it away
        self->cancel();
        return 0;
      case WM_TIMER:
        if (wParam == kMovingBarTimer) {
          self->stepMovingBar();
          return 0;
        }
        break;
      case WM_DPICHANGED:
        self->fitTo(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND ProgressWindow::addControl(const wchar_t* className, const wchar_t* text, DWORD style, int id) {
  return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

bool ProgressWindow::create() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  window_ = CreateWindowExW(kWindowExStyle, kWindowClass, caption_.c_str(), kWindowStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr, nullptr, instance, this);
  if (!window_) return false;
  constexpr DWORD kTextStyle = SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
  heading_ = addControl(L"Static", L"", kTextStyle, kHeadingId);
  detail_ = addControl(L"Static", L"", kTextStyle, kDetailId);
  bar_ = addControl(PROGRESS_CLASSW, nullptr, 0, kBarId);
  button_ = addControl(L"Button", L"Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL);
  if (!heading_ || !detail_ || !bar_ || !button_) {
    hide();
    return false;
  }
  SendMessageW(bar_, PBM_SETRANGE32, 0, 100);
  fresh_ = true;
  fitTo(dpiOf(window_), nullptr);
  // Shown as a newly started program's window is; never forced to the front
  // or flashed.
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  SetFocus(button_);
  return true;
}

void ProgressWindow::fitTo(UINT dpi, const RECT* suggested) {
  const auto scaled = [dpi](int pixels) { return MulDiv(pixels, static_cast<int>(dpi), kBaseDpi); };
  if (HFONT font = messageFontFor(dpi)) {
    for (HWND control : {heading_, detail_, button_}) {
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    font_.reset(font);  // the old one only now, when no control uses it any more
  }
  const int inner = scaled(kClientWidth - 2 * kMargin);
  MoveWindow(heading_, scaled(kMargin), scaled(kMargin), inner, scaled(kTextHeight), TRUE);
  MoveWindow(detail_, scaled(kMargin), scaled(kMargin + kTextHeight + 2), inner, scaled(kTextHeight), TRUE);
  MoveWindow(bar_, scaled(kMargin), scaled(kBarTop), inner, scaled(kBarHeight), TRUE);
  MoveWindow(button_, scaled(kClientWidth - kMargin - kButtonWidth), scaled(kButtonTop), scaled(kButtonWidth),
             scaled(kButtonHeight), TRUE);

  if (suggested) {
    SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  RECT frame = {0, 0, scaled(kClientWidth), scaled(kClientHeight)};
  static const auto adjustForDpi = user32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
  if (!adjustForDpi || !adjustForDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, dpi)) {
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
  }
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  RECT area = {0, 0, width, height};
  if (GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor)) area = monitor.rcWork;
  SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ProgressWindow::show(const ProgressState& state) {
  state_ = state;
  // After a cancel the run is only ending: nothing new to show.
  if (cancelled_) return;
  if (!window_ && !create()) return;
  const ProgressView view = progressView(state);
  if (fresh_ || view.heading != shown_.heading) SetWindowTextW(heading_, view.heading.c_str());
  if (fresh_ || view.detail != shown_.detail) SetWindowTextW(detail_, view.detail.c_str());
  if (fresh_ || view.marquee != shown_.marquee) {
    setMoving(view.marquee);
  }
  if (!view.marquee && (fresh_ || shown_.marquee || view.percent != shown_.percent)) {
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(view.percent), 0);
  }
  shown_ = view;
  fresh_ = false;
}

// A bar that moves without telling how far. The progress bar of the common
// controls in the system directory (version 5 on Windows) knows no marquee
// and answers its message with 0; the window then moves the bar itself, so
// that a wait of unknown length still shows the run is alive.
void ProgressWindow::setMoving(bool moving) {
  const LONG_PTR style = GetWindowLongPtrW(bar_, GWL_STYLE);
  const LONG_PTR marquee = PBS_MARQUEE;
  SetWindowLongPtrW(bar_, GWL_STYLE, moving ? style | marquee : style & ~marquee);
  const bool controlMoves = SendMessageW(bar_, PBM_SETMARQUEE, moving ? TRUE : FALSE, kMarqueeStepMs) != 0;
  const bool timerMoves = moving && !controlMoves;
  if (timerMoves == barMovedByTimer_) return;
  barMovedByTimer_ = timerMoves;
  if (timerMoves) {
    movingPosition_ = 0;
    SetTimer(window_, kMovingBarTimer, kMarqueeStepMs, nullptr);
  } else {
    KillTimer(window_, kMovingBarTimer);
  }
}

void ProgressWindow::stepMovingBar() {
  if (!barMovedByTimer_) return;
  movingPosition_ = (movingPosition_ + kMovingBarStep) % (100 + kMovingBarStep);
  SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(movingPosition_), 0);
}

void ProgressWindow::hide() {
  if (!window_) return;
  barMovedByTimer_ = false;  // the timer goes with the window
  const HWND window = std::exchange(window_, nullptr);
  heading_ = detail_ = bar_ = button_ = nullptr;
  DestroyWindow(window);
}

void ProgressWindow::cancel() {
  if (cancelled_) return;
  cancelled_ = true;
  // Pressed once is enough; the run ends within a moment.
  EnableWindow(button_, FALSE);
}

void ProgressWindow::pumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    // Keyboard navigation as in a dialog: Tab, Esc, Enter.
    if (window_ && IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

DWORD ProgressWindow::wait(HANDLE handle, DWORD ms) {
  const ULONGLONG start = GetTickCount64();
  const DWORD count = handle ? 1 : 0;
  for (;;) {
    if (cancelled_) return kWaitCancelled;
    DWORD left = INFINITE;
    if (ms != INFINITE) {
      const ULONGLONG elapsed = GetTickCount64() - start;
      left = elapsed >= ms ? 0 : static_cast<DWORD>(ms - elapsed);
    }
    const DWORD waited = MsgWaitForMultipleObjectsEx(count, handle ? &handle : nullptr, left, QS_ALLINPUT,
                                                     MWMO_INPUTAVAILABLE);
    if (waited == WAIT_OBJECT_0 + count) {
      pumpMessages();
      continue;
    }
    if (count == 1 && waited == WAIT_ABANDONED_0) return WAIT_ABANDONED;
    return waited;  // the handle, the time, or a failure
  }
}

}  // namespace

std::unique_ptr<RunProgress> makeProgressWindow(const std::wstring& product) {
  UniqueModule commonControls(loadSystemLibrary(L"comctl32.dll"));
  InitCommonControlsExFunction initCommonControls = nullptr;
  if (!commonControls || !resolveFunction(commonControls.get(), "InitCommonControlsEx", initCommonControls)) {
    return nullptr;
  }
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  if (!initCommonControls(&controls)) return nullptr;
  return std::make_unique<ProgressWindow>(std::move(commonControls), progressCaption(product));
}

}  // namespace tenvik
