#pragma once
#include <QApplication>

namespace vorda::test {

// The protocol object is a widget: the tests need an application object.
inline void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "meter_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

} // namespace vorda::test
