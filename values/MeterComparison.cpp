#include "values/MeterComparison.h"


namespace vorda {

bool ParameterShown(const DMap& param, bool makerAccess) {
    return makerAccess || param.Access != QLatin1String("C");
}

bool ParameterWritable(const DMap& param, bool makerAccess) {
    return makerAccess || (param.Access != QLatin1String("R") && param.Access != QLatin1String("C"));
}

FileComparison CompareMeterWithFile(const QList<DMap>& params, const ReadOutcome& meter,
                                    const QStringList& fileValues, const ValuesCheck& fileCheck, bool makerAccess,
                                    const ComparisonDisplay& display, bool tickAtFirst) {
    FileComparison out;
    const QVector<bool> changed = ChangedParameters(fileCheck.registers, meter.bytes, params);
    for (int i = 0; i < params.size(); ++i) {
        const DMap& p = params.at(i);
        if (!ParameterShown(p, makerAccess)) continue;
        const QString meterValue = meter.meterValues.value(i);
        WriteChoiceRow row;
        row.parameter = p.Parameter;
        row.unit = display.unit(p);
        row.meterText = display.text(p, meterValue);
        bool tick = false;
        if (i >= fileValues.size() || fileValues.at(i).isEmpty()) {
            // Nothing in the file to compare or to write.
            row.fileText = QStringLiteral("(none)");
            row.tickable = false;
        } else if (fileCheck.Refused(i)) {
            // A refused value is shown as the file holds it; converting it
            // might fail or show something the file does not say.
            row.fileText = fileValues.at(i) + QStringLiteral(" (invalid)");
            row.differs = fileValues.at(i) != meterValue;
            row.tickable = ParameterWritable(p, makerAccess);
        } else {
            row.fileText = display.text(p, fileValues.at(i));
            row.differs = changed.value(i);
            row.tickable = ParameterWritable(p, makerAccess);
            tick = tickAtFirst && row.differs && row.tickable;
            // Rounded alike, yet different: the exact values show why.
            if (row.differs && row.fileText == row.meterText) {
                const QString inMeterUnits = p.PType.isEmpty() ? QString() : QStringLiteral(" (meter units)");
                row.meterText = meterValue + inMeterUnits;
                row.fileText = fileValues.at(i) + inMeterUnits;
            }
            // A text that drops bytes it cannot show: the registers tell.
            if (row.differs && row.fileText == row.meterText) {
                row.meterText += QStringLiteral(" [") + RegistersText(meter.bytes.value(i)) + QStringLiteral("]");
                row.fileText += QStringLiteral(" [") + RegistersText(fileCheck.registers.value(i).Values) + QStringLiteral("]");
            }
        }
        if (row.differs) ++out.differences;
        out.indexes << i;
        out.rows << row;
        out.ticked << tick;
    }
    return out;
}

TickedWrite PlanTickedWrite(const FileComparison& comparison, const QStringList& meterValues,
                            const QStringList& fileValues, const QVector<bool>& ticked) {
    TickedWrite out;
    out.values = meterValues;
    out.selected = QVector<bool>(meterValues.size(), false);
    for (int k = 0; k < comparison.indexes.size(); ++k) {
        const int i = comparison.indexes.at(k);
        // A row the user could not tick is never written, whatever the
        // ticks say.
        if (!ticked.value(k) || !comparison.rows.at(k).tickable || i >= out.values.size()) continue;
        out.values[i] = fileValues.value(i);
        out.selected[i] = true;
    }
    return out;
}

bool SelectedValueRefused(const ValuesCheck& check, const QVector<bool>& selected) {
    for (int i = 0; i < selected.size(); ++i)
        if (selected.at(i) && check.Refused(i)) return true;
    return false;
}

QStringList DifferingAfterWrite(const QList<DMap>& params, const QVector<bool>& selected,
                                const QVector<EEValue>& written, const QVector<QVector<int>>& before,
                                const QVector<QVector<int>>& after) {
    const QVector<bool> changed = ChangedParameters(written, after, params);
    QStringList names;
    for (int i = 0; i < params.size(); ++i) {
        // A parameter not written must hold what it held before; read-only
        // ones are left out, since a meter counts its totals and the like
        // as it runs.
        const bool differs = selected.value(i) ? changed.value(i) || after.value(i).contains(-1)
                                               : params.at(i).Access != QLatin1String("R") &&
                                                     before.value(i) != after.value(i);
        if (differs) names << params.at(i).Parameter;
    }
    return names;
}

QStringList DifferingFromScreen(const QList<DMap>& params, const QVector<EEValue>& screenRegisters,
                                const QStringList& screenMeterValues, const ReadOutcome& meter) {
    const QVector<bool> changed = ChangedParameters(screenRegisters, meter.bytes, params);
    QStringList names;
    for (int i = 0; i < params.size(); ++i) {
        const bool encoded = screenRegisters.value(i).RegCount > 0;
        const bool differs = encoded ? changed.value(i) : screenMeterValues.value(i) != meter.meterValues.value(i);
        if (differs) names << params.at(i).Parameter;
    }
    return names;
}

} // namespace vorda
