#pragma once
#include "maps/MapEditor.h"

#include <QMainWindow>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QToolButton;

namespace vorda {
class UserInteraction;
class SelectorTableModel;
class LayoutTableModel;

// What the map editor needs from the program.
struct MapMakerContext {
    UserInteraction& ui;
    // The path of "FormSettings.ini" (the user directory may change).
    std::function<QString()> formSettingsPath;
    // The parameter types of the display units dialog, in its order.
    QStringList typeNames;
    // Loads the temporary preview map on the main window.
    std::function<void(const QString&)> readTempMapFile;
};

// The map editor window. Created at start-up and only shown and hidden; it
// shows the editor model and forwards the user's actions to it.
class TMapMaker : public QMainWindow {
    Q_OBJECT
public:
    explicit TMapMaker(MapMakerContext context, QWidget* parent = nullptr);
    ~TMapMaker() override;

    // The creation step: placement, grids, boxes.
    void FormCreate();

    // Follows the main window's connection state: no preview while a meter
    // is connected.
    void ShowConnected(bool connected);
    // True when the editor holds changes that were not saved.
    bool MapChanged() const { return editor_.MapChanged; }
    MapEditor& Editor() { return editor_; }

    // Handlers, each runs a command to its end and shows the result.
    void SelectorSelectCell(int ARow);
    void SelectorMouseWheelDown() {}
    void SelectorMouseWheelUp() {}
    void UpArrowClick();
    void DownArrowClick();
    void ValuesNotInView();
    void FormatChange(const QString& text);
    void MultiplierExit();
    void StoreClick();
    void ClearClick(bool checked);
    void CheckGridClick();
    void AddHdrBtnClick();
    void DelHdrBtnClick();
    void PageLayoutSelectCell(int ARow);
    void PageLayoutRowMoved(int FromIndex, int ToIndex);
    void ReadMapFile1Click();
    void SaveFile1Click();
    void New1Click();
    void Exit1Click();
    void PreviewbtnClick();
    // The close handling; false when the window stays open.
    bool FormClose();
    // True when the last close went through without its placement saved,
    // the user having agreed to that.
    bool PlacementUnsaved() const { return placementUnsaved_; }

    // The Selector's top visible register row (1 = register 0).
    int SelectorTopRow() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindow();
    QLayout* BuildDefinitionControls(QWidget* client);
    void BuildMenus();
    // Runs a command: an error that ends it is shown; then the window shows
    // the model again.
    void Run(const std::function<void()>& command);
    void Refresh();
    void ApplyFocusRequest();
    void ScrollSelectorTo(int topRow);

    MapMakerContext ctx_;
    MapEditor editor_;
    SelectorTableModel* selectorModel_ = nullptr;
    LayoutTableModel* layoutModel_ = nullptr;
    bool syncing_ = false;
    bool destroying_ = false;
    bool placementUnsaved_ = false;
    int layoutDragFrom_ = 0;

    QWidget* Client = nullptr;
    QLabel* SelectorInstruction = nullptr;
    QLabel* MapFileNow = nullptr;
    QTableView* Selector = nullptr;
    QToolButton* UpArrow = nullptr;
    QToolButton* DownArrow = nullptr;
    QLabel* StartRowLbl = nullptr;
    QLabel* EndRowLbl = nullptr;
    QCheckBox* Clear = nullptr;
    QLineEdit* ParamNameInput = nullptr;
    QComboBox* Format = nullptr;
    QLabel* MultiLabel = nullptr;
    QLineEdit* Multiplier = nullptr;
    QComboBox* AccessCombo = nullptr;
    QLabel* PTypeLbl = nullptr;
    QComboBox* PTypeCombo = nullptr;
    QLabel* Rulelbl = nullptr;
    QComboBox* RuleCombo = nullptr;
    QLabel* DataCount = nullptr;
    QPushButton* Store = nullptr;
    QPushButton* CheckGrid = nullptr;
    QLabel* GridOK = nullptr;
    QLabel* GridNOTOK = nullptr;
    QPushButton* Previewbtn = nullptr;
    QLabel* CanPreviewlbl = nullptr;
    QLabel* LayoutInstruction = nullptr;
    QPushButton* AddHdrBtn = nullptr;
    QPushButton* DelHdrBtn = nullptr;
    QTableView* PageLayout = nullptr;
    QWidget* BottomPanel = nullptr;
    QLabel* ZUVLogo = nullptr;
    QLabel* WebLink = nullptr;
    QLabel* Version = nullptr;
    QMenu* MapFileMenu = nullptr;
    QAction* ReadMapFile1 = nullptr;
    QAction* SaveFile1 = nullptr;
    QAction* New1 = nullptr;
    QAction* Exit1 = nullptr;
};

} // namespace vorda
