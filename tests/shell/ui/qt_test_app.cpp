#include "shell/ui/qt_test_app.h"

#include <cstdlib>

namespace kavu::test {
namespace {
bool g_fresh = false;
}

QApplication& QtTestApp() {
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LC_ALL", "ru_RU.UTF-8", 1);
    static int argc = 1;
    static char name[] = "kavu-gui-test";
    static char* argv[] = {name, nullptr};
    g_fresh = true;
    return new QApplication(argc, argv);
  }();
  return *app;
}

bool QtTestAppWasFresh() { return g_fresh; }

}  // namespace kavu::test
