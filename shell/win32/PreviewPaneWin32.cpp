#include "shell/win32/PreviewPaneWin32.h"

#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <functional>

#include "shell/preview.h"

namespace plm::win32 {
namespace {

constexpr UINT kDelivered = WM_APP + 1;  // wParam: generation; lParam: the result, owned
constexpr int kCurrentId = 1, kWrittenId = 2, kCountId = 3;
constexpr int kBarHeight = 24;
const wchar_t kPaneClass[] = L"PallimoPreviewPane";
const wchar_t kCanvasClass[] = L"PallimoPreviewCanvas";

void RegisterClasses() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  WNDCLASSEXW pane{};
  pane.cbSize = sizeof pane;
  pane.lpfnWndProc = DefWindowProcW;
  pane.hInstance = GetModuleHandleW(nullptr);
  pane.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  pane.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  pane.lpszClassName = kPaneClass;
  RegisterClassExW(&pane);
  WNDCLASSEXW canvas = pane;
  canvas.style = CS_DBLCLKS;
  canvas.hbrBackground = nullptr;
  canvas.lpszClassName = kCanvasClass;
  RegisterClassExW(&canvas);
}

}  // namespace

PreviewPaneWin32::PreviewPaneWin32() : cached_(std::make_unique<PreviewDocument>()) { loader_.emplace(1); }

PreviewPaneWin32::~PreviewPaneWin32() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    pending_.reset();
  }
  loader_.reset();  // waits for a load under way, which then delivers nothing
}

void PreviewPaneWin32::Create(HWND parent, int id) {
  RegisterClasses();
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  pane_ = CreateWindowExW(WS_EX_CONTROLPARENT, kPaneClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 10, 10,
                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  SetWindowLongPtrW(pane_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(pane_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PaneProc));
  count_ = CreateWindowExW(0, L"STATIC", L"",
                           WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS | SS_CENTERIMAGE, 0, 0, 10,
                           10, pane_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCountId)), instance, nullptr);
  current_ = CreateWindowExW(0, L"BUTTON", L"現在の図面",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON | BS_PUSHLIKE, 0, 0, 10,
                             10, pane_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCurrentId)), instance, nullptr);
  writtenButton_ =
      CreateWindowExW(0, L"BUTTON", L"変換後", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | BS_PUSHLIKE, 0, 0, 10, 10,
                      pane_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kWrittenId)), instance, nullptr);
  SendMessageW(current_, BM_SETCHECK, BST_CHECKED, 0);
  EnableWindow(current_, FALSE);
  EnableWindow(writtenButton_, FALSE);
  canvas_ = CreateWindowExW(WS_EX_CLIENTEDGE, kCanvasClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, pane_, nullptr,
                            instance, nullptr);
  SetWindowLongPtrW(canvas_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(canvas_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CanvasProc));
  ShowReason(previewtexts::kNoSelection);
}

void PreviewPaneWin32::SetFont(HFONT font) {
  font_ = font;
  SetFontOnAll(pane_, font);
  Layout();
}

void PreviewPaneWin32::Layout() {
  RECT r;
  GetClientRect(pane_, &r);
  const Dpi dpi = DpiOf(pane_);
  const int bar = dpi(kBarHeight), currentW = dpi(84), writtenW = dpi(64), gap = dpi(2);
  MoveWindow(writtenButton_, r.right - gap - writtenW, gap, writtenW, bar - 2 * gap, TRUE);
  MoveWindow(current_, r.right - 2 * gap - writtenW - currentW, gap, currentW, bar - 2 * gap, TRUE);
  MoveWindow(count_, dpi(4), 0, std::max(0, static_cast<int>(r.right) - currentW - writtenW - dpi(12)), bar, TRUE);
  MoveWindow(canvas_, 0, bar, r.right, std::max(0, static_cast<int>(r.bottom) - bar), TRUE);
}

LRESULT CALLBACK PreviewPaneWin32::PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<PreviewPaneWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->OnPane(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK PreviewPaneWin32::CanvasProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<PreviewPaneWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->OnCanvas(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT PreviewPaneWin32::OnPane(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && (LOWORD(wParam) == kCurrentId || LOWORD(wParam) == kWrittenId))
        SetShowWritten(LOWORD(wParam) == kWrittenId);
      return 0;
    case kDelivered: {
      std::shared_ptr<const PreviewResult> result(reinterpret_cast<const PreviewResult*>(lParam));
      Deliver(static_cast<uint64_t>(wParam), std::move(result));
      return 0;
    }
    default:
      return DefWindowProcW(pane_, message, wParam, lParam);
  }
}

