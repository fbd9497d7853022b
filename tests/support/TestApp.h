#pragma once
#include <QApplication>

namespace vorda::test {

// Widgets need an application object; the tests use the offscreen platform.
inline void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "vorda_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

} // namespace vorda::test
