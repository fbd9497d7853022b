#pragma once
// Seams for benchmarks: every question answered OK, nothing shown but
// errors, which go to the error stream.
#include "base/ProgramEnd.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace vorda::bench {

class SilentInteraction : public UserInteraction {
public:
    void ShowMessage(const QString&) override {}
    void ShowError(const QString& text) override { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }
    bool Confirm(const QString&) override { return true; }
    bool AskYesNo(const QString&) override { return true; }
    QString OpenFileName(const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseFolder(const QString&, const QString&) override { return {}; }
    bool OpenWithDesktop(const QString&) override { return true; }
};

class SilentEnd : public ProgramEnd {
public:
    [[noreturn]] void Terminate(const QString& message) override {
        std::fprintf(stderr, "program ended: %s\n", qPrintable(message));
        throw ProgramTerminated();
    }
    bool Terminated() const override { return false; }
};

// The platform: the display when there is one (run under xvfb-run -a for a
// shown window that really paints), otherwise offscreen.
inline void ChoosePlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Benchmarks take each figure twice, in the same run: with the window
// hidden (argument 0) and shown on the display (argument 1).
inline const char* kWindowArg = "shown";
inline bool Shown(int arg) { return arg != 0; }

// Shows the window and waits until the display has it on screen and painted.
inline void ShowAndWait(QWidget* w) {
    w->show();
    while (!w->windowHandle() || !w->windowHandle()->isExposed()) QApplication::processEvents();
    QApplication::processEvents();
}

inline void SetShown(QWidget* w, bool shown) {
    if (shown)
        ShowAndWait(w);
    else
        w->hide();
}

// Figures printed side by side at the end of the run: one row per thing
// timed, one column per way it was timed (the median of its repetitions),
// each with its ratio to the row's reference: a time of its own (the wire
// time) or, when none is given, the row's first column.
class Figures {
public:
    static void Record(const std::string& row, const std::string& column, double ms, double referenceMs = 0,
                       const std::string& referenceName = "wire time") {
        Table& t = table();
        if (!t.cells.count(row)) t.rows.push_back(row);
        std::vector<Cell>& cells = t.cells[row];
        auto it = std::find_if(cells.begin(), cells.end(), [&](const Cell& c) { return c.column == column; });
        if (it == cells.end()) it = cells.insert(cells.end(), Cell{column, {}});
        it->samples.push_back(ms);
        if (referenceMs > 0) {
            t.reference[row] = referenceMs;
            t.referenceName[row] = referenceName;
        }
    }
    static void Print() {
        const Table& t = table();
        if (t.rows.empty()) return;
        std::printf("\nFigures: median and least of the repetitions (platform %s; ratio to the reference in brackets)\n",
                    qPrintable(QGuiApplication::platformName()));
        for (const std::string& row : t.rows) {
            const std::vector<Cell>& cells = t.cells.at(row);
            const bool own = t.reference.count(row) > 0;
            const double reference = own ? t.reference.at(row) : Median(cells.front().samples);
            const double referenceLeast = own ? reference : Least(cells.front().samples);
            std::printf("  %s: reference %.1f ms (%s)\n", row.c_str(), reference, own ? t.referenceName.at(row).c_str() : cells.front().column.c_str());
            for (const Cell& c : cells) {
                const double ms = Median(c.samples);
                const double least = Least(c.samples);
                std::printf("    %-34s median %8.1f ms (%.3f)   least %8.1f ms (%.3f)\n", c.column.c_str(), ms,
                            ms / reference, least, least / referenceLeast);
            }
        }
        std::fflush(stdout);
    }

private:
    struct Cell {
        std::string column;
        std::vector<double> samples;
    };
    struct Table {
        std::vector<std::string> rows;
        std::map<std::string, std::vector<Cell>> cells;
        std::map<std::string, double> reference;
        std::map<std::string, std::string> referenceName;
    };
    static double Median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
    }
    static double Least(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
    static Table& table() {
        static Table t;
        return t;
    }
};

// Runs the benchmarks named on the command line, then prints the figures
// side by side. The application must exist already.
inline int RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Figures::Print();
    return 0;
}

} // namespace vorda::bench
