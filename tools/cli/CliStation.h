#pragma once
// vorda-cli station PROFILE | --golden FILE.epf: meter after meter from one
// golden set.
#include "CliCommands.h"

namespace vorda {
class CliOutput;

// Runs the station until --count meters were commissioned (for ever when
// 0) or the pause is broken off; exit 0 only when every meter passed.
int RunStation(const CliRequest& request, CliContext& context, CliOutput& out);

} // namespace vorda
