// The display units dialog as the main window uses it: the lock, the menu
// toggle, unit picks, the starting choices and many types.
#include "WindowTestMaps.h"

#include "shell/ConfigFiles.h"
#include "base/TextFiles.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

namespace vorda::test {
namespace {

const QString kDegC = QString::fromUtf8("\xC2\xB0" "C");
const QString kDegF = QString::fromUtf8("\xC2\xB0" "F");

class UnitsWindowTest : public WindowTest {
protected:
    // A map with one typed parameter and one whose type the display data
    // does not know: every run of the derivation then says so once.
    void OpenCountingMap() {
        OpenMap("ZUVMAP12.map", {Param(0, 1, "Max Temp", "Int16", "1", 1, "1", "", "", "Temperature"),
                                 Param(2, 2, "Odd", "Int8", "1", 1, "2", "", "", "Viscosity")});
    }
    int Derivations() const {
        return int(ui.texts("message").count("Invalid Parameter Type: Viscosity for Parameter: Odd. Please correct before proceeding"));
    }
    void WriteDisplayData(const QStringList& entries) {
        QString error;
        ASSERT_TRUE(WriteTextLines(paths.StartDir() + "VORDADisplayData.txt", QStringList{"title", "PType\tUnits\tMtoD\tDtoM"} + entries, &error))
            << error.toStdString();
    }
    void WriteSavedUnits(const QList<UnitRow>& rows) {
        ConfigData data;
        data.savedUnits = rows;
        QDir().mkpath(paths.DefaultUserDir());
        QString error;
        ASSERT_TRUE(WriteTextLines(paths.DefaultUserDir() + "VORDAConfig.txt", ConfigLines(data), &error)) << error.toStdString();
    }
    QPushButton* CloseButton() const { return Units()->findChild<QPushButton*>("Closebtn"); }
};

TEST_F(UnitsWindowTest, EveryChangeOfAUnitBoxRederivesTheScreenOnce) {
    StartMaker();
    OpenCountingMap();
    ASSERT_EQ(Derivations(), 1); // the screen build
    QComboBox* temp = Combo("Temperature");
    ASSERT_NE(temp, nullptr);
    ASSERT_TRUE(Units()->isEnabled());
    QTest::keyClicks(temp->lineEdit(), "abc");
    EXPECT_EQ(Derivations(), 4);
    // None of the typed texts is a unit: the row stays as it was.
    EXPECT_EQ(program->units.CurrentUnits[Units()->GetComboNumber("Temperature")].Units, kDegC);
    temp->setCurrentIndex(temp->findText(kDegF));
    EXPECT_EQ(Derivations(), 5);
    EXPECT_EQ(program->units.CurrentUnits[Units()->GetComboNumber("Temperature")].Units, kDegF);
    // The derivation stops at the unknown type, after the first row.
    EXPECT_EQ(mw()->NameLabels()[0]->text(), "Max Temp [Temperature in " + kDegF + "]");
    EXPECT_EQ(mw()->AttrLabels()[0]->text(), "1 integer value 32 - 118000");
}

TEST_F(UnitsWindowTest, TypingAUnitNameTakesItWhenItIsComplete) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 1, "Level", "Int16", "1", 1, "1", "", "", "Pressure")});
    QComboBox* box = Combo("Pressure");
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), "ps");
    EXPECT_EQ(program->units.CurrentUnits[Units()->GetComboNumber("Pressure")].Units, "kPa");
    EXPECT_EQ(mw()->NameLabels()[0]->text(), "Level [Pressure in kPa]");
    QTest::keyClicks(box->lineEdit(), "i");
    const UnitRow& row = program->units.CurrentUnits[Units()->GetComboNumber("Pressure")];
    EXPECT_EQ(row.Units, "psi");
    EXPECT_EQ(row.MtoD, "M*14503774/100000000");
    EXPECT_EQ(mw()->NameLabels()[0]->text(), "Level [Pressure in psi]");
    EXPECT_EQ(mw()->AttrLabels()[0]->text(), "1 integer value 0 - 9505");
}

