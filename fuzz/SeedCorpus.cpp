// Writes the seed inputs of every fuzz target into one folder per target,
// from the same generators the tests use: Ogg files from OggFixture, their
// comment packets, settings files written by SettingsFile, and cue sheets and
// label files.
//
//   fuzz_seed_corpus <folder>

#include "platform/SettingsFile.h"
#include "tests/support/OggFixture.h"
#include "tests/support/RealRecording.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <ogg/ogg.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

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

// A second of the real recording in every container and codec the reader
// takes, as FFmpeg writes them. Without FFmpeg or the recording the Ogg seeds
// above stand alone.
void writeRecordingSeeds(const QDir& out) {
    QString recording;
    try {
        recording = RealRecording();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "no recorded seeds: %s\n", e.what());
        return;
    }
    const QDir files(out.filePath(QStringLiteral("audio_reader")));
    const QList<QStringList> made = {
        {"aac.m4a", "-c:a", "aac"},        {"alac.m4a", "-c:a", "alac"},
        {"wma.wma", "-c:a", "wmav2"},      {"vorbis.mka", "-c:a", "libvorbis"},
        {"opus.webm", "-c:a", "libopus"},  {"speex.spx", "-c:a", "libspeex", "-ar", "16000"},
        {"ac3.ac3", "-c:a", "ac3"},        {"wavpack.wv", "-c:a", "wavpack"},
        {"tta.tta", "-c:a", "tta"},        {"pcm.caf", "-c:a", "pcm_s16le"},
        {"pcm.w64", "-c:a", "pcm_s16le"},  {"float.aifc", "-c:a", "pcm_f32be", "-f", "aiff"},
        {"flac.flac", "-c:a", "flac"},     {"mp3.mp3", "-c:a", "libmp3lame"},
        {"float.wav", "-c:a", "pcm_f32le"}, {"opus.opus", "-c:a", "libopus"},
    };
    for (const QStringList& seed : made) {
        const QString path = files.filePath(seed.front());
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     QStringList{"-nostdin", "-v", "error", "-y", "-ss", "20", "-t", "1", "-i",
                                 recording, "-ac", "1"} +
                         seed.mid(1) + QStringList{path});
        if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitCode() != 0)
            std::fprintf(stderr, "no seed %s: %s\n", qPrintable(seed.front()),
                         ffmpeg.readAllStandardError().constData());
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
    for (const char* target :
         {"comment_block", "comment_roundtrip", "audio_reader", "settings_file", "sheet"})
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
