#include "engine/ModelRunHost.h"

#include <utility>

void ModelRunHost::PieceEnded(const RunOutcome::Piece& piece) {
    outcome_.pieces.push_back(piece);
}

RunOutcome ModelRunHost::takeOutcome() {
    return std::exchange(outcome_, {});
}
