// Transcritical operation on the command line: `rate --pgc P --tgc T` rates the models
// with gas-cooler curves at a gas-cooler pressure and outlet temperature, `table --tgc T`
// gives a model's figures over gas-cooler pressure, both with the pressure of the highest
// COP. Pressures in bar (--units si) or psia (imperial), absolute.
#pragma once

#include "kv/gascooler.h"
#include "kvcli/cli.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace kvcli {

// True when the options name a transcritical point or range (--pgc, --tgc, --pgc-*).
bool wantsTranscritical(const CliOptions& o);

// The usage error of transcritical options that don't go together, before anything runs.
std::optional<UsageError> transcriticalUsage(const CliOptions& o, const kv::NumberFormat& fmt);

// Runs `rate` or `table` at the transcritical point of the options on the bound engine.
int runTranscritical(const CliOptions& o, const kv::EngineApi& api, const kv::ConditionTexts& texts,
                     const kv::NumberFormat& fmt, std::ostream& out, std::ostream& err);

using kv::transcriticalReason;

} // namespace kvcli
