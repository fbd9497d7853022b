#pragma once
#include <QString>

namespace vorda {

// A fatal error ends the program. Terminate shows the message (when there is
// one), records that the program must end and throws ProgramTerminated so the
// command unwinds to the outermost handler, which then ends the program.
class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    [[noreturn]] virtual void Terminate(const QString& message) = 0;
    // True once Terminate has been called.
    virtual bool Terminated() const = 0;
};

} // namespace vorda
