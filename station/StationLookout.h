#pragma once
// What a station makes of each look for a meter: whether to wait (and what
// to say meanwhile), to ask before commissioning a meter done earlier in the
// shift, or to commission it.
#include "meter/MeterDetection.h"
#include "station/SeriesStation.h"
#include "station/StationWatch.h"

#include <QString>

namespace vorda {
class MeterProtocol;

enum class LookStep { Wait, AskRepeat, Commission };

struct LookDecision {
    LookStep step = LookStep::Wait;
    QString status; // what the station shows while it waits or works
};

// The meter attached now, as far as one look found it.
struct AttachedMeter {
    ConnectOutcome connect;
    bool mapOk = false;
    QString mapFile;  // the meter's map file name
    QString mapError; // why its map cannot be used
    QString serial;   // empty when it has none or it could not be read
};

class StationLookout {
public:
    // byHand: the technician asked for this meter; the last one still
    // attached is then not waited on (a repeat is still asked about).
    LookDecision Judge(const AttachedMeter& meter, const StationTally& tally, bool byHand);
    // The meter has been commissioned, or the technician chose to skip it:
    // the station waits until another one is attached.
    void Handled(const QString& serial) { rule_.Commissioned(serial); }

private:
    NewMeterRule rule_;
};

// The meter's serial number read alone, to tell one meter from the next;
// empty when the map has none or it cannot be read.
QString ReadSerialAlone(MeterProtocol& protocol, const QList<DMap>& params);

// The question before a meter already in the tally is done again.
QString RepeatQuestion(const QString& serial);

} // namespace vorda