TEST_F(UnitsWindowTest, WithoutAConfigurationEveryTypeStartsWithItsFirstUnit) {
    ASSERT_TRUE(Create());
    ASSERT_FALSE(QFile::exists(program->startup.UserDir + "VORDAConfig.txt"));
    QStringList lines;
    QString error;
    ASSERT_TRUE(ReadTextLines(paths.StartDir() + "VORDADisplayData.txt", &lines, &error));
    const QList<DisplayDataType> data = ParseDisplayData(lines);
    QStringList types;
    for (const DisplayDataType& d : data)
        if (!types.contains(d.PType)) types << d.PType;
    ASSERT_EQ(Units()->UnitCombos().size(), types.size());
    ASSERT_EQ(program->units.TypeCount(), types.size());
    for (int k = 0; k < types.size(); ++k) {
        SCOPED_TRACE(types[k].toStdString());
        const auto first = std::find_if(data.begin(), data.end(), [&](const DisplayDataType& d) { return d.PType == types[k]; });
        QComboBox* box = Units()->UnitCombos()[k];
        EXPECT_EQ(box->objectName(), types[k]);
        EXPECT_EQ(box->currentText(), first->Units);
        EXPECT_EQ(program->units.CurrentUnits[k], (UnitRow{first->PType, first->MtoD, first->DtoM, first->Units}));
        EXPECT_EQ(box->geometry().topLeft(), QPoint(100, 80 + 40 * k));
        EXPECT_EQ(box->width(), 160);
    }
    EXPECT_EQ(Combo("Flow")->currentText(), "l/s");
    EXPECT_EQ(Combo("Temperature")->currentText(), kDegC);
}

TEST_F(UnitsWindowTest, TwoSavedRowsGiveTheFirstTwoTypesTheirUnits) {
    WriteDisplayData({"Flow\tl/s\tM\tD", "Flow\tl/min\tM*60\tD/60", "Temperature\tC\tM\tD", "Temperature\tF\tM*9/5+32\tD-32*5/9",
                      "Length\tmm\tM\tD", "Length\tin\tM/25.4\tD*25.4"});
    WriteSavedUnits({{"Flow", "M*60", "D/60", "l/min"}, {"Temperature", "M*9/5+32", "D-32*5/9", "F"}});
    ASSERT_TRUE(Create());
    ASSERT_EQ(program->units.TypeCount(), 3);
    EXPECT_EQ(program->units.CurrentUnits[0], (UnitRow{"Flow", "M*60", "D/60", "l/min"}));
    EXPECT_EQ(program->units.CurrentUnits[1], (UnitRow{"Temperature", "M*9/5+32", "D-32*5/9", "F"}));
    EXPECT_EQ(program->units.CurrentUnits[2], (UnitRow{"Length", "M", "D", "mm"}));
    EXPECT_EQ(Combo("Flow")->currentText(), "l/min");
    EXPECT_EQ(Combo("Temperature")->currentText(), "F");
    EXPECT_EQ(Combo("Length")->currentText(), "mm");
    EXPECT_EQ(Combo("Temperature")->count(), 2);
}

TEST_F(UnitsWindowTest, TheLockFollowsTheValuesOnScreen) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 0, "Count", "Int8", "1", 1, "1")});
    QLabel* warning = Units()->WarningLabel();
    EXPECT_EQ(warning->text(), "Can change Display Units - no values are loaded in main data screen");
    EXPECT_EQ(LabelColour(warning), LabelMark(Mark::Plain));
    Trigger("SetDisplayUnits1");
    Trigger("SetDisplayUnits1");
    ASSERT_TRUE(Units()->isVisible());
    QTest::keyClicks(Box(0), "4");
    EXPECT_FALSE(Units()->isVisible());
    EXPECT_FALSE(Units()->isEnabled());
    EXPECT_EQ(LabelColour(warning), LabelMark(Mark::Refused));
    EXPECT_TRUE(warning->text().endsWith("Click Set Display Units on the main form to hide this"));
    EXPECT_FALSE(mw()->DisplayUnitsShown);
    // The whole warning fits the dialog.
    EXPECT_LE(warning->geometry().right(), Units()->findChild<QScrollArea*>("UnitsScroll")->widget()->width());

    ui.clear();
    Trigger("SetDisplayUnits1");
    EXPECT_EQ(Said(), QStringList{"Clear Screen Data (Data / Clear Data) before Setting Dislay Units"});
    EXPECT_FALSE(Units()->isVisible());
    EXPECT_FALSE(Units()->isEnabled());

    // After clearing, the first press only clears the flag.
    Trigger("ClearData1");
    EXPECT_TRUE(Units()->isEnabled());
    EXPECT_FALSE(Units()->isVisible()); // freeing the dialog does not show it
    EXPECT_EQ(LabelColour(warning), LabelMark(Mark::Plain));
    ui.clear();
    Trigger("SetDisplayUnits1");
    EXPECT_FALSE(Units()->isVisible());
    Trigger("SetDisplayUnits1");
    EXPECT_TRUE(Units()->isVisible());
    EXPECT_TRUE(Said().isEmpty());
}

