// The commissioning record of a connection.
#include "values/Commissioning.h"

namespace vorda {

void CommissioningRecord::Begin(int com, const QString& map, int number) {
    *this = CommissioningRecord{};
    comNumber = com;
    mapFile = map;
    mapNumber = number;
}

void CommissioningRecord::MeterRead(const QStringList& meterValues) {
    if (!asFoundTaken) {
        asFoundTaken = true;
        asFound = meterValues;
    }
    asLeftTaken = true;
    asLeft = meterValues;
}

void CommissioningRecord::MeterVerified(const QStringList& differingNames) {
    differing = differingNames;
    verification = differingNames.isEmpty() ? Verification::Verified : Verification::Differences;
}

void CommissioningRecord::VerificationBroken() {
    verification = Verification::NotVerified;
    differing.clear();
}

} // namespace vorda
