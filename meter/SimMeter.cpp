#include "SimMeter.h"

#include "meter/MeterProtocol.h"
#include "base/TextFiles.h"

#include <QSaveFile>

#include <algorithm>

namespace vorda {

SimMeter::SimMeter() : SimMeter(QVector<quint8>()) {}

SimMeter::SimMeter(const QVector<quint8>& factoryImage)
    : regs_(normalised(factoryImage)), factory_(regs_) {}

QVector<quint8> SimMeter::normalised(const QVector<quint8>& image) {
    QVector<quint8> r = image.mid(0, kRegisterCount);
    r.resize(kRegisterCount); // new entries are 0
    return r;
}

void SimMeter::setRegisters(const QVector<quint8>& image) { regs_ = normalised(image); }
void SimMeter::setFactoryImage(const QVector<quint8>& image) { factory_ = normalised(image); }

void SimMeter::setFaults(const Faults& f) {
    faults_ = f;
    handshakeSkipped_ = false;
}

void SimMeter::resync() { pendingCount_ = 0; }

void SimMeter::clearLog() { log_.clear(); }

QByteArray SimMeter::feed(const QByteArray& bytes) {
    QByteArray out;
    for (const char ch : bytes) {
        const quint8 b = static_cast<quint8>(ch);
        if (pendingCount_ > 0) {
            pending_[pendingCount_++] = b;
            if (pendingCount_ == 3) {
                pendingCount_ = 0;
                out += command(QByteArray(reinterpret_cast<const char*>(pending_), 3));
            }
            continue;
        }
        if (b == 0 || b == 1) { // start of a register command
            pending_[0] = b;
            pendingCount_ = 1;
            continue;
        }
        out += command(QByteArray(1, static_cast<char>(b)));
    }
    return out;
}

// Executes one complete command and returns its reply.
QByteArray SimMeter::command(const QByteArray& bytes) {
    Command entry{bytes, QByteArray()};
    QByteArray& reply = entry.reply;
    if (!faults_.silent) {
        const quint8 first = static_cast<quint8>(bytes[0]);
        if (bytes.size() == 3) {
            const quint8 reg = static_cast<quint8>(bytes[1]);
            const quint8 value = static_cast<quint8>(bytes[2]);
            if (!faults_.failRegisters.contains(reg)) {
                if (first == 0) {
                    if (!faults_.ignoreWrites.contains(reg)) regs_[reg] = value;
                    ++writes_;
                    if (!faults_.loseWriteReplies.contains(reg)) reply = bytes;
                } else {
                    ++reads_;
                    reply = bytes;
                    reply[2] = static_cast<char>(regs_[reg]);
                }
                if (faults_.wrongEcho && !reply.isEmpty()) reply[1] = static_cast<char>(static_cast<quint8>(reg + 1));
                if (faults_.shortReplies && !reply.isEmpty()) reply.truncate(2);
            }
        } else if (first == kHandshakeSent) {
            ++handshakes_;
            bool answer = !faults_.noHandshakeReply;
            if (faults_.secondHandshakeOnly) {
                handshakeSkipped_ = !handshakeSkipped_;
                if (handshakeSkipped_) answer = false;
            }
            if (answer)
                reply = QByteArray(1, static_cast<char>(faults_.badHandshake ? 0x00 : kHandshakeReply));
        } else if (first == kFactoryResetByte) {
            if (!faults_.noResetReply) {
                ++resets_;
                regs_ = factory_;
                reply = bytes;
            }
        } else if (first == kSignOffByte) {
            ++signOffs_;
            reply = bytes;
        }
        // Any other byte is ignored.
    }
    log_.append(entry);
    return reply;
}

namespace {

void Put(QVector<quint8>& image, qint64 reg, quint8 v) {
    if (reg >= 0 && reg < SimMeter::kRegisterCount) image[static_cast<int>(reg)] = v;
}

} // namespace

QVector<quint8> FactoryImageFromMap(const QList<DMap>& params, int mapNumber) {
    QVector<quint8> image(SimMeter::kRegisterCount, 0);
    int index = 0;
    for (const DMap& p : params) {
        ++index;
        const qint64 start = p.Startreg;
        const qint64 span = qint64(p.EndReg) - start + 1;
        if (start < 0 || span <= 0) continue;
        // An integer format the meter does not know gets no value: no value
        // of it would pass the data check.
        if (IsKnownIntegerFormat(p.Format)) {
            const int rpv = RegistersPerValue(p.Format);
            const qint64 count = std::min<qint64>(p.Capacity, span / rpv);
            if (count <= 0) continue;
            // Register integers far below the format maximum, so that scaling,
            // unit conversion and rounding keep them in range.
            const qint64 base = rpv == 1 ? 10 : rpv == 2 ? 100 : 1000;
            const qint64 spread = rpv == 1 ? 100 : rpv == 2 ? 1000 : 100000;
            const qint64 limit = rpv == 1 ? 255 : rpv == 2 ? 65535 : 4294967295LL;
            const qint64 step = count > 1 ? std::max<qint64>(1, spread / (count - 1)) : 0;
            const bool descending = p.Rule == QLatin1String("D");
            for (qint64 k = 0; k < count; ++k) {
                const qint64 pos = descending ? count - 1 - k : k;
                const qint64 n = std::min(limit, base + (index % 7) + step * pos);
                for (int b = 0; b < rpv; ++b)
                    Put(image, start + k * rpv + b,
                        static_cast<quint8>((n >> (8 * (rpv - 1 - b))) & 0xFF));
            }
        } else if (p.Format == QLatin1String("ASCII")) {
            const qint64 count = std::min<qint64>(p.Capacity, span);
            QByteArray text;
            for (const QChar c : p.Parameter)
                if (c.unicode() >= 32 && c.unicode() <= 126) text += static_cast<char>(c.unicode());
            text = text.trimmed();
            if (text.isEmpty()) text = "VORDA";
            for (qint64 k = 0; k < count && k < text.size(); ++k)
                Put(image, start + k, static_cast<quint8>(text[static_cast<int>(k)]));
        } else if (p.Format == QLatin1String("Hex")) {
            const qint64 count = std::min<qint64>(p.Capacity, span);
            for (qint64 k = 0; k < count; ++k)
                Put(image, start + k, static_cast<quint8>((0xA0 + 0x11 * k + index) & 0xFF));
        }
    }
    image[kMapNumberRegister] = static_cast<quint8>(mapNumber & 0xFF);
    return image;
}

bool ReadRegisterFile(const QString& path, QVector<quint8>* registers, QString* error) {
    // 256 short lines; a megabyte is far more than any register file.
    QByteArray bytes;
    if (!ReadFileBytes(path, 1024 * 1024, &bytes, error)) return false;
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    QVector<quint8> values;
    int lineNo = 0;
    for (const QByteArray& raw : std::as_const(lines)) {
        ++lineNo;
        const QByteArray line = raw.trimmed();
        if (line.isEmpty()) continue;
        bool ok = false;
        const int v = line.toInt(&ok);
        if (!ok || v < 0 || v > 255 || values.size() >= SimMeter::kRegisterCount) {
            if (error)
                *error = QStringLiteral("%1 line %2: %3")
                             .arg(path)
                             .arg(lineNo)
                             .arg(ok && v >= 0 && v <= 255 ? QStringLiteral("more than 256 values")
                                                           : QStringLiteral("not a value 0..255"));
            return false;
        }
        values.append(static_cast<quint8>(v));
    }
    if (values.size() != SimMeter::kRegisterCount) {
        if (error) *error = QStringLiteral("%1: %2 values instead of 256").arg(path).arg(values.size());
        return false;
    }
    *registers = values;
    return true;
}

bool WriteRegisterFile(const QString& path, const QVector<quint8>& registers, QString* error) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error) *error = path + QStringLiteral(": ") + f.errorString();
        return false;
    }
    QByteArray text;
    for (int r = 0; r < SimMeter::kRegisterCount; ++r)
        text += QByteArray::number(r < registers.size() ? registers[r] : 0) + '\n';
    f.write(text);
    if (!f.commit()) {
        if (error) *error = path + QStringLiteral(": ") + f.errorString();
        return false;
    }
    return true;
}

} // namespace vorda
