#pragma once
#include <QString>
#include <stdexcept>

namespace vorda {

// An error the user's command cannot go on from (a text that is no number,
// a file that cannot be opened). It ends the command; the handler wrapper
// shows its text in an error message box and the program carries on.
class UserError : public std::runtime_error {
public:
    explicit UserError(const QString& text)
        : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

// Thrown by ProgramEnd::Terminate to unwind to the outermost handler.
class ProgramTerminated : public std::exception {
public:
    const char* what() const noexcept override { return "program terminated"; }
};

} // namespace vorda
