#pragma once
// The preview pane under the file list: a bar with the count line and the two views
// "現在の図面" and "変換後", and the canvas that shows the one selected drawing, fitted,
// zoomed with the wheel around the pointer, dragged, fitted again by a double click.
// Files load on a worker thread into documents of the pane's own; a newer request makes
// every older one obsolete, and an obsolete result is dropped.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "jww/spacingrule.h"
#include "platform/workerpool.h"
#include "render/viewport.h"
#include "shell/win32/Win32Util.h"

namespace plm {
struct PreviewDocument;
struct PreviewResult;
}  // namespace plm

namespace plm::win32 {

class PreviewPaneWin32 {
 public:
  PreviewPaneWin32();
  ~PreviewPaneWin32();

  // Creates the pane as a child of `parent`.
  void Create(HWND parent, int id);
  HWND Handle() const { return pane_; }
  void SetFont(HFONT font);

  // Shows the drawing at `path`; the same path as the one shown or loading is not
  // read again.
  void ShowFile(const std::string& path);
  // Shows nothing, with a short reason (UTF-8).
  void ShowReason(const std::string& reason);
  // New switches: the shown drawing is marked again without reading the file.
  void SetOptions(const ConversionSwitches& options);

  const std::string& Path() const { return path_; }
  bool Busy() const { return delivered_ != latest_.load(); }
  const std::string& ReasonText() const { return reason_; }
  std::string CountText() const;
  const PreviewResult* Result() const { return result_.get(); }
  bool ShowsWritten() const { return written_; }
  void SetShowWritten(bool written);
  const PreviewView& View() const { return view_; }

 private:
  static LRESULT CALLBACK PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK CanvasProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnPane(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnCanvas(UINT message, WPARAM wParam, LPARAM lParam);
  void Layout();
  void Request(bool reload);
  void LoadPending();
  void Deliver(uint64_t generation, std::shared_ptr<const PreviewResult> result);
  void Show(std::shared_ptr<const PreviewResult> result, const std::string& reason);
  void Fit();
  void PaintCanvas(HDC dc, const RECT& area);

  struct Job {
    uint64_t Generation = 0;
    std::string Path;
    ConversionSwitches Options;
    bool Reload = true;
  };

  HWND pane_ = nullptr, canvas_ = nullptr, count_ = nullptr, current_ = nullptr, writtenButton_ = nullptr;
  HFONT font_ = nullptr;
  std::string path_, shownPath_, reason_;
  std::shared_ptr<const PreviewResult> result_;
  ConversionSwitches options_;
  bool written_ = false;
  PreviewView view_;
  double fitScale_ = 1;
  bool fitted_ = true;
  bool dragging_ = false;
  POINT dragFrom_{};
  uint64_t delivered_ = 0;
  std::atomic<uint64_t> latest_{0};

  std::mutex mutex_;
  std::optional<Job> pending_;
  std::atomic<bool> stopping_{false};
  std::unique_ptr<PreviewDocument> cached_;  // the loader's alone
  std::optional<WorkerPool> loader_;
};

}  // namespace plm::win32
