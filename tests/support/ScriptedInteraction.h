#pragma once
#include "QtPrinters.h"
#include "base/FolderChoice.h"
#include "base/ProgramEnd.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"

#include <QStringList>
#include <deque>
#include <functional>


namespace vorda::test {

// Answers every question from a script and records every text shown, in
// order. Unscripted questions answer OK / Yes and unscripted dialogs cancel.
class ScriptedInteraction : public UserInteraction {
public:
    struct Shown {
        QString kind; // "message", "error", "confirm", "yesno", "open", "save", "folder", "desktop", "choose"
        QString text;
    };

    void ShowMessage(const QString& text) override { record("message", text); }
    void ShowError(const QString& text) override { record("error", text); }
    bool Confirm(const QString& text) override {
        record("confirm", text);
        const bool a = nextAnswer();
        if (onQuestion) onQuestion();
        return a;
    }
    // Recorded as a confirmation; the reason is the next scripted one.
    bool ConfirmWrite(const QString& text, QString* reason) override {
        if (reason) *reason = reasons.empty() ? QString() : reasons.front();
        if (!reasons.empty()) reasons.pop_front();
        return Confirm(text);
    }
    bool AskYesNo(const QString& text) override {
        record("yesno", text);
        const bool a = nextAnswer();
        // Lets a test change the world while the question is open (a meter
        // plugged in or out before the next scan).
        if (onQuestion) onQuestion();
        return a;
    }
    QString OpenFileName(const QString& startDir, const QString& filter) override {
        record("open", filter);
        lastStartDir = startDir;
        return nextPath();
    }
    QString SaveFileName(const QString& title, const QString& startDir, const QString& filter,
                         const QString& defaultExt) override {
        record("save", title + "|" + filter + "|" + defaultExt);
        lastStartDir = startDir;
        return nextPath();
    }
    // A path scripted with typeFolder goes through the chooser's own
    // handling of a typed name (the question before creating a folder); one
    // scripted with choosePath comes back as it is.
    QString ChooseFolder(const QString& title, const QString& startDir) override {
        record("folder", title);
        lastStartDir = startDir;
        const QString path = nextPath();
        return typedFolders.removeOne(path) ? SettleChosenFolder(path, *this) : path;
    }
    bool OpenWithDesktop(const QString& target) override { record("desktop", target); return true; }
    // Records the rows offered (their parameter names, "|" between) and
    // answers with the next scripted chooser; unscripted, the dialog is
    // closed without writing.
    bool ChooseRowsToWrite(const QList<WriteChoiceRow>& rows, QVector<bool>* ticked) override {
        QStringList names;
        for (const WriteChoiceRow& r : rows) names << r.parameter;
        record("choose", names.join(QLatin1Char('|')));
        offeredRows = rows;
        offeredTicks = *ticked;
        if (choosers.empty()) return false;
        const RowChooser chooser = choosers.front();
        choosers.pop_front();
        return chooser(rows, ticked);
    }

    // Script.
    using RowChooser = std::function<bool(const QList<WriteChoiceRow>&, QVector<bool>*)>;
    void chooseRows(RowChooser chooser) { choosers.push_back(std::move(chooser)); }
    // Write Ticked with the ticks as offered.
    void writeTicked() {
        chooseRows([](const QList<WriteChoiceRow>&, QVector<bool>*) { return true; });
    }
    void answer(bool ok) { answers.push_back(ok); }
    // The reason typed into the next write's confirmation.
    void giveReason(const QString& reason) { reasons.push_back(reason); }
    void choosePath(const QString& path) { paths.push_back(path); }
    // The user types path into the folder chooser's name field.
    void typeFolder(const QString& path) {
        paths.push_back(path);
        typedFolders << path;
    }

    // What was shown, of all kinds, in order.
    QStringList texts() const {
        QStringList out;
        for (const Shown& s : shown) out << s.text;
        return out;
    }
    // The texts of one kind only.
    QStringList texts(const QString& kind) const {
        QStringList out;
        for (const Shown& s : shown)
            if (s.kind == kind) out << s.text;
        return out;
    }
    void clear() { shown.clear(); }

    std::vector<Shown> shown;
    std::deque<bool> answers;
    std::deque<QString> reasons;
    std::deque<QString> paths;
    QStringList typedFolders; // paths that typeFolder scripted
    QString lastStartDir;
    std::function<void()> onQuestion;
    std::deque<RowChooser> choosers;
    QList<WriteChoiceRow> offeredRows; // of the last choice
    QVector<bool> offeredTicks;

private:
    void record(const char* kind, const QString& text) { shown.push_back({QString::fromLatin1(kind), text}); }
    bool nextAnswer() {
        if (answers.empty()) return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QString nextPath() {
        if (paths.empty()) return QString();
        QString p = paths.front();
        paths.pop_front();
        return p;
    }
};

// Records the fatal message and unwinds like the real one.
class RecordingProgramEnd : public ProgramEnd {
public:
    [[noreturn]] void Terminate(const QString& message) override {
        terminated = true;
        messages << message;
        throw ProgramTerminated();
    }
    bool Terminated() const override { return terminated; }

    bool terminated = false;
    QStringList messages;
};

} // namespace vorda::test
