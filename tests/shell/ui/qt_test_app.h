#pragma once
// The one QApplication of a window test process, made on first use on the offscreen platform
// with LC_ALL=ru_RU.UTF-8, the locale in which a wrong decimal point shows.
#include <QApplication>

namespace kavu::test {

QApplication& QtTestApp();
// True when QtTestApp() made the application in this call chain's first use (its locale state is
// the one Qt left, before anything restored "C").
bool QtTestAppWasFresh();

}  // namespace kavu::test
