#pragma once
#include "shell/Startup.h"
#include "windows/PICCore.h"
#include "units/DisplayData.h"
#include "values/ScreenState.h"

#include <QStringList>
#include <memory>

class QWidget;

namespace vorda {

class ProgramEnd;
class ProgramHistory;
class SerialLayer;
class TDisplayUnitsFrm;
class TMapMaker;
class TPICRWForm;
class TValuesReadWrite;
class UserInteraction;

// The program: its owned state and its five windows, created in order, each
// fully before the next. The program entry and the window tests both use it.
class VordaProgram {
public:
    VordaProgram(UserInteraction& ui, ProgramEnd& end, SerialLayer& serial, PlatformPaths paths,
                 QStringList arguments);
    ~VordaProgram();

    // Creates the windows and runs their creation steps. A fatal error
    // propagates as ProgramTerminated.
    void Create();
    // Shows the main window and runs until it closes (the exit code of the
    // event loop), or until SIGTERM or SIGINT end the program as a close
    // without questions (128 + the signal's number).
    int Run();

    StartupState startup;
    MeterLinkState link;
    LoadedMap map;
    ScreenFlags flags;
    DisplayUnitTables units;

    TValuesReadWrite* mainWindow() const { return main_.get(); }
    // The main window as the window the program entry shows.
    QWidget* mainWidget() const;
    TDisplayUnitsFrm* unitsDialog() const { return unitsFrm_.get(); }
    TMapMaker* mapMaker() const { return mapMaker_.get(); }
    TPICRWForm* registerBrowser() const { return picrw_.get(); }
    TPICCoreForm* core() const { return core_.get(); }
    // The meter history every event of the session goes into.
    ProgramHistory* history() const { return history_.get(); }

private:
    UserInteraction& ui_;
    ProgramEnd& end_;
    SerialLayer& serial_;
    PlatformPaths paths_;
    QStringList arguments_;
    // Outlives the main window, whose session tells it of every event.
    std::unique_ptr<ProgramHistory> history_;
    std::unique_ptr<TPICCoreForm> core_;
    std::unique_ptr<TPICRWForm> picrw_;
    std::unique_ptr<TMapMaker> mapMaker_;
    std::unique_ptr<TDisplayUnitsFrm> unitsFrm_;
    std::unique_ptr<TValuesReadWrite> main_;
};

} // namespace vorda
