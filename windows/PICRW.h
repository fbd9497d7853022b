#pragma once
#include "registers/RegisterBrowser.h"

#include <QWidget>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

namespace vorda {
class TPICCoreForm;
class MeterActivity;
class UserInteraction;
class RegisterGridModel;
class RegisterGridView;

// The register browser window: all 256 registers of the meter, read and
// written one at a time without a map. Created at start-up and only shown and
// hidden, so its contents stay between showings. It shows a RegisterBrowser
// and forwards the events of its controls to it.
class TPICRWForm : public QWidget, private RegisterBrowserView {
    Q_OBJECT
public:
    explicit TPICRWForm(UserInteraction& ui, QWidget* parent = nullptr);
    ~TPICRWForm() override;

    // The protocol object the browser talks through (created after it).
    void AttachCore(TPICCoreForm* core);
    // Keeps the windows painted with a busy cursor while the browser waits
    // for the meter, as every other meter command does.
    void AttachActivity(MeterActivity* activity) { activity_ = activity; }

    RegisterBrowser& Browser() { return browser_; }

    // Handlers.
    void FormCreate();
    void RegGridDecSelectCell(int col, int row);
    void RadioUnitsClick();
    void EditAEnter();
    void EditAExit();
    void EditDec8Enter();
    void EditDec8Exit();
    void EditHexEnter();
    void EditHexExit();
    void RefreshClick();
    void WriteRegClick();
    void ReadAllRegsClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindow();
    // Runs a handler; an error that ends the command is shown in an error box.
    void Guard(const std::function<void()>& handler);
    // The same for a handler that talks to the meter.
    void MeterCommand(const std::function<void()>& handler);

    // RegisterBrowserView
    void CellChanged(int col, int row) override;
    void CounterChanged() override;
    void BoxesChanged() override;
    void ControlsChanged() override;
    void CurrentCellChanged() override;
    void ProcessPendingMessages() override;
    void PassRunning(bool running) override;

    UserInteraction& ui_;
    RegisterBrowser browser_;
    bool built_ = false;
    MeterActivity* activity_ = nullptr;

    QPushButton* ReadAllRegs = nullptr;
    QLabel* Reclbl = nullptr;
    QLabel* Oflbl = nullptr;
    QLabel* HoldIn = nullptr;
    QLabel* Label1 = nullptr;
    QGroupBox* RadioUnits = nullptr;
    QRadioButton* RadioDec8 = nullptr;
    QRadioButton* RadioHex = nullptr;
    RegisterGridView* RegGridDec = nullptr;
    QTableView* ASCIIGridDec = nullptr;
    RegisterGridModel* regModel_ = nullptr;
    RegisterGridModel* asciiModel_ = nullptr;
    QLabel* Label14 = nullptr;
    QLineEdit* EditA = nullptr;
    QLabel* Label11 = nullptr;
    QLineEdit* EditDec8 = nullptr;
    QLineEdit* EditHex = nullptr;
    QLineEdit* EditB = nullptr;
    QLabel* NVNR = nullptr;
    QPushButton* Refresh = nullptr;
    QPushButton* WriteReg = nullptr;
};

} // namespace vorda
