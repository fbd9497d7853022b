#include "windows/VordaProgram.h"

#include "shell/ConfigFiles.h"
#include "shell/ProgramHistory.h"
#include "windows/AccessibleRoles.h"
#include "windows/DesignFonts.h"
#include "windows/ValuesReadWriteUnt.h"
#include "windows/MapMakerUnt.h"
#include "windows/PICRW.h"
#include "windows/SetDisplayUnitsUnt.h"

#include "base/QuitSignals.h"

#include <QApplication>
#include <QComboBox>

namespace vorda {

VordaProgram::VordaProgram(UserInteraction& ui, ProgramEnd& end, SerialLayer& serial, PlatformPaths paths,
                           QStringList arguments)
    : ui_(ui), end_(end), serial_(serial), paths_(std::move(paths)), arguments_(std::move(arguments)) {}

VordaProgram::~VordaProgram() = default;

void VordaProgram::Create() {
    SubstituteDesignFonts();
    InstallAccessibleRoles();
    // Nothing is opened until the first meter event; a line that could not
    // be recorded goes to the main window, which tells it after the command.
    history_ = std::make_unique<ProgramHistory>(
        [this] { return startup.UserDir; }, paths_.historyEnv, RecordEnvironment::Current(),
        [this](const QString& line) {
            if (main_) main_->TellHistoryProblem(line);
        });
    main_ = std::make_unique<TValuesReadWrite>(
        MainWindowContext{ui_, end_, serial_, paths_, arguments_, startup, link, map, flags, units, history_.get()});
    main_->FormCreate();

    TDisplayUnitsFrm::Hooks hooks;
    TValuesReadWrite* mw = main_.get();
    hooks.SetDataRanges = [mw] { mw->Guard([mw] { mw->SetDataRanges(); }); };
    hooks.MeterConnected = [this] { return link.MeterConnected; };
    hooks.ReadEEClick = [mw] { mw->Guard([mw] { mw->ReadEEClick(); }); };
    unitsFrm_ = std::make_unique<TDisplayUnitsFrm>(units, main_->SavedUnits(), hooks);
    unitsFrm_->FormCreate(startup.StartDir, end_);

    QStringList typeNames;
    for (const QComboBox* chooser : unitsFrm_->UnitCombos()) typeNames << chooser->objectName();
    mapMaker_ = std::make_unique<TMapMaker>(MapMakerContext{
        ui_, [this] { return InUserDir(startup.UserDir, QLatin1String(kFormSettingsFileName)); }, typeNames,
        [mw](const QString& name) { mw->Guard([mw, name] { mw->ReadTempMapFile(name); }); }});
    mapMaker_->FormCreate();
    picrw_ = std::make_unique<TPICRWForm>(ui_);
    core_ = std::make_unique<TPICCoreForm>(serial_, link);
    picrw_->AttachCore(core_.get());
    picrw_->AttachActivity(&main_->Activity());
    main_->AttachWindows(unitsFrm_.get(), mapMaker_.get(), picrw_.get(), core_.get());
}

QWidget* VordaProgram::mainWidget() const { return main_.get(); }

int VordaProgram::Run() {
    // The event loop ends from the loop itself, so that the windows and the
    // serial layer go the normal way and every port is closed.
    QuitSignals quitSignals([](int signal) { QCoreApplication::exit(kSignalExitBase + signal); });
    main_->show();
    const int code = QApplication::exec();
    if (!quitSignals.Caught()) return code;
    main_->EndWithoutQuestions();
    return kSignalExitBase + quitSignals.Caught();
}

} // namespace vorda
