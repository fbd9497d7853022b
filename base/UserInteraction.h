#pragma once
#include <QList>
#include <QString>
#include <QVector>

namespace vorda {

// One row of the choice of parameters to write after a comparison: the
// parameter's name, its meter and file values as display texts with the unit
// name, whether they differ and whether the user may tick it.
struct WriteChoiceRow {
    QString parameter;
    QString unit;
    QString meterText;
    QString fileText;
    bool differs = false;
    bool tickable = true;
};

// Every message, question and dialog the user sees goes through this seam.
// Texts use "\n\r" for a line break, as the program's messages are written.
// Filters are given as "Caption (*.ext)|*.ext|" pairs.
class UserInteraction {
public:
    virtual ~UserInteraction() = default;

    // Plain message box with OK (information and errors).
    virtual void ShowMessage(const QString& text) = 0;
    // Error box for a UserError that ended a command.
    virtual void ShowError(const QString& text) = 0;
    // OK / Cancel; true for OK.
    virtual bool Confirm(const QString& text) = 0;
    // The confirmation of a meter write, with a one-line box for the
    // technician's reason (empty is allowed); *reason gets its text. Front
    // ends without such a box ask Confirm and give no reason.
    virtual bool ConfirmWrite(const QString& text, QString* reason) {
        if (reason) reason->clear();
        return Confirm(text);
    }
    // Yes / No; true for Yes.
    virtual bool AskYesNo(const QString& text) = 0;
    // File dialogs: the chosen path, or an empty text when cancelled.
    virtual QString OpenFileName(const QString& startDir, const QString& filter) = 0;
    virtual QString SaveFileName(const QString& title, const QString& startDir,
                                 const QString& filter, const QString& defaultExt) = 0;
    // Folder chooser; the chosen folder without a final separator, or empty.
    virtual QString ChooseFolder(const QString& title, const QString& startDir) = 0;
    // Opens a folder in the file manager or an address in the browser.
    // Returns false when the desktop could not do it.
    virtual bool OpenWithDesktop(const QString& target) = 0;
    // Shows the rows of a comparison with *ticked as the first ticks; true
    // when the user chose to write, with *ticked as left. Front ends without
    // such a choice write nothing.
    virtual bool ChooseRowsToWrite(const QList<WriteChoiceRow>& /*rows*/, QVector<bool>* /*ticked*/) { return false; }
};

} // namespace vorda
