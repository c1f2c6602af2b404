// The command line's variable-speed options: rate --speed and --match-capacity, and
// table --speeds (a model's figures against speed at the operating point).
#pragma once

#include "kv/calcrun.h"
#include "kv/perftable.h"
#include "kv/speedrating.h"
#include "kvcli/cli.h"

#include <iosfwd>
#include <variant>

namespace kvcli {

// The speed request of rate's options (--match-capacity in the units of --units).
std::variant<kv::SpeedRequest, UsageError> speedRequest(const CliOptions& o,
                                                        const kv::NumberFormat& fmt);

// With --speed or --match-capacity, when models are shown: how many models of the
// selection were left out for a reason of speed, per reason.
void writeSpeedSummary(std::ostream& err, const kv::CalcResult& r, const kv::SpeedRequest& request);

// table --speeds: the figures of the model against speed at the point.
int writeSpeedTable(const CliOptions& o, const kv::EngineApi& api, const kv::ModelInfo& model,
                    const kv::ConditionValues& at, const kv::NumberFormat& fmt, std::ostream& out,
                    std::ostream& err);

} // namespace kvcli
