#pragma once
// The options the program answers without opening a window.
#include <QString>
#include <QStringList>

#include <optional>

namespace vorda {

// The text to print for --help or --version (-h, -v) when arguments ask for
// it, the program name excluded; nothing when the window is to start.
std::optional<QString> AnswerWithoutWindow(const QStringList& arguments);

} // namespace vorda
