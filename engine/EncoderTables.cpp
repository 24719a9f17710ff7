#include "engine/EncoderTables.h"

namespace EncoderTables {

QStringList FrequencyTexts() {
    QStringList texts;
    for (const int hz : FrequencyTable)
        texts << QStringLiteral("%1 Hz").arg(hz);
    return texts;
}

QStringList BitrateTexts() {
    QStringList texts;
    for (const int kbps : BitrateTable)
        texts << QStringLiteral("%1 Kbps").arg(kbps);
    return texts;
}

QStringList Mp3ChannelTexts() {
    return {QStringLiteral("Mono"), QStringLiteral("Stereo"), QStringLiteral("Joint Stereo"),
            QStringLiteral("Forced Joint Stereo"), QStringLiteral("Dual Channels")};
}

QStringList ChannelTexts() {
    return {QStringLiteral("Mono"), QStringLiteral("Stereo")};
}

const QStringList& WmaFormats() {
    static const QStringList formats{
        QStringLiteral("WMA9 48KHz, 192Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 48KHz, 160Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 48KHz, 128Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 48KHz, 96Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 48KHz, 64Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 44KHz, 320Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 44KHz, 256Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 44KHz, 192Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 44KHz, 160Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 44KHz, 128Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 44KHz, 96Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 44KHz, 80Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 44KHz, 64Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 44KHz, 48Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 44KHz, 32Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 44KHz, 48Kbps, Mono, CBR"),
        QStringLiteral("WMA9 44KHz, 32Kbps, Mono, CBR"),
        QStringLiteral("WMA9 44KHz, 20Kbps, Mono, CBR"),
        QStringLiteral("WMA9 32KHz, 48Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 32KHz, 40Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 32KHz, 32Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 32KHz, 20Kbps, Mono, CBR"),
        QStringLiteral("WMA9 32KHz, 32Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 32KHz, 22Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 22KHz, 20Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 22KHz, 20Kbps, Mono, CBR"),
        QStringLiteral("WMA9 22KHz, 16Kbps, Mono, CBR"),
        QStringLiteral("WMA9 16KHz, 20Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 16KHz, 16Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 16KHz, 16Kbps, Mono, CBR"),
        QStringLiteral("WMA9 16KHz, 12Kbps, Mono, CBR"),
        QStringLiteral("WMA9 16KHz, 10Kbps, Mono, CBR"),
        QStringLiteral("WMA9 11KHz, 10Kbps, Mono, CBR"),
        QStringLiteral("WMA9 11KHz, 8Kbps, Mono, CBR"),
        QStringLiteral("WMA9 8KHz,  12Kbps, Stereo, CBR"),
        QStringLiteral("WMA9 8KHz,  8Kbps, Mono, CBR"),
        QStringLiteral("WMA9 8KHz,  6Kbps, Mono, CBR"),
        QStringLiteral("WMA9 8KHz,  5Kbps, Mono, CBR"),
        QStringLiteral("WMA9 48KHz, Stereo, VBR Quality 98"),
        QStringLiteral("WMA9 48KHz, Stereo, VBR Quality 90"),
        QStringLiteral("WMA9 44KHz, Stereo, VBR Quality 98"),
        QStringLiteral("WMA9 44KHz, Stereo, VBR Quality 90"),
        QStringLiteral("WMA9 44KHz, Stereo, VBR Quality 75"),
        QStringLiteral("WMA9 44KHz, Stereo, VBR Quality 50"),
        QStringLiteral("WMA9 44KHz, Stereo, VBR Quality 25"),
        QStringLiteral("WMA9 44KHz, Stereo, VBR Quality 10"),
        QStringLiteral("WMA9 44KHz, Stereo, Lossless"),
    };
    return formats;
}

} // namespace EncoderTables
