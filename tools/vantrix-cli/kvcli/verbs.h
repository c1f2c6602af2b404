// The verbs that show one model: `envelope` (its operating envelope as CSV polygons or
// SVG) and `table` (its performance table), and the summary `rate` gives when no model
// is left.
#pragma once

#include "kvcli/cli.h"

#include "kv/perftable.h"

#include <iosfwd>
#include <optional>

namespace kvcli {

// Runs `envelope` or `table` on the bound engine with the conditions of the options.
int runVerb(const CliOptions& o, const kv::EngineApi& api, const kv::ConditionTexts& texts,
            const kv::NumberFormat& fmt, std::ostream& out, std::ostream& err);

// The model of --model; none, with the message on `err`, where the catalogue has none of
// that name.
std::optional<kv::ModelInfo> modelNamed(const CliOptions& o, const kv::EngineApi& api,
                                        std::ostream& err);

// How many models matched the selection and, per reason, how many were left out.
void writeLeftOutSummary(std::ostream& err, const kv::CalcResult& r, kv::Frequency frequency);

} // namespace kvcli
