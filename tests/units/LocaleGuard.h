#pragma once
#include <QLocale>

namespace vorda::test {

// Sets the default locale for the lifetime of the guard and restores the
// previous one afterwards.
class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& locale) : saved_(QLocale()) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(saved_); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

private:
    QLocale saved_;
};

inline QLocale English() { return QLocale(QLocale::English, QLocale::UnitedStates); }
inline QLocale German() { return QLocale(QLocale::German, QLocale::Germany); }

} // namespace vorda::test
