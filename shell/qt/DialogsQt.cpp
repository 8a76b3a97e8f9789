#include "shell/qt/DialogsQt.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace plm {
namespace {

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

BoxAnswer QtDialogs::MessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) {
  const QMessageBox::Icon icon = kind == BoxKind::Error         ? QMessageBox::Critical
                                 : kind == BoxKind::Information ? QMessageBox::Information
                                 : buttons == BoxButtons::YesNo ? QMessageBox::Question
                                                                : QMessageBox::Information;
  QMessageBox box(icon, Text(BoxCaption(kind)), Text(text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  if (buttons == BoxButtons::Ok) {
    QPushButton* ok = box.addButton(Text(kBoxOkText), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return BoxAnswer::Ok;
  }
  QPushButton* yes = box.addButton(Text(kBoxYesText), QMessageBox::YesRole);
  QPushButton* no = box.addButton(Text(kBoxNoText), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes ? BoxAnswer::Yes : BoxAnswer::No;
}

void QtDialogs::Beep() { QApplication::beep(); }

void ConfigureFolderDialog(QFileDialog& dialog, FolderUse use) {
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setOption(QFileDialog::ReadOnly, use == FolderUse::Search);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
}

std::optional<std::string> QtDialogs::ChooseFolder(const std::string& title, const std::string& startFolder,
                                                   FolderUse use) {
  QFileDialog dialog(QApplication::activeWindow(), Text(title), QFile::decodeName(startFolder.c_str()));
  ConfigureFolderDialog(dialog, use);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  std::string folder = QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace plm
