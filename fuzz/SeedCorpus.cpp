// Writes the seed inputs of every fuzz target into one folder per target,
// from the same generators the tests use: Ogg files from OggFixture, their
// comment packets, the format corpus' files of the real recording (whole and
// damaged), settings files written by SettingsFile, and cue sheets and label
// files.
//
//   fuzz_seed_corpus <folder>

#include "platform/SettingsFile.h"
#include "tests/support/FormatCorpus.h"
#include "tests/support/OggFixture.h"
#include "tests/support/RealRecording.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <ogg/ogg.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

void writeSeed(const QDir& folder, const QString& name, const QByteArray& bytes) {
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + file.fileName().toStdString());
}

QByteArray oggFile(const QTemporaryDir& scratch, OggFixture fixture, const QStringList& comments) {
    fixture.comments = comments;
    return readAll(fixture.write(scratch.filePath(QStringLiteral("seed.ogg"))));
}

// The second packet of the file's first stream: its comment block.
QByteArray commentPacket(const QByteArray& file) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, file.size());
    std::memcpy(buffer, file.constData(), static_cast<size_t>(file.size()));
    ogg_sync_wrote(&sync, file.size());
    ogg_stream_state stream;
    bool started = false;
    QByteArray packetBytes;
    ogg_page page;
    for (int packets = 0; packetBytes.isEmpty() && ogg_sync_pageout(&sync, &page) == 1;) {
        if (!started) {
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            started = true;
        }
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        while (packetBytes.isEmpty() && ogg_stream_packetout(&stream, &packet) == 1)
            if (++packets == 2)
                packetBytes =
                    QByteArray(reinterpret_cast<const char*>(packet.packet), packet.bytes);
    }
    if (started)
        ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
    if (packetBytes.isEmpty())
        throw std::runtime_error("no comment packet in a generated file");
    return packetBytes;
}

void writeOggSeeds(const QDir& out) {
    QTemporaryDir scratch;
    const QStringList tags = {"TITLE=Song", "ARTIST=Band",  "ALBUM=Record", "DATE=1999",
                              "GENRE=Rock", "COMMENT=note", "TRACKNUMBER=3"};
    const QStringList odd = {"title=lower",
                             "TITLE X=spaced",
                             "=no name",
                             "no equals",
                             QString::fromUtf8("GENRE=Żółw 日本"),
                             "COMMENT= \t padded "};
    const QByteArray stereo = oggFile(scratch, OggFixture::Tone(0.25), tags);
    const QByteArray mono = oggFile(scratch, OggFixture::Tone(0.25, 1000, 8000, 1), odd);
    const QByteArray bare = oggFile(scratch, OggFixture::Tone(0.1, 0, 22050, 1), {});
    const QByteArray chained =
        mono + oggFile(scratch, OggFixture::Tone(0.2, 300, 22050, 2), {"TITLE=second link"});
    // Longer than vorbisfile's 64 KB seek step, so seeks bisect.
    const QByteArray longer = oggFile(scratch, OggFixture::Tone(45.0, 440, 22050, 2), tags);

    const QDir blocks(out.filePath(QStringLiteral("comment_block")));
    writeSeed(blocks, QStringLiteral("tags"), commentPacket(stereo));
    writeSeed(blocks, QStringLiteral("odd"), commentPacket(mono));
    writeSeed(blocks, QStringLiteral("empty"), commentPacket(bare));

    for (const char* target : {"comment_roundtrip", "audio_reader"}) {
        const QDir files(out.filePath(QString::fromLatin1(target)));
        writeSeed(files, QStringLiteral("stereo.ogg"), stereo);
        writeSeed(files, QStringLiteral("mono.ogg"), mono);
        writeSeed(files, QStringLiteral("bare.ogg"), bare);
        writeSeed(files, QStringLiteral("chained.ogg"), chained);
    }
    writeSeed(QDir(out.filePath(QStringLiteral("audio_reader"))), QStringLiteral("long.ogg"),
              longer);
}

// Damage as real files have it, made the same way on every machine: the
// file cut short, bytes changed in a run inside it, and a byte of its header
// changed. Each is a seed beside the whole file.
std::vector<std::pair<QString, QByteArray>> damaged(const QByteArray& file) {
    std::vector<std::pair<QString, QByteArray>> variants;
    if (file.size() < 64)
        return variants;
    variants.emplace_back(QStringLiteral("cut"), file.left(file.size() * 3 / 5));
    QByteArray changed = file;
    // A fixed sequence (a linear congruential one) picks the bytes.
    std::uint32_t state = static_cast<std::uint32_t>(file.size());
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const qsizetype run = file.size() / 2 + static_cast<qsizetype>(next() % (file.size() / 4));
    for (qsizetype i = run; i < std::min(file.size(), run + 16); ++i)
        changed[i] = static_cast<char>(next());
    variants.emplace_back(QStringLiteral("changed"), changed);
    QByteArray header = file;
    const auto at = static_cast<qsizetype>(4 + next() % 60);
    header[at] = static_cast<char>(header[at] ^ (1 << (next() % 8)));
    variants.emplace_back(QStringLiteral("header"), header);
    return variants;
}

