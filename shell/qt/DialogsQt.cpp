#include "shell/qt/DialogsQt.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/files.h"
#include "platform/fsutil.h"
#include "shell/texts.h"

namespace plm {
namespace {

QString ToQString(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

BoxAnswer QtDialogs::MessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) {
  const QMessageBox::Icon icon = kind == BoxKind::Error         ? QMessageBox::Critical
                                 : kind == BoxKind::Information ? QMessageBox::Information
                                 : buttons == BoxButtons::YesNo ? QMessageBox::Question
                                                                : QMessageBox::Information;
  QMessageBox box(icon, ToQString(BoxCaption(kind)), ToQString(text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  if (buttons == BoxButtons::Ok) {
    QPushButton* ok = box.addButton(ToQString(kBoxOkText), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return BoxAnswer::Ok;
  }
  QPushButton* yes = box.addButton(ToQString(kBoxYesText), QMessageBox::YesRole);
  QPushButton* no = box.addButton(ToQString(kBoxNoText), QMessageBox::NoRole);
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
  QFileDialog dialog(QApplication::activeWindow(), ToQString(title),
                     QFile::decodeName(QByteArray::fromStdString(startFolder)));
  ConfigureFolderDialog(dialog, use);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  std::string folder = LocalPathBytes(dialog.selectedFiles().constFirst());
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

void QtDialogs::ShowResults(const std::string& summary, const std::vector<ResultLine>& lines) {
  QDialog* dialog = MakeResultsDialog(summary, lines, QApplication::activeWindow());
  dialog->exec();
  delete dialog;
}

QDialog* MakeResultsDialog(const std::string& summary, const std::vector<ResultLine>& lines, QWidget* parent) {
  auto* dialog = new QDialog(parent);
  dialog->setObjectName(QStringLiteral("ResultsDialog"));
  dialog->setWindowTitle(ToQString(texts::kResultsCaption));
  auto* layout = new QVBoxLayout(dialog);
  auto* label = new QLabel(ToQString(summary), dialog);
  label->setObjectName(QStringLiteral("ResultsSummary"));
  label->setTextFormat(Qt::PlainText);
  layout->addWidget(label);

  auto* list = new QTreeWidget(dialog);
  list->setObjectName(QStringLiteral("ResultsList"));
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  QStringList header;
  for (std::string_view h : texts::kResultsHeader) header << ToQString(h);
  list->setHeaderLabels(header);
  QList<QTreeWidgetItem*> items;
  for (const ResultLine& line : lines) {
    auto* item = new QTreeWidgetItem({ToQString(line.Name), ToQString(line.Outcome), ToQString(line.Detail)});
    item->setToolTip(2, item->text(2));  // a long reason in full
    if (line.Failed)
      for (int c = 0; c < 3; ++c) item->setForeground(c, QColor(190, 0, 0));
    items << item;
  }
  list->addTopLevelItems(items);
  for (int c = 0; c < 2; ++c) list->resizeColumnToContents(c);
  list->header()->setStretchLastSection(true);
  layout->addWidget(list, 1);

  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* ok = buttons->addButton(ToQString(kBoxOkText), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  layout->addWidget(buttons);
  dialog->resize(640, 320);
  return dialog;
}

std::string LocalPathBytes(const QString& path) {
  const std::string plain = QFile::encodeName(path).toStdString();
  if (plain.empty() || IsExistingFolder(plain) || IsExistingFile(plain)) return plain;
  // Walk down from the root, taking each part as it is when it exists and otherwise
  // the one entry of the folder so far that the toolkit names like it.
  const QStringList parts = path.split(QLatin1Char('/'));
  std::string built;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString& part = parts[i];
    if (i > 0) built += '/';
    if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..")) {
      built += QFile::encodeName(part).toStdString();
      continue;
    }
    const std::string direct = QFile::encodeName(part).toStdString();
    const std::string folder = built.empty() ? std::string(".") : built;
    if (!part.contains(QChar(QChar::ReplacementCharacter))) {
      built += direct;
      continue;
    }
    std::string match;
    int matches = 0;
    ForEachFolderEntry(folder, [&](const FolderEntry& e) {
      if (QFile::decodeName(QByteArray::fromStdString(e.Name)) == part) {
        match = e.Name;
        ++matches;
      }
      return matches < 2;
    });
    if (matches != 1) return plain;
    built += match;
  }
  return built;
}

QUrl LocalFileUrl(const std::string& pathBytes) {
  return QUrl::fromEncoded("file://" + QByteArray::fromStdString(pathBytes).toPercentEncoding("/"), QUrl::StrictMode);
}

}  // namespace plm
