#include "QtUserInteraction.h"

#include "UserError.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace vorda {
namespace {
const QString kTitle = QStringLiteral("ZUV Meter Settings");

// A message or question in the middle of a long command shows the normal
// cursor, not the busy one, for as long as it is open.
class NormalCursor {
public:
    NormalCursor() : active_(QApplication::overrideCursor() != nullptr) {
        if (active_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~NormalCursor() {
        if (active_) QApplication::restoreOverrideCursor();
    }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;

private:
    bool active_;
};
} // namespace

QString QtUserInteraction::ForDisplay(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    return out;
}

QString QtUserInteraction::QtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString caption = parts.at(i);
        // Qt takes the patterns from the brackets of the caption.
        out << (caption.contains(QLatin1Char('(')) ? caption : caption + QStringLiteral(" (") + parts.at(i + 1) + QLatin1Char(')'));
    }
    return out.join(QStringLiteral(";;"));
}

void QtUserInteraction::ShowMessage(const QString& text) {
    const NormalCursor cursor;
    QMessageBox::information(parent_, kTitle, ForDisplay(text));
}

void QtUserInteraction::ShowError(const QString& text) {
    const NormalCursor cursor;
    QMessageBox::critical(parent_, kTitle, ForDisplay(text));
}

bool QtUserInteraction::Confirm(const QString& text) {
    const NormalCursor cursor;
    return QMessageBox::question(parent_, kTitle, ForDisplay(text), QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

bool QtUserInteraction::AskYesNo(const QString& text) {
    const NormalCursor cursor;
    return QMessageBox::question(parent_, kTitle, ForDisplay(text), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

QString QtUserInteraction::OpenFileName(const QString& startDir, const QString& filter) {
    const NormalCursor cursor;
    return QFileDialog::getOpenFileName(parent_, kTitle, startDir, QtFilter(filter));
}

QString QtUserInteraction::SaveFileName(const QString& title, const QString& startDir, const QString& filter,
                                        const QString& defaultExt) {
    const NormalCursor cursor;
    QFileDialog dialog(parent_, title, startDir, QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultExt);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

QString QtUserInteraction::ChooseFolder(const QString& title, const QString& startDir) {
    const NormalCursor cursor;
    return QFileDialog::getExistingDirectory(parent_, title, startDir);
}

bool QtUserInteraction::OpenWithDesktop(const QString& target) {
    const QUrl url = target.contains(QStringLiteral("://")) ? QUrl(target) : QUrl::fromLocalFile(target);
    return QDesktopServices::openUrl(url);
}

void QtProgramEnd::Terminate(const QString& message) {
    terminated_ = true;
    if (!message.isEmpty()) ui_.ShowMessage(message);
    QApplication::exit(1);
    throw ProgramTerminated();
}

} // namespace vorda
