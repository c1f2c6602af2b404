// The model window's PDF export: the model's data sheet with its facts, the rated figures
// at the run's conditions, the envelope diagram and the performance tables.
#pragma once

#include "kv/envelope.h"
#include "kv/modeltext.h"
#include "kv/perftable.h"
#include "kv/speedrating.h"

#include <QString>

namespace kv {

// What the data sheet shows.
struct ModelSheet {
    const ModelContext& context;
    const PointRating& rated;     // at the run's conditions
    const RatingFigures& figures; // the figures beyond the rating there
    const Envelope& envelope;
    const PerfTable& table; // with the figure chosen to show, if any, as its extra figure
    // A variable-speed model's figures against speed at the point (empty otherwise).
    std::vector<SpeedRow> speeds = {};
};

// Writes the data sheet to `path` (A4); an empty text on success, else why not.
QString writeModelPdf(const QString& path, const ModelSheet& sheet);

} // namespace kv
