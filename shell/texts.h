#pragma once
// Every text the windows show, in UTF-8: window captions, control captions, menu items,
// box messages, status texts and the header row of the file list. The GUI-free core
// uses the same names for the texts it reports, so each text is spelled once.
// Single texts are character arrays, so that they join std::string directly.
#include <array>
#include <string_view>

namespace plm::texts {

// Main window.
inline constexpr char kMainWindowCaption[] = "Pallimo Ver.1.01";
inline constexpr char kFileTypeLabel[] = "ファイルの種類";
inline constexpr std::array<std::string_view, 4> kFileTypeItems = {"全てのファイル(*.*)", "*.JW?", "*.JWW", "*.JWS"};
inline constexpr char kSwitchesButtonCaption[] = "変換設定";
inline constexpr char kSaveFolderLabel[] = "保存先フォルダ";
inline constexpr char kBrowseButtonCaption[] = "参照";
inline constexpr char kConvertButtonCaption[] = "変換";

// Menu.
inline constexpr char kMenuFile[] = "ファイル (&F)";
inline constexpr char kMenuSearchFolder[] = "検索フォルダの指定 (&S)";
inline constexpr char kMenuFileType[] = "ファイルの種類 (&T)";
inline constexpr std::array<std::string_view, 4> kMenuFileTypeItems = {"全てのファイル(*.*) (&0)", "(*.jw?) (&1)",
                                                                      "(*.jww) (&2)", "(*.jws) (&3)"};
inline constexpr char kMenuSaveFolder[] = "保存先フォルダの指定 (&H)";
inline constexpr char kMenuExit[] = "終了 (&X)";
inline constexpr char kMenuSettings[] = "設定 (&S)";
inline constexpr char kMenuSwitches[] = "変換設定 (&1)";

// Folder choosers.
inline constexpr char kSearchFolderTitle[] = "検索フォルダの指定";
inline constexpr char kSaveFolderTitle[] = "保存先フォルダの指定";

// The header row of the file list, columns 0 to 5.
inline constexpr std::array<std::string_view, 6> kFileListHeader = {"ファイル名", "Bytes",    "種類",
                                                                    "図面メモ",   "更新日時", "属性"};

// Box messages and status texts.
inline constexpr char kSpecifySearchFolder[] = "検索フォルダを指定して下さい。";
inline constexpr char kExitQuestion[] = "終了します。よろしいですか？";
inline constexpr char kSearchingFolders[] = "フォルダ検索中です。（ESC:中断）";
inline constexpr char kDriveNotReady[] = "検索フォルダのディスクドライブの準備が出来ていません。";
inline constexpr char kFolderSearchAborted[] = "フォルダ検索を中断しました。";
inline constexpr char kSpecifyDrawingFolder[] = "図面の格納されているフォルダを指定して下さい。";
inline constexpr char kNoFileList[] = "ファイル一覧が表示されていません。";
inline constexpr char kSpecifySaveFolder[] = "保存先フォルダを指定して下さい。";
inline constexpr char kSameFolders[] = "保存先フォルダとファイルのフォルダが同じになっています。";
inline constexpr char kBatchQuestion[] = "変換を開始します。よろしいですか？";
inline constexpr char kBatchCancelled[] = "変換作業をキャンセルしました。";
inline constexpr char kBatchDone[] = "変換作業を完了しました。";
// After a batch in which files failed: kBatchDone + kBatchFailedBefore + the count +
// kBatchFailedAfter, and the results dialog.
inline constexpr char kBatchFailedBefore[] = "（失敗 ";
inline constexpr char kBatchFailedAfter[] = " 件）";
inline constexpr char kResultsCaption[] = "変換結果";
inline constexpr std::array<std::string_view, 3> kResultsHeader = {"ファイル名", "結果", "内容"};
// The counts above the list: "変換 3 件、失敗 1 件、対象外 2 件".
inline constexpr char kCountConverted[] = "変換 ";
inline constexpr char kCountFailed[] = "失敗 ";
inline constexpr char kCountSkipped[] = "対象外 ";
inline constexpr char kCountUnit[] = " 件";
inline constexpr char kCountSeparator[] = "、";
// The result column, and the lead of the content column; the reader's reason follows
// a failure's lead as the core gives it.
inline constexpr char kOutcomeConverted[] = "変換";
inline constexpr char kOutcomeFailed[] = "失敗";
inline constexpr char kOutcomeSkipped[] = "対象外";
inline constexpr char kSpacingChangedBefore[] = "文字間隔 ";
inline constexpr char kSpacingChangedAfter[] = " 件を 0 にしました";
inline constexpr char kSpacingUnchanged[] = "変更する文字間隔はありませんでした";
inline constexpr char kLoadFailed[] = "読み込めませんでした: ";
inline constexpr char kBackupFailed[] = "保存先の既存ファイルをバックアップできませんでした: ";
inline constexpr char kSaveFailed[] = "書き込めませんでした: ";
inline constexpr char kVerifyFailed[] = "書き込んだファイルを読み直せませんでした: ";
// Another program holds the file open without sharing it; nothing was changed.
inline constexpr char kInUseByAnother[] = "ほかのプログラムがファイルを開いているため、何も変えませんでした";
inline constexpr char kSkippedNotDrawing[] = "図面の形式ではありません";
// A selected row named as a drawing from which no output can come.
inline constexpr char kFailedNotDrawing[] = "図面ではありません";
inline constexpr char kFailedMissing[] = "ファイルが見つかりません";
// While another conversion writes into the save folder, the batch waits for it.
inline constexpr char kWaitingForSaveFolder[] =
    "別の変換がこの保存先フォルダに書き込んでいます。終わるのを待っています（ESC: 中止）。";
inline constexpr char kSkippedOtherType[] = "変換する種類のファイルではありません";
inline constexpr char kNoOpener[] = "このファイルを開くプログラムが見つかりません。";
// The listing: "フォルダ「" + folder + "」を検索中(ESC:中断)", then the count + " Files  パス名「"
// + folder + "」" or the abort text.
inline constexpr char kListingBefore[] = "フォルダ「";
inline constexpr char kListingAfter[] = "」を検索中(ESC:中断)";
inline constexpr char kListedFiles[] = " Files  パス名「";
inline constexpr char kListedEnd[] = "」";
inline constexpr char kListingAborted[] = "検索を中断しました。";

// Settings dialog.
inline constexpr char kSwitchesCaption[] = "変換設定";
inline constexpr char kSwitchesPurpose[] = "◆文字間隔がマイナス値になっているものをゼロにするツールです◆";
inline constexpr char kSpacingLengthWarning[] = "※文字間隔をゼロにする事により、文字全長が変わりますので注意して下さい。";
inline constexpr char kEndPointWarning[] = "※文字終点座標データは変更されませんので、注意して下さい。";
inline constexpr char kJwsTypeNote[] = "※JWS形式に文字種設定はありません。";
inline constexpr std::array<std::string_view, 4> kCheckBoxCaptions = {
    "文字種設定での文字間隔にマイナス値が使用されていたらゼロにする",
    "任意サイズ文字の文字間隔にマイナス値が使用されていたらゼロにする", "寸法図形の寸法値を変更する",
    "ブロック図形の文字を変更する"};
inline constexpr char kSwitchesOk[] = "ＯＫ (&Y)";
inline constexpr char kSwitchesCancel[] = "キャンセル (&N)";

}  // namespace plm::texts
