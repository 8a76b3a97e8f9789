// Runs every registered window test class in one QApplication.
#include <QApplication>
#include <QTest>
#include <memory>

#include "uitest.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  int failed = 0;
  for (plmtest::UiTestFactory factory : plmtest::UiTests()) {
    std::unique_ptr<QObject> test(factory());
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
