#pragma once
// What the window's preview pane shows of one file: the drawing as it is and as a
// conversion with given switches would write it, the texts whose spacing changes, and
// the count line; or why nothing can be shown. Loaded into a document of its own, so
// it never touches the window's documents or image folder.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/displaylist.h"
#include "render/marks.h"
#include "jww/drawingbody.h"

namespace plm {

class LoadedDrawing;

// A loaded drawing kept by the pane's loader, so changed switches re-mark it without
// reading the file again.
struct PreviewDocument {
  std::string Path;
  std::shared_ptr<const LoadedDrawing> Drawing;  // null: nothing loaded
};

struct PreviewResult {
  bool Ok = false;
  std::string Reason;        // UTF-8; why nothing is shown when !Ok
  DisplayList Current;       // the drawing as it is, changed texts marked
  DisplayList Written;       // the drawing as the conversion writes it
  SpacingMarks Marks;
  std::vector<std::string> Lines;  // UTF-8: the count line first, then the details
  std::string Summary;             // UTF-8, one line: the count, and what could not be drawn
  Box Bounds;                // of both views, so switching views keeps the picture still
};

// Texts of the pane.
namespace previewtexts {
inline constexpr char kNoSelection[] = "ファイルを 1 つ選ぶと図面を表示します。";
inline constexpr char kManyRows[] = "複数の行が選択されています。";
inline constexpr char kLoading[] = "読み込み中…";
inline constexpr char kNotADrawing[] = "JWW 図面・JWS 図形ではないため表示できません。";
inline constexpr char kCannotRead[] = "読み込めませんでした: ";
inline constexpr char kNotConverted[] = "（この拡張子は変換の対象外）";
inline constexpr char kCancelled[] = "取り消されました。";
}  // namespace previewtexts

// Reads the file at `path` (bytes as the file system gives them) into a fresh
// document. On failure `reason` says why, in UTF-8, briefly.
bool LoadPreviewDocument(const std::string& path, PreviewDocument& doc, std::string& reason);

// Builds both views of `doc` for `options`. `cancelled` (may be empty) is asked
// between the steps; a cancelled build returns a result that is not Ok.
PreviewResult BuildPreview(const PreviewDocument& doc, const ConversionSwitches& options,
                           const std::function<bool()>& cancelled = {});

// Both steps at once, for one file.
PreviewResult PreviewFile(const std::string& path, const ConversionSwitches& options);

}  // namespace plm
