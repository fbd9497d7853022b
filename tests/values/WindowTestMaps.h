#pragma once
// Small maps written into the user folder and opened on the main window,
// for the window tests of the parameter screen.
#include "tests/support/ProgramFixture.h"
#include "base/TextFiles.h"
#include "maps/MapFile.h"
#include "tests/support/MapBuilders.h"
#include "windows/PaletteColours.h"
#include "windows/SetDisplayUnitsUnt.h"

#include <QApplication>

#include <QAbstractButton>
#include <QComboBox>
#include <QFileInfo>
#include <QScrollArea>

namespace vorda::test {

class WindowTest : public ProgramTest {
protected:
    // Starts the program with maker access (the "Maps" commands need it).
    void StartMaker() { ASSERT_TRUE(Create({"/UserIsZUV"})); }

    QString UserFile(const QString& name) const { return program->startup.UserDir + name; }

    // Writes a map into the user folder; the full path.
    QString WriteMap(const QString& name, const QList<DMap>& params, const QList<MapHeader>& headers = {}) {
        QString error;
        const QString path = UserFile(name);
        EXPECT_TRUE(WriteMapFileContent(path, params, headers, &error)) << error.toStdString();
        return path;
    }
    // Writes raw lines (CR LF) as a file in the user folder; the full path.
    QString WriteRaw(const QString& name, const QStringList& lines) {
        QFile f(UserFile(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        for (const QString& l : lines) f.write(l.toLatin1() + "\r\n");
        return f.fileName();
    }
    // "Open Map File ..." on a file chosen in the dialog.
    void OpenMap(const QString& path) {
        ui.choosePath(path);
        Trigger("ReadMapFile");
    }
    void OpenMap(const QString& name, const QList<DMap>& params, const QList<MapHeader>& headers = {}) {
        OpenMap(WriteMap(name, params, headers));
    }

    TDisplayUnitsFrm* Units() const { return program->unitsDialog(); }
    QComboBox* Combo(const QString& type) const {
        for (QComboBox* c : Units()->UnitCombos())
            if (c->objectName() == type) return c;
        ADD_FAILURE() << "no unit box " << type.toStdString();
        return nullptr;
    }
    QLabel* Status() const { return Find<QLabel>("CheckDataResult"); }
    QColor TextColour(const QWidget* w) const { return w->palette().color(QPalette::Text); }
    QColor LabelColour(const QWidget* w) const { return w->palette().color(QPalette::WindowText); }
    // The colour a mark gives a label or a box in the program's palette.
    static QColor LabelMark(Mark mark) { return MarkColour(QApplication::palette(), mark, QPalette::Window); }
    static QColor BoxMark(Mark mark) { return MarkColour(QApplication::palette(), mark, QPalette::Base); }
    QWidget* ScrollContent() const { return Find<QScrollArea>("ScrollArea")->widget(); }
    // What the user was told or asked, without the file dialogs.
    QStringList Said() const {
        QStringList out;
        for (const auto& s : ui.shown)
            if (s.kind == "message" || s.kind == "error" || s.kind == "confirm" || s.kind == "yesno") out << s.text;
        return out;
    }
    void Press(const QString& buttonName) { Find<QAbstractButton>(buttonName)->click(); }
    // Makes params the user directory's map 5 (under the name the folder
    // already has for it), attaches a meter of that map and connects.
    void ConnectMeterOfMap(const QList<DMap>& params, const QList<MapHeader>& headers = {}) {
        const QString existing = FindFileNoCase(program->startup.UserDir, "ZUVMap5.Map");
        WriteMap(existing.isEmpty() ? QString("ZUVMap5.Map") : QFileInfo(existing).fileName(), params, headers);
        meters.push_back(std::make_unique<SimMeter>(FactoryImageFromMap(params, 5)));
        serial.attach(0, meters.back().get());
        Press("TestConnbtn");
    }
};

} // namespace vorda::test
