// The intake rules on files of every common format, as Debian's encoders
// write them: measured as FFmpeg decodes them, audio by content whatever
// their name, and anything else refused with the reader's reason.
#include "engine/SourceIntake.h"
#include "engine/audio/AudioFile2.h"
#include "tags/SourceTags.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FormatCorpus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct SourceIntakeTest : ::testing::Test {
    QTemporaryDir dir;
    AudioFile2 reader;
    SourceIntake intake{ReadSourceTags};

    SourceIntakeTest() { reader.SetActive(true); }
    SourceIntake::Result take(const QString& path) {
        return intake.Take(path, reader, SourceIntake::Source::OpenDialog);
    }
};

TEST_F(SourceIntakeTest, EveryCorpusFileIsTakenWithItsLengthUnderAnyName) {
    ForEachCorpusFile(FormatCorpus::Shared().files(), [&](const FormatCorpus::File& file) {
        // The same file named as nothing the open dialog offers.
        const QString unnamed = dir.filePath(file.name);
        ASSERT_TRUE(QFile::copy(file.path, unnamed));
        for (const QString& path : {file.path, unnamed}) {
            SCOPED_TRACE(path.toStdString());
            EXPECT_TRUE(SourceIntake::IsAudioFile(path));
            const SourceIntake::Result taken = take(path);
            ASSERT_TRUE(taken.job) << taken.refusal.reason.toStdString();
            const listrecord& record = *taken.job;
            EXPECT_EQ(record.SampleRate, file.reference.rate);
            EXPECT_EQ(record.SampleCount, file.reference.frames());
            EXPECT_EQ(record.Duration, file.reference.frames() / file.reference.rate);
            EXPECT_EQ(record.EndTimes, std::vector<std::int32_t>{record.Duration});
            EXPECT_EQ(record.Caption, QFileInfo(path).fileName());
            EXPECT_FALSE(reader.IsOpen());
        }
    });
}

TEST_F(SourceIntakeTest, TextNamedAsAudioIsRefusedWithTheReadersReasonAndFoldersSkipIt) {
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    const QString fake = write("fake.mp3", QByteArray("just some words\n").repeated(300));
    write("notes.txt", "a list of songs\n");
    const SourceIntake::Result taken = take(fake);
    ASSERT_FALSE(taken.job);
    EXPECT_EQ(taken.refusal.message, "fake.mp3 this File is not supported.");
    EXPECT_TRUE(taken.refusal.reason.contains(fake)) << taken.refusal.reason.toStdString();

    // A folder offers its audio by name or content, in name order; the
    // intake then refuses the fake as above.
    const auto& files = FormatCorpus::Shared().files();
    const auto flac = std::find_if(files.begin(), files.end(),
                                   [](const auto& f) { return f.path.endsWith(".flac"); });
    if (flac == files.end())
        GTEST_SKIP() << "no FLAC file in the corpus";
    ASSERT_TRUE(QFile::copy(flac->path, dir.filePath("Album image")));
    EXPECT_EQ(SourceIntake::FolderFiles(dir.path()),
              (QStringList{dir.filePath("Album image"), fake}));
}

} // namespace
