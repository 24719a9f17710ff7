// Cue sheets and label files: the input is a rate, a length, a byte choosing
// the kind and the file's bytes (the layout the seed program writes). What
// reads gives pieces inside the source, each non-empty; what the writer makes
// of them reads again without error and gives the same frames, and a second
// round writes the same text. A sheet with no piece is refused when read.

#include "core/CueSheet.h"
#include "core/LabelFile.h"
#include "core/SheetText.h"
#include "fuzz/FuzzEnvironment.h"
#include "platform/Error.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

namespace {

void checkInside(const std::vector<TitledPiece>& pieces, std::int64_t frames) {
    for (const TitledPiece& p : pieces)
        require(p.begin >= 0 && p.begin < p.end && p.end <= frames, "a piece outside the source");
}

bool sameFrames(const std::vector<TitledPiece>& a, const std::vector<TitledPiece>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].begin != b[i].begin || a[i].end != b[i].end)
            return false;
    return true;
}

void cueSheet(const QString& text, std::int32_t rate, std::int64_t frames) {
    CueSheet sheet;
    try {
        sheet = CueSheet::Parse(text);
    } catch (const Error&) {
        return;
    }
    const QString source = QStringLiteral("/music/source.flac");
    for (int file = 0; file < static_cast<int>(sheet.files.size()); ++file) {
        const auto pieces = sheet.pieces(file, rate, frames);
        checkInside(pieces, frames);
        if (pieces.empty())
            continue; // a sheet without tracks is refused as a broken one
        const QString written = CueSheet::Of(source, sheet.disc, pieces, rate, frames).text();
        const CueSheet again = CueSheet::Parse(written); // our own sheet never fails
        require(again.fileFor(source) == 0, "a written sheet does not name its source");
        const auto back = again.pieces(0, rate, frames);
        checkInside(back, frames);
        const QString rewritten = CueSheet::Of(source, again.disc, back, rate, frames).text();
        require(rewritten == written, "a written sheet reads back differently");
    }
}

void labelFile(const QString& text, std::int32_t rate, std::int64_t frames) {
    std::vector<TitledPiece> pieces;
    try {
        pieces = LabelFile::Parse(text, rate, frames);
    } catch (const Error&) {
        return;
    }
    checkInside(pieces, frames);
    const QString written = LabelFile::Text(pieces, rate);
    const auto back = LabelFile::Parse(written, rate, frames);
    require(sameFrames(back, pieces), "written labels read back on other frames");
    require(LabelFile::Text(back, rate) == written, "written labels read back differently");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // Rates at which a cue frame and a microsecond each hold whole frames
    // apart; up to a hundred hours.
    const auto rate = input.ConsumeIntegralInRange<std::int32_t>(150, 768000);
    const auto frames = input.ConsumeIntegralInRange<std::int64_t>(0, 360000LL * rate);
    const bool cue = input.ConsumeBool();
    const std::vector<char> bytes = input.ConsumeRemainingBytes<char>();
    const QString text = DecodeSheetText(QByteArray(bytes.data(), qsizetype(bytes.size())));
    if (cue)
        cueSheet(text, rate, frames);
    else
        labelFile(text, rate, frames);
    return 0;
}
