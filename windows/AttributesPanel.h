#pragma once
// The main window's "Current Attributes" panel: the user directory, the COM
// port, the rounding, the files of the screen and of the last meter write,
// and the map the meter uses.
#include <QFrame>
#include <QList>

class QLabel;

namespace vorda {
struct SessionFiles;

class AttributesPanel : public QFrame {
    Q_OBJECT
public:
    // filter receives the events of the user directory's label.
    AttributesPanel(QWidget* parent, QObject* filter);

    // Shows the session's files; a label changes only when its text does.
    void ShowFiles(const SessionFiles& files);
    // Shows text in label, sized to it; the panel's rows follow.
    static void Show(QLabel* label, const QString& text);
    // Places the rows, values beside the widest caption, and sizes the
    // panel to them.
    void LayOut();

    QLabel* UDlbl = nullptr;
    QLabel* ComPortlbl = nullptr;
    QLabel* SigFigLbl = nullptr;
    QLabel* MapFileNow = nullptr;
    QLabel* DataFileNow = nullptr;
    QLabel* ConnectForMapLbl = nullptr;
    QLabel* EEPROMMapFile = nullptr;
    QLabel* EEPROMDataFile = nullptr;

private:
    QList<QPair<QLabel*, QLabel*>> rows_; // caption and value, top to bottom
    QLabel* SigFigCaption_ = nullptr;
    QLabel* AddRow(int top, const QString& caption, const QString& hint, const QString& objectName);
};

} // namespace vorda