TEST_F(UnitsWindowTest, ClosingWithoutAMeterDoesNothingMore) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 0, "Count", "Int8", "1", 1, "1", "", "", "Flow")});
    Trigger("SetDisplayUnits1");
    Trigger("SetDisplayUnits1");
    ASSERT_TRUE(Units()->isVisible());
    ui.clear();
    const int calls = int(serial.calls().size());
    CloseButton()->click();
    EXPECT_FALSE(Units()->isVisible());
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(int(serial.calls().size()), calls);
    EXPECT_TRUE(Box(0)->text().isEmpty());
    EXPECT_TRUE(mw()->DisplayUnitsShown); // so the next press only clears it
}

TEST_F(UnitsWindowTest, ClosingWhileConnectedReadsTheMeterInTheNewUnit) {
    AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    Press("TestConnbtn");
    ASSERT_TRUE(program->link.MeterConnected);
    int typed = -1;
    for (int i = 0; i < program->map.MapParamCount(); ++i)
        if (program->map.MapParams[i].PType == "Temperature") typed = i;
    ASSERT_GE(typed, 0);
    const QString celsius = Box(typed)->text();
    ASSERT_FALSE(celsius.isEmpty());
    Trigger("ClearData1");
    Trigger("SetDisplayUnits1");
    Trigger("SetDisplayUnits1");
    ASSERT_TRUE(Units()->isVisible());
    Combo("Temperature")->setCurrentIndex(Combo("Temperature")->findText(kDegF));
    ui.clear();
    CloseButton()->click();
    EXPECT_TRUE(ui.texts("message").contains("Meter read successfully"));
    bool ok = false;
    const double shown = Box(typed)->text().toDouble(&ok);
    ASSERT_TRUE(ok) << Box(typed)->text().toStdString();
    EXPECT_NEAR(shown, celsius.toDouble() * 9 / 5 + 32, 0.01);
    EXPECT_EQ(Status()->text(), "Data OK");
    EXPECT_FALSE(Units()->isVisible());
}

TEST_F(UnitsWindowTest, ManyTypesStayReachableInsideTheDialog) {
    QStringList entries;
    for (int t = 0; t < 30; ++t) entries << QStringLiteral("Type%1\tu%1\tM\tD").arg(t) << QStringLiteral("Type%1\tv%1\tM*2\tD/2").arg(t);
    WriteDisplayData(entries);
    StartMaker();
    ASSERT_EQ(Units()->UnitCombos().size(), 30);
    Units()->show();
    auto* scroll = Units()->findChild<QScrollArea*>("UnitsScroll");
    ASSERT_NE(scroll, nullptr);
    // The dialog stays within the screen and scrolls over its rows.
    EXPECT_LE(Units()->height(), QGuiApplication::primaryScreen()->availableGeometry().height());
    EXPECT_EQ(scroll->geometry(), Units()->rect());
    QList<QWidget*> rows;
    for (QComboBox* c : Units()->UnitCombos()) rows << c;
    for (QLabel* l : Units()->findChildren<QLabel*>(QRegularExpression("^TypeLabel"))) rows << l;
    rows << CloseButton();
    ASSERT_EQ(rows.size(), 61);
    QScrollBar* bar = scroll->verticalScrollBar();
    // Scrolling just far enough brings each row fully into view.
    const auto reachable = [&](QWidget* w) {
        bar->setValue(std::max(0, w->geometry().bottom() + 1 - scroll->viewport()->height()));
        const QRect inViewport(w->mapTo(scroll->viewport(), QPoint(0, 0)), w->size());
        return scroll->viewport()->rect().contains(inViewport);
    };
    for (QWidget* w : rows) EXPECT_TRUE(reachable(w)) << w->objectName().toStdString();
    // Rows do not overlap: the type labels sit beside their boxes, Close below them all.
    EXPECT_GT(CloseButton()->y(), Units()->UnitCombos().last()->geometry().bottom());
    // A resized dialog keeps its rows scrolling inside it.
    Units()->resize(420, 250);
    EXPECT_EQ(scroll->geometry(), Units()->rect());
    EXPECT_TRUE(reachable(CloseButton()));
    EXPECT_TRUE(reachable(Units()->UnitCombos().first()));
}

} // namespace
} // namespace vorda::test
