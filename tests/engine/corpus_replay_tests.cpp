// Replays the fuzzing corpus of the catalogue loader, so that every build covers it.
#include "catalogue_exercise.h"
#include "corpus_replay.h"

TEST(FuzzCorpus, EveryInputLoadsAndAnswersQueries) {
    replayCorpus(KPX_FUZZ_CORPUS_DIR, kpx::exerciseCatalogue);
}