// A quarter second of the real recording in every container and codec the
// reader takes, as the format corpus' recipes make them (FFmpeg, lame, flac,
// opusenc, SoX, libsndfile, GStreamer), whole and damaged; and the formats a
// piece is tagged in, behind the byte that chooses the format in the tag
// rewrite target. Without the recording or the encoders the Ogg seeds above
// stand alone.
void writeRecordingSeeds(const QDir& out) {
    try {
        (void)RealRecording();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "no recorded seeds: %s\n", e.what());
        return;
    }
    QTemporaryDir scratch;
    const QDir reader(out.filePath(QStringLiteral("audio_reader")));
    const QDir tags(out.filePath(QStringLiteral("tag_rewrite")));
    // In the order of the tag rewrite target's format byte.
    const QStringList tagged = {"mp3", "wma", "ogg", "flac", "opus"};
    for (const FormatCorpus::Made& made : FormatCorpus::WriteFiles(scratch.path(), 0.25)) {
        const QByteArray whole = readAll(made.path);
        const QString extension = QFileInfo(made.path).suffix();
        const QString name = made.name + QLatin1Char('.') + extension;
        writeSeed(reader, name, whole);
        for (const auto& [how, bytes] : damaged(whole))
            writeSeed(reader, how + QLatin1Char('-') + name, bytes);
        const auto format = tagged.indexOf(extension);
        if (format < 0)
            continue;
        const QByteArray choice(1, static_cast<char>(format));
        writeSeed(tags, name, choice + whole);
        for (const auto& [how, bytes] : damaged(whole))
            writeSeed(tags, how + QLatin1Char('-') + name, choice + bytes);
    }
}

// A settings seed in the settings fuzzer's layout: the value, a backslash
// and a byte that end it, the file, and a byte choosing the key.
QByteArray settingsSeed(const QByteArray& value, const QByteArray& file, char key) {
    return value + "\\\n" + file + key;
}

void writeSettingsSeeds(const QDir& out) {
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("Velmora.ini"));
    SettingsFile settings(path);
    settings.WriteString(QStringLiteral("Output"), QStringLiteral("Dir"),
                         QStringLiteral("/home/user/Music/"));
    settings.WriteInteger(QStringLiteral("Function"), QStringLiteral("Choice"), 2);
    settings.WriteInteger(QStringLiteral("Choice"), QStringLiteral("time"), 60);
    settings.WriteBool(QStringLiteral("Fade"), QStringLiteral("In"), true);
    settings.WriteInteger(QStringLiteral("MP3VBR"), QStringLiteral("Coding Method"), 3);
    const QByteArray written = readAll(path);

    const QByteArray edited = "; kept by hand\r\n[Output]\r\nDir = /srv/music/ \r\n\r\n"
                              "[Unknown]\r\nkey=value\r\n[Fade]\r\nIn=0x1\r\nIntime=-5";
    const QDir settingsDir(out.filePath(QStringLiteral("settings_file")));
    writeSeed(settingsDir, QStringLiteral("written"), settingsSeed("/tmp/out/", written, 0));
    writeSeed(settingsDir, QStringLiteral("edited"), settingsSeed("12", edited, 5));
    writeSeed(settingsDir, QStringLiteral("new-key"), settingsSeed("1", written, 7));
    writeSeed(settingsDir, QStringLiteral("empty"), settingsSeed("x", {}, 2));
}

// A sheet seed in the sheet fuzzer's layout: the file, a byte choosing the
// kind, and eight bytes from which the rate and the length are taken.
void writeSheetSeeds(const QDir& out) {
    const QDir sheets(out.filePath(QStringLiteral("sheet")));
    const QByteArray tail = QByteArray(8, '\x5a');
    writeSeed(sheets, QStringLiteral("ripped.cue"),
              QByteArray("\xEF\xBB\xBFREM GENRE \"Rock\"\r\nREM DATE 1985\r\n"
                         "PERFORMER \"Band\"\r\nTITLE \"Album\"\r\nFILE \"a.wav\" WAVE\r\n"
                         "  TRACK 01 AUDIO\r\n    TITLE \"One\"\r\n    INDEX 01 00:00:00\r\n"
                         "  TRACK 02 AUDIO\r\n    PERFORMER \"Guest\"\r\n"
                         "    INDEX 00 04:15:40\r\n    INDEX 01 04:17:52\r\n") +
                  '\x01' + tail);
    writeSeed(sheets, QStringLiteral("two-files.cue"),
              QByteArray("FILE \"1.flac\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                         " TRACK 02 AUDIO\n  INDEX 00 03:00:00\nFILE \"C:\\2.wav\" WAVE\n"
                         "  INDEX 01 00:00:00\n  REM END 00:30:00\n TRACK 03 MODE1/2352\n"
                         "  INDEX 01 01:00:00\n") +
                  '\x01' + tail);
    writeSeed(sheets, QStringLiteral("labels.txt"),
              QByteArray("0.000000\t0.000000\tIntro\n12.345678\t12.345678\tVerse\n"
                         "\\\t100.0\t2000.0\n20.5\t31.25\tRegion\n") +
                  '\x00' + tail);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const char* target : {"comment_block", "comment_roundtrip", "audio_reader",
                               "settings_file", "sheet", "tag_rewrite"})
        if (!out.mkpath(QString::fromLatin1(target))) {
            std::fprintf(stderr, "cannot create %s/%s\n", argv[1], target);
            return 1;
        }
    try {
        writeOggSeeds(out);
        writeRecordingSeeds(out);
        writeSettingsSeeds(out);
        writeSheetSeeds(out);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
