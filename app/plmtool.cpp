// The window program: application title, main window, settings dialog, message loop.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "shell/qt/DialogsQt.h"
#include "shell/qt/MainWindow.h"
#include "shell/qt/SwitchesDialog.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Pallimo"));
  // The toolkit's own texts (file dialog, context menus) in Japanese, like the rest.
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  QTranslator toolkitTexts;
  if (toolkitTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&toolkitTexts);
  // Boxes and menus are windows of their own: give them the main window's font too.
  QApplication::setFont(plm::FormFont(12));

  plm::QtDialogs dialogs;
  plm::MainWindow form1(dialogs);
  plm::SwitchesDialog form2(form1.State().Options, &form1);
  form1.SetSettingsDialog(&form2);
  form1.show();
  return QApplication::exec();
}
