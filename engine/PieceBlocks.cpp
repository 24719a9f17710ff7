#include "engine/PieceBlocks.h"

#include "engine/RunSupport.h"
#include "engine/audio/IAudioFile2.h"
#include "engine/audio/IAudioTransform2.h"
#include "engine/audio/LoudnessMeter.h"

#include <algorithm>

void PieceBlocks::Copy(const Piece& piece, IAudioFile2& reader, IAudioFile2& writer,
                       IAudioTransform2& transform, const KeepGoing& keepGoing,
                       const Progress& progress) {
    const std::int64_t L = piece.length;
    const std::int64_t fadeInLen = piece.fadeInLen;
    const std::int64_t fadeOutLen = piece.fadeOutLen;
    std::int64_t P = 0;
    std::int64_t asked = 0; // frames of the source asked for so far
    // Encoders that pad their last frame may arrange their frames to end
    // with the piece instead.
    writer.SetOutputLength(L);
    while (P < L) {
        if (!keepGoing())
            break;
        std::int64_t n = std::min<std::int64_t>(L - P, std::int64_t{piece.rate} * piece.channels);
        const bool firstBlockFade = fadeInLen > 0 && P == 0;
        // The fade-in block stops at the piece's end, never past it.
        if (firstBlockFade)
            n = std::min(fadeInLen, L - P);
        const bool fadeOutBlock = fadeOutLen > 0 && fadeOutLen >= L - P;
        if (fadeOutBlock)
            n = L - P;
        else if (fadeOutLen > 0 && !firstBlockFade)
            // Stop short of the fade-out, so it starts exactly fadeOutLen
            // before the end instead of being skipped by a long block.
            n = std::min(n, L - P - fadeOutLen);

        // A block is a second, or a fade no longer than one read can take.
        SampleArray block = reader.ReadSamples(static_cast<int>(n));
        const int U = block.UpperBound();
        if (U < 1) {
            RunSupport::RequireEnd(reader, piece.source, piece.start + asked);
            break;
        }
        asked += n;
        if (firstBlockFade)
            transform.Fade(block, 0.0f, 100.0f);
        if (fadeOutBlock)
            transform.Fade(block, 100.0f, 0.0f);
        // The frames the block holds: counting an odd sample count one more
        // or one less would cut a mono piece a frame short or long.
        P += block.frames();
        progress(P);

        if (piece.meter)
            piece.meter->add(block);
        writer.WriteSamples(block);
    }
}
