#include "app/ProgramOptions.h"

#include "base/Version.h"

namespace vorda {

std::optional<QString> AnswerWithoutWindow(const QStringList& arguments) {
    for (const QString& a : arguments) {
        if (a == QLatin1String("--version") || a == QLatin1String("-v"))
            return QStringLiteral("vorda ") + QLatin1String(kVersionText) + QLatin1Char('\n');
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return QStringLiteral(
                "Usage: vorda [/UserIsZUV [/FourSigFigs] | /MaOfs [/FourSigFigs]]\n"
                "Reads and writes the parameters of a flow meter on a serial port.\n"
                "\n"
                "  /UserIsZUV     maker access: every parameter, the map editor and the register browser\n"
                "  /MaOfs         maker access and the mA output calibration of a series of meters\n"
                "  /FourSigFigs   after one of them: round to four significant figures\n"
                "  -h, --help     this text\n"
                "  -v, --version  the program's version\n"
                "\n"
                "The command line tool vorda-cli does the meter work from a script.\n");
    }
    return std::nullopt;
}

} // namespace vorda
