#pragma once
// What the window tells the user after a batch: the closing status text and, when
// files failed, the lines of the results dialog. Decided here, without a window.
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "shell/batch.h"
#include "shell/filelist.h"

namespace plm {

// "変換作業を完了しました。" when no file failed, exactly as ever; otherwise the same
// sentence followed by "（失敗 N 件）", so a failure is never reported as success.
std::string BatchSummaryText(const BatchResults& results);

// The results dialog is shown only after a batch in which a file failed.
bool BatchShowsResults(const BatchResults& results);

// The counts above the list: "変換 3 件、失敗 1 件", with "、対象外 2 件" when rows
// were skipped.
std::string BatchCountsText(const BatchResults& results, int skipped);

// The line of a row handed to a converter: converted, with the number of spacing
// values set to 0, or failed, with a Japanese lead and the reader's reason as the core
// gives it.
ResultLine ResultLineOf(const BatchRowResult& row);

// The rows of top..bottom (clamped, empty names left out) that no converter was
// handed: their extension names no converted format, or the file failed its probe.
std::vector<ResultLine> SkippedLines(const BatchResults& results, const std::vector<FileRow>& rows, int top,
                                     int bottom);

// Every line of the dialog: the failed files first, then the converted ones, each in
// row order, then the skipped ones. Names and reasons are made readable UTF-8 (a name
// in code page 932 decoded), whatever bytes they carry.
std::vector<ResultLine> BatchResultLines(const BatchResults& results, const std::vector<ResultLine>& skipped);

}  // namespace plm
