#pragma once
// The preview pane beside the file list: the drawing of the one selected row, fitted
// to the pane, zoomed with the wheel around the pointer and panned by dragging, with
// the texts whose spacing the current switches change marked, the count line, and a
// choice between the drawing as it is and as the conversion writes it.
//
// Files load on a worker thread into documents of its own (never the window's), so
// the list never waits; a newer request makes every older one obsolete, and an
// obsolete result is dropped.
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "jww/spacingrule.h"
#include "platform/workerpool.h"
#include "render/viewport.h"

class QLabel;
class QPainter;
class QToolButton;

namespace plm {

struct DisplayList;
struct PreviewDocument;
struct PreviewResult;
class PreviewCanvas;

// Paints `list` as `view` places it in a pane of `size` at the painter's origin. What
// lies outside is culled and what crosses the edge is clipped first, so any zoom and
// any finite coordinates stay cheap and safe.
void PaintDisplayList(QPainter& painter, const DisplayList& list, const PreviewView& view, QSizeF size);

class PreviewPane : public QWidget {
  Q_OBJECT
 public:
  explicit PreviewPane(QWidget* parent = nullptr);
  ~PreviewPane() override;

  // Shows the drawing at `path` (bytes as the file system gives them). The same path
  // as the one shown or loading is not read again.
  void ShowFile(const std::string& path);
  // Shows nothing, with a short reason (UTF-8).
  void ShowReason(const std::string& reason);
  // New switches: the shown drawing is marked again, without reading the file.
  void SetOptions(const ConversionSwitches& options);

  // For tests and the window: the file shown or loading, whether a request is still
  // on its way, the reason when nothing is shown, the count line, and the result.
  const std::string& Path() const { return path_; }
  bool Busy() const { return delivered_ != latest_.load(); }
  QString ReasonText() const;
  QString CountText() const;
  const PreviewResult* Result() const;
  void SetShowWritten(bool written);
  bool ShowsWritten() const;

 private:
  struct Job {
    uint64_t Generation = 0;
    std::string Path;
    ConversionSwitches Options;
    bool Reload = true;
  };
  void Request(bool reload);
  void Deliver(uint64_t generation, std::shared_ptr<const PreviewResult> result);
  void Show(std::shared_ptr<const PreviewResult> result, const QString& reason);
  // Loads the request pending, if there is one; runs on the loader.
  void LoadPending();

  PreviewCanvas* canvas_ = nullptr;
  QLabel* count_ = nullptr;
  QToolButton* current_ = nullptr;
  QToolButton* written_ = nullptr;

  std::string path_;       // shown or loading
  std::string shownPath_;  // whose drawing the canvas holds
  ConversionSwitches options_;
  uint64_t delivered_ = 0;
  std::atomic<uint64_t> latest_{0};

  std::mutex mutex_;
  std::optional<Job> pending_;
  std::atomic<bool> stopping_{false};
  std::unique_ptr<PreviewDocument> cached_;  // the last document loaded; the loader's alone
  std::optional<WorkerPool> loader_;         // one worker: requests load one at a time
};

}  // namespace plm
