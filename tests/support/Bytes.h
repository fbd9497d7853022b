#pragma once
#include <QByteArray>
#include <initializer_list>

namespace vorda::test {

// A byte string from a list of byte values.
inline QByteArray B(std::initializer_list<int> bytes) {
    QByteArray a;
    for (int b : bytes) a += static_cast<char>(b);
    return a;
}

} // namespace vorda::test
