#pragma once
#include "maps/DMap.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QVector>

namespace vorda {

// A meter in software: 256 register bytes, a factory-default image and the
// meter's side of the serial protocol as a byte-stream state machine. Used by
// the test serial layer, the simulator program and the benchmarks.
class SimMeter {
public:
    static constexpr int kRegisterCount = 256;

    // Fault switches. All off by default.
    struct Faults {
        bool silent = false;              // never answers anything, executes nothing
        bool badHandshake = false;        // answers 0x55 with 0x00
        bool noHandshakeReply = false;    // 0x55 gets no answer
        bool secondHandshakeOnly = false; // of two consecutive handshakes the first gets no answer
        bool shortReplies = false;        // register replies carry only their first two bytes
        bool wrongEcho = false;           // register number echoed + 1
        bool noResetReply = false;        // 0x04 is neither executed nor answered
        int replyDelayMs = 0;             // replies come this late (applied by the carrier)
        QSet<int> failRegisters;          // exchanges on these registers get no reply
        QSet<int> ignoreWrites;           // writes to these registers are echoed but not stored
        QSet<int> loseWriteReplies;       // writes to these registers are stored but not echoed
    };

    // One command as the meter understood it.
    struct Command {
        QByteArray bytes; // 1 byte (0x55, 0x04, 0x02) or 3 bytes (fn, reg, value)
        QByteArray reply; // what was answered (empty: nothing)
    };

    // Starts with all registers 0 as factory image.
    SimMeter();
    // Starts from factoryImage (padded with 0 / cut to 256 registers).
    explicit SimMeter(const QVector<quint8>& factoryImage);

    // Feeds received bytes; returns the bytes the meter sends back.
    QByteArray feed(const QByteArray& bytes);
    // Drops a half-received register command, as the meter's inter-byte
    // time-out does.
    void resync();
    bool midCommand() const { return pendingCount_ > 0; }

    // Fault switches; replacing them restarts the handshake alternation.
    const Faults& faults() const { return faults_; }
    void setFaults(const Faults& f);
    Faults& mutableFaults() { return faults_; }

    quint8 reg(int r) const { return regs_[r & 0xFF]; }
    void setReg(int r, quint8 v) { regs_[r & 0xFF] = v; }
    const QVector<quint8>& registers() const { return regs_; }
    void setRegisters(const QVector<quint8>& image);
    const QVector<quint8>& factoryImage() const { return factory_; }
    void setFactoryImage(const QVector<quint8>& image);

    // Counters for tests.
    int registerWrites() const { return writes_; }
    int registerReads() const { return reads_; }
    int handshakes() const { return handshakes_; }
    int factoryResets() const { return resets_; }
    int signOffs() const { return signOffs_; }
    const QList<Command>& commandLog() const { return log_; }
    void clearLog();

private:
    QByteArray command(const QByteArray& bytes);
    static QVector<quint8> normalised(const QVector<quint8>& image);

    QVector<quint8> regs_;
    QVector<quint8> factory_;
    Faults faults_;
    bool handshakeSkipped_ = false; // alternation state of secondHandshakeOnly
    quint8 pending_[3] = {0, 0, 0};
    int pendingCount_ = 0;
    int writes_ = 0;
    int reads_ = 0;
    int handshakes_ = 0;
    int resets_ = 0;
    int signOffs_ = 0;
    QList<Command> log_;
};

// A register image with plausible values for every parameter of a map, values
// that pass the data check: integers well inside their format's range
// (ascending under rule "A", descending under "D"), ASCII texts made from the
// parameter name, a few bytes for Hex; register 200 holds mapNumber, every
// other register is 0.
QVector<quint8> FactoryImageFromMap(const QList<DMap>& params, int mapNumber);

// Register files of the simulator: 256 lines, one decimal value 0..255 each.
// Reading accepts LF and CR LF and ignores empty lines; false with *error when
// the file cannot be read or does not hold exactly 256 values.
bool ReadRegisterFile(const QString& path, QVector<quint8>* registers, QString* error);
bool WriteRegisterFile(const QString& path, const QVector<quint8>& registers, QString* error);

} // namespace vorda
