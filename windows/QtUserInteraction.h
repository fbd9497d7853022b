#pragma once
#include "base/ProgramEnd.h"
#include "base/UserInteraction.h"

class QWidget;

namespace vorda {

// The user interaction seam on Qt's dialogs.
class QtUserInteraction : public UserInteraction {
public:
    void SetParentWindow(QWidget* parent) { parent_ = parent; }

    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    bool Confirm(const QString& text) override;
    bool ConfirmWrite(const QString& text, QString* reason) override;
    bool AskYesNo(const QString& text) override;
    QString OpenFileName(const QString& startDir, const QString& filter) override;
    QString SaveFileName(const QString& title, const QString& startDir, const QString& filter,
                         const QString& defaultExt) override;
    QString ChooseFolder(const QString& title, const QString& startDir) override;
    bool OpenWithDesktop(const QString& target) override;
    bool ChooseRowsToWrite(const QList<WriteChoiceRow>& rows, QVector<bool>* ticked) override;

    // "\n\r" pairs become one line break.
    static QString ForDisplay(const QString& text);
    // "Caption (*.ext)|*.ext|" becomes Qt's "Caption (*.ext)".
    static QString QtFilter(const QString& filter);

private:
    QWidget* parent_ = nullptr;
};

// Shows the fatal message and unwinds; the outermost handler ends the program.
class QtProgramEnd : public ProgramEnd {
public:
    explicit QtProgramEnd(UserInteraction& ui) : ui_(ui) {}
    [[noreturn]] void Terminate(const QString& message) override;
    bool Terminated() const override { return terminated_; }

private:
    UserInteraction& ui_;
    bool terminated_ = false;
};

} // namespace vorda