LRESULT PreviewPaneWin32::OnCanvas(UINT message, WPARAM wParam, LPARAM lParam) {
  const bool ok = result_ && result_->Ok;
  RECT r;
  GetClientRect(canvas_, &r);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(canvas_, &ps);
      PaintCanvas(dc, r);
      EndPaint(canvas_, &ps);
      return 0;
    }
    case WM_SIZE:
      if (fitted_) Fit();
      InvalidateRect(canvas_, nullptr, FALSE);
      return 0;
    case WM_MOUSEWHEEL: {
      if (!ok) return 0;
      POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(canvas_, &at);
      const double steps = GET_WHEEL_DELTA_WPARAM(wParam) / static_cast<double>(WHEEL_DELTA);
      if (const auto zoomed = ZoomedView(view_, fitScale_, steps,
                                         {static_cast<double>(at.x), static_cast<double>(at.y)}, r.right, r.bottom)) {
        view_ = *zoomed;
        fitted_ = false;
        InvalidateRect(canvas_, nullptr, FALSE);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
      SetFocus(canvas_);  // the wheel goes to the window with the focus
      dragging_ = true;
      dragFrom_ = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      SetCapture(canvas_);
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_) {
        const POINT now{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        view_ = PannedView(view_, {static_cast<double>(now.x - dragFrom_.x), static_cast<double>(now.y - dragFrom_.y)});
        dragFrom_ = now;
        fitted_ = false;
        InvalidateRect(canvas_, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_CAPTURECHANGED:
      dragging_ = false;
      if (GetCapture() == canvas_) ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK:  // fits the drawing to the pane again
      Fit();
      InvalidateRect(canvas_, nullptr, FALSE);
      return 0;
    default:
      return DefWindowProcW(canvas_, message, wParam, lParam);
  }
}

void PreviewPaneWin32::PaintCanvas(HDC dc, const RECT& area) {
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (result_ && result_->Ok) return;
  RECT text = area;
  InflateRect(&text, -DpiOf(canvas_)(8), -DpiOf(canvas_)(8));
  const HGDIOBJ old = SelectObject(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  SetTextColor(dc, RGB(90, 90, 90));
  SetBkMode(dc, TRANSPARENT);
  const std::wstring reason = Wide(reason_);
  RECT measure = text;
  DrawTextW(dc, reason.c_str(), -1, &measure, DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | DT_CALCRECT);
  text.top += std::max<LONG>(0, (text.bottom - text.top - (measure.bottom - measure.top)) / 2);
  DrawTextW(dc, reason.c_str(), -1, &text, DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
  SelectObject(dc, old);
}

void PreviewPaneWin32::Fit() {
  RECT r;
  GetClientRect(canvas_, &r);
  fitted_ = true;
  view_ = result_ && result_->Ok ? FitView(result_->Bounds, r.right, r.bottom) : PreviewView{};
  fitScale_ = view_.Scale;
}

void PreviewPaneWin32::ShowFile(const std::string& path) {
  if (path == path_) return;
  path_ = path;
  Show(nullptr, previewtexts::kLoading);
  Request(true);
}

void PreviewPaneWin32::ShowReason(const std::string& reason) {
  path_.clear();
  const uint64_t generation = ++latest_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.reset();
  }
  delivered_ = generation;
  Show(nullptr, reason);
}

void PreviewPaneWin32::SetOptions(const ConversionSwitches& options) {
  if (options == options_) return;
  options_ = options;
  if (!path_.empty()) Request(false);
}

void PreviewPaneWin32::Request(bool reload) {
  Job job;
  job.Generation = ++latest_;
  job.Path = path_;
  job.Options = options_;
  job.Reload = reload;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // A request that has not started yet is replaced, but a read it asked for stays.
    if (pending_ && pending_->Reload && pending_->Path == job.Path) job.Reload = true;
    pending_ = std::move(job);
  }
  loader_->Submit([this](int) { LoadPending(); });
}

void PreviewPaneWin32::LoadPending() {
  Job job;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || !pending_) return;  // taken by an earlier load
    job = std::move(*pending_);
    pending_.reset();
  }
  PreviewDocument& cached = *cached_;
  const uint64_t generation = job.Generation;
  const std::function<bool()> obsolete = [this, generation] { return stopping_ || latest_ != generation; };
  auto result = std::make_unique<PreviewResult>();
  // Nothing may escape a load: an error shows as the reason instead of ending the program.
  try {
    bool ready = !job.Reload && cached.Path == job.Path && cached.Drawing;
    if (!ready) {
      cached = PreviewDocument{};
      ready = LoadPreviewDocument(job.Path, cached, result->Reason);
      if (!ready) cached = PreviewDocument{};
    }
    if (obsolete()) return;
    if (ready) *result = BuildPreview(cached, job.Options, obsolete);
  } catch (const std::exception& e) {
    cached = PreviewDocument{};
    *result = PreviewResult{};
    result->Reason = std::string(previewtexts::kCannotRead) + e.what();
  }
  if (obsolete()) return;
  if (PostMessageW(pane_, kDelivered, static_cast<WPARAM>(generation), reinterpret_cast<LPARAM>(result.get())))
    result.release();  // the pane owns it now
}

void PreviewPaneWin32::Deliver(uint64_t generation, std::shared_ptr<const PreviewResult> result) {
  if (generation != latest_) return;  // a newer request is on its way
  delivered_ = generation;
  const std::string reason = result->Ok ? std::string() : result->Reason;
  Show(std::move(result), reason);
}

void PreviewPaneWin32::Show(std::shared_ptr<const PreviewResult> result, const std::string& reason) {
  const bool ok = result && result->Ok;
  // Marked again for new switches: the view stays where the user put it.
  const bool keepView = ok && result_ && result_->Ok && !path_.empty() && shownPath_ == path_;
  shownPath_ = ok ? path_ : std::string();
  SetWindowTextUtf8(count_, ok ? result->Summary : std::string());
  EnableWindow(current_, ok);
  EnableWindow(writtenButton_, ok);
  result_ = ok ? std::move(result) : nullptr;
  reason_ = reason;
  if (!keepView || fitted_) Fit();
  InvalidateRect(canvas_, nullptr, FALSE);
}

std::string PreviewPaneWin32::CountText() const { return WindowText(count_); }

void PreviewPaneWin32::SetShowWritten(bool written) {
  written_ = written;
  SendMessageW(current_, BM_SETCHECK, written ? BST_UNCHECKED : BST_CHECKED, 0);
  SendMessageW(writtenButton_, BM_SETCHECK, written ? BST_CHECKED : BST_UNCHECKED, 0);
  InvalidateRect(canvas_, nullptr, FALSE);
}

}  // namespace plm::win32
