#pragma once
// Seams for benchmarks: every question answered OK, nothing shown but
// errors, which go to the error stream.
#include "app/ProgramEnd.h"
#include "app/UserError.h"
#include "app/UserInteraction.h"

#include <cstdio>

namespace vorda::bench {

class SilentInteraction : public UserInteraction {
public:
    void ShowMessage(const QString&) override {}
    void ShowError(const QString& text) override { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }
    bool Confirm(const QString&) override { return true; }
    bool AskYesNo(const QString&) override { return true; }
    QString OpenFileName(const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseFolder(const QString&, const QString&) override { return {}; }
    bool OpenWithDesktop(const QString&) override { return true; }
};

class SilentEnd : public ProgramEnd {
public:
    [[noreturn]] void Terminate(const QString& message) override {
        std::fprintf(stderr, "program ended: %s\n", qPrintable(message));
        throw ProgramTerminated();
    }
    bool Terminated() const override { return false; }
};

} // namespace vorda::bench
