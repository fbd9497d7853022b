#include "QtUserInteraction.h"

#include "base/FolderChoice.h"
#include "base/UserError.h"
#include "windows/CompareMeterUnt.h"
#include "windows/WindowPlacement.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QStyle>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace vorda {
namespace {
const QString kTitle = QStringLiteral("ZUV Meter Settings");

// A folder chooser with a "Directory Name" field: the folder picked in the
// tree shows there, and the user may type the name of a folder that does not
// exist yet, which is created once the user agrees.
class FolderChooser : public QDialog {
public:
    FolderChooser(QWidget* parent, const QString& title, const QString& startDir, UserInteraction& ui)
        : QDialog(parent), ui_(ui) {
        setObjectName(QStringLiteral("FolderChooser"));
        setWindowTitle(title);
        resize(OpeningSize(*this, QSize(fontMetrics().averageCharWidth() * 70, fontMetrics().height() * 28)));
        auto* layout = new QVBoxLayout(this);
        auto* caption = new QLabel(QStringLiteral("Directory Name:"), this);
        name_ = new QLineEdit(this);
        name_->setObjectName(QStringLiteral("DirectoryNameEdt"));
        name_->setAccessibleName(caption->text());
        caption->setBuddy(name_);
        model_ = new QFileSystemModel(this);
        model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
        model_->setRootPath(QDir::rootPath());
        tree_ = new QTreeView(this);
        tree_->setObjectName(QStringLiteral("DirectoryTree"));
        tree_->setAccessibleName(QStringLiteral("Directories"));
        tree_->setModel(model_);
        for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
        tree_->header()->hide();
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        layout->addWidget(caption);
        layout->addWidget(name_);
        layout->addWidget(tree_, 1);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex& current) {
                    if (current.isValid()) name_->setText(QDir::toNativeSeparators(model_->filePath(current)));
                });
        const QString start = QDir::cleanPath(QDir(startDir.isEmpty() ? QDir::homePath() : startDir).absolutePath());
        const QModelIndex index = model_->index(start);
        if (index.isValid()) {
            tree_->setCurrentIndex(index);
            tree_->expand(index);
            tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
            // The model reads and sorts folders in the background: keep the
            // start folder in view as they come in, until the user takes over.
            connect(model_, &QFileSystemModel::rowsInserted, this, [this] { KeepCurrentInView(); });
            connect(model_, &QFileSystemModel::layoutChanged, this, [this] { KeepCurrentInView(); });
            connect(model_, &QFileSystemModel::directoryLoaded, this, [this] { KeepCurrentInView(); });
            for (QObject* part : {static_cast<QObject*>(tree_), static_cast<QObject*>(tree_->viewport()),
                                  static_cast<QObject*>(tree_->verticalScrollBar())})
                part->installEventFilter(this);
        }
        name_->setText(start);
    }

    QString Chosen() const { return chosen_; }

    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        KeepCurrentInView();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
        case QEvent::KeyPress:
            settling_ = false;
            break;
        default:
            break;
        }
        return QDialog::eventFilter(watched, event);
    }

    void accept() override {
        // A relative name is taken inside the folder picked in the tree.
        const QModelIndex current = tree_->currentIndex();
        const QDir base(current.isValid() ? model_->filePath(current) : QDir::homePath());
        const QString typed = name_->text().trimmed();
        if (typed.isEmpty()) return;
        chosen_ = SettleChosenFolder(base.absoluteFilePath(typed), ui_);
        if (!chosen_.isEmpty()) QDialog::accept();
    }

private:
    void KeepCurrentInView() {
        if (settling_) tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
    }

    UserInteraction& ui_;
    QFileSystemModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
    QLineEdit* name_ = nullptr;
    QString chosen_;
    bool settling_ = true;
};

// The confirmation of a meter write with the box for the reason. As in the
// other confirmations, Cancel is the default; Enter in the reason box moves
// on to OK instead of cancelling what was just explained.
class WriteConfirmation : public QDialog {
public:
    WriteConfirmation(QWidget* parent, const QString& text) : QDialog(parent) {
        setObjectName(QStringLiteral("WriteConfirmation"));
        setWindowTitle(kTitle);
        auto* layout = new QGridLayout(this);
        auto* icon = new QLabel(this);
        const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(side, side));
        icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
        auto* message = new QLabel(text, this);
        message->setObjectName(QStringLiteral("WriteConfirmationText"));
        message->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* caption = new QLabel(QStringLiteral("&Reason (optional):"), this);
        caption->setObjectName(QStringLiteral("ReasonCaption"));
        reason_ = new QLineEdit(this);
        reason_->setObjectName(QStringLiteral("ReasonEdt"));
        reason_->setAccessibleName(QStringLiteral("Reason (optional)"));
        reason_->setAccessibleDescription(QStringLiteral("Why the meter is written; kept with the write in the meter history"));
        reason_->setMaxLength(500);
        reason_->setMinimumWidth(reason_->fontMetrics().averageCharWidth() * 40);
        reason_->installEventFilter(this);
        caption->setBuddy(reason_);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        ok_ = buttons->button(QDialogButtonBox::Ok);
        ok_->setObjectName(QStringLiteral("WriteConfirmationOk"));
        QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
        cancel->setObjectName(QStringLiteral("WriteConfirmationCancel"));
        cancel->setDefault(true);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(icon, 0, 0, 1, 1);
        layout->addWidget(message, 0, 1, 1, 1);
        layout->setRowMinimumHeight(1, fontMetrics().height() / 2);
        layout->addWidget(caption, 2, 1);
        layout->addWidget(reason_, 3, 1);
        layout->addWidget(buttons, 4, 0, 1, 2);
        layout->setColumnStretch(1, 1);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        reason_->setFocus();
    }

    QString Reason() const { return reason_->text().trimmed(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == reason_ && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                ok_->setFocus();
                return true;
            }
        }
        return QDialog::eventFilter(watched, event);
    }

private:
    QLineEdit* reason_ = nullptr;
    QPushButton* ok_ = nullptr;
};

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

bool QtUserInteraction::ConfirmWrite(const QString& text, QString* reason) {
    const NormalCursor cursor;
    WriteConfirmation dialog(parent_, ForDisplay(text));
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (reason) *reason = ok ? dialog.Reason() : QString();
    return ok;
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
    FolderChooser chooser(parent_, title, startDir, *this);
    return chooser.exec() == QDialog::Accepted ? chooser.Chosen() : QString();
}

bool QtUserInteraction::OpenWithDesktop(const QString& target) {
    const QUrl url = target.contains(QStringLiteral("://")) ? QUrl(target) : QUrl::fromLocalFile(target);
    return QDesktopServices::openUrl(url);
}

bool QtUserInteraction::ChooseRowsToWrite(const QList<WriteChoiceRow>& rows, QVector<bool>* ticked) {
    const NormalCursor cursor;
    TCompareMeter dialog(rows, *ticked, parent_);
    if (dialog.exec() != QDialog::Accepted) return false;
    *ticked = dialog.Ticked();
    return true;
}

void QtProgramEnd::Terminate(const QString& message) {
    terminated_ = true;
    if (!message.isEmpty()) ui_.ShowMessage(message);
    QApplication::exit(1);
    throw ProgramTerminated();
}

} // namespace vorda
