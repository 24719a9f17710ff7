// The command line as the tool reads it, before any file is touched.
#include "cli/CommandLine.h"
#include "cli/ConsoleRunHost.h"
#include "core/AppState.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

std::optional<int> parse(std::initializer_list<const char*> arguments,
                         CommandLine::Options& options) {
    std::vector<const char*> argv{"tarnwell-cli"};
    argv.insert(argv.end(), arguments);
    return CommandLine::Parse(static_cast<int>(argv.size()), argv.data(), options);
}

std::optional<int> parse(std::initializer_list<const char*> arguments) {
    CommandLine::Options options;
    return parse(arguments, options);
}

TEST(CommandLineTest, ReadsTimesAndRanges) {
    EXPECT_EQ(CommandLine::ParseTime("90"), 90);
    EXPECT_EQ(CommandLine::ParseTime("1:30"), 90);
    EXPECT_EQ(CommandLine::ParseTime("1:01:30"), 3690);
    EXPECT_EQ(CommandLine::ParseTime(" 0:05 "), 5);
    EXPECT_EQ(CommandLine::ParseTime("123:04:05"), 443045);
    EXPECT_EQ(CommandLine::ParseTime("1000:00:00"), 3600000);
    for (const char* bad :
         {"", "1:60", "1:60:00", "a", "1::2", "-3", "1.5", "1:2:3:4", "596524:00:00"})
        EXPECT_FALSE(CommandLine::ParseTime(bad)) << bad;

    QString error;
    const auto ranges = CommandLine::ParseSegments("0:10-0:40,1:00-1:30", error);
    ASSERT_TRUE(ranges);
    ASSERT_EQ(ranges->size(), 2u);
    EXPECT_EQ((*ranges)[1].begin, 60);
    EXPECT_EQ((*ranges)[1].end, 90);
    EXPECT_FALSE(CommandLine::ParseSegments("0:40-0:10", error));
    EXPECT_TRUE(error.contains("0:40-0:10")) << error.toStdString();
    EXPECT_FALSE(CommandLine::ParseSegments("0:10-0:10", error));
    EXPECT_FALSE(CommandLine::ParseSegments("0:10-0:20,", error));
    EXPECT_FALSE(CommandLine::ParseSegments("10", error));
}

TEST(CommandLineTest, TakesEveryOptionOfASplitAndAJoin) {
    CommandLine::Options split;
    ASSERT_FALSE(parse({"split", "a.ogg", "b.ogg", "--segments", "0:10-0:40", "--unify", "--format",
                        "OGG", "--out", "pieces", "--fade-in", "2", "--fade-out", "3", "--dry-run",
                        "--quiet", "--no-copy"},
                       split));
    EXPECT_EQ(split.command, CommandLine::Command::Split);
    EXPECT_EQ(split.files, QStringList({"a.ogg", "b.ogg"}));
    EXPECT_EQ(split.functionChoice(), FunctionUnification);
    EXPECT_EQ(split.format, 3);
    EXPECT_EQ(split.outDir, "pieces");
    EXPECT_EQ(split.fadeIn, 2);
    EXPECT_EQ(split.fadeOut, 3);
    EXPECT_TRUE(split.dryRun && split.quiet);
    EXPECT_EQ(split.copy, false);

    CommandLine::Options join;
    ASSERT_FALSE(parse({"join", "a.ogg", "-o", "mix", "--count", "3", "--copy"}, join));
    EXPECT_EQ(join.command, CommandLine::Command::Join);
    EXPECT_EQ(join.joinName, "mix");
    EXPECT_EQ(join.functionChoice(), FunctionSplitByCount);
    EXPECT_EQ(join.format, 0);
    EXPECT_EQ(join.copy, true);
    EXPECT_FALSE(join.fadeIn);

    CommandLine::Options custom;
    ASSERT_FALSE(parse({"split", "a.ogg", "--segments", "5-9"}, custom));
    EXPECT_EQ(custom.functionChoice(), FunctionCustom);

    QTemporaryFile sheet;
    ASSERT_TRUE(sheet.open());
    const QByteArray path = sheet.fileName().toLocal8Bit();
    CommandLine::Options cue;
    ASSERT_FALSE(parse({"split", "a.ogg", "--cue", path.constData()}, cue));
    EXPECT_TRUE(cue.cueEncoding.isEmpty());
    EXPECT_EQ(cue.pregap, CueSheet::Pregap::First);
    ASSERT_FALSE(parse({"split", "a.ogg", "--cue", path.constData(), "--cue-encoding",
                        "windows-1251", "--pregap", "OWN"},
                       cue));
    EXPECT_EQ(cue.cueEncoding, "windows-1251");
    EXPECT_EQ(cue.pregap, CueSheet::Pregap::Own);
    EXPECT_EQ(cue.cue, sheet.fileName());
    EXPECT_FALSE(cue.cueFromFile);
    // Without a sheet, the one inside each file; one given before the files
    // is the first of them.
    QTemporaryFile image(QDir::tempPath() + "/XXXXXX.flac");
    ASSERT_TRUE(image.open());
    const QByteArray imagePath = image.fileName().toLocal8Bit();
    const char* const file = imagePath.constData();
    CommandLine::Options inside[3];
    ASSERT_FALSE(parse({"split", file, "--cue", "--pregap", "own"}, inside[0]));
    ASSERT_FALSE(parse({"split", "--cue", file}, inside[1]));
    ASSERT_FALSE(parse({"split", file, "--cue-from-file"}, inside[2]));
    for (const CommandLine::Options& o : inside) {
        EXPECT_TRUE(o.cueFromFile && o.cue.isEmpty() && o.marked());
        EXPECT_EQ(o.files, QStringList{image.fileName()});
    }
    EXPECT_EQ(inside[0].pregap, CueSheet::Pregap::Own);
    for (const char* wrong : {"--cue-encoding=NO-SUCH-CODE", "--pregap=later"})
        EXPECT_EQ(parse({"split", "a.ogg", "--cue", path.constData(), wrong}),
                  CommandLine::UsageError)
            << wrong;
}

TEST(CommandLineTest, RefusesWhatItCannotCarryOutAsAUsageError) {
    const std::initializer_list<const char*> usageErrors[] = {
        {},
        {"cut", "a.ogg"},
        {"split", "--time", "10"},
        {"split", "a.ogg"},
        {"split", "a.ogg", "--time", "10", "--count", "3"},
        {"split", "a.ogg", "--time", "0"},
        {"split", "a.ogg", "--time", "ten"},
        {"split", "a.ogg", "--count", "3", "--unify"},
        {"split", "a.ogg", "--segments", "1:00-0:10"},
        {"split", "a.ogg", "--time", "10", "--format", "aiff"},
        {"split", "a.ogg", "--time", "10", "--copy", "--no-copy"},
        {"split", "a.ogg", "--time", "10", "--fade-in", "-1"},
        {"split", "a.ogg", "--time", "10", "--settings", "/no/such/Velmora.ini"},
        {"split", "a.ogg", "--chapters", "--time", "10"},
        {"split", "a.ogg", "--chapters", "--labels", "/no/such/labels.txt"},
        {"split", "a.ogg", "--chapters", "--export-cue", "x.cue"},
        {"split", "a.ogg", "--time", "10", "--cue-encoding", "UTF-8"},
        {"split", "a.ogg", "--time", "10", "--name", "{unknown}"},
        {"split", "a.ogg", "--time", "10", "--name", "{title"},
        {"split", "a.ogg", "--time", "10", "--name", "{n:99999999999}"},
        {"split", "a.ogg", "--time", "10", "--name", "{artist}/../{n}"},
        {"split", "a.ogg", "--chapters", "--pregap", "own"},
        {"split", "a.ogg", "b.ogg", "--chapters", "--dry-run", "--export-labels", "x.txt"},
        {"join", "a.ogg"},
        {"join", "a.ogg", "-o", "mix", "--chapters"},
        {"info", "a.ogg", "--time", "10"},
    };
    for (const auto& arguments : usageErrors) {
        std::string line;
        for (const char* argument : arguments)
            line += std::string(argument) + ' ';
        EXPECT_EQ(parse(arguments), CommandLine::UsageError) << line;
    }
    for (const char* command : {"split", "join", "info"})
        EXPECT_EQ(parse({command, "--help"}), 0) << command;
    EXPECT_EQ(parse({"--help"}), 0);
}

TEST(CommandLineTest, ProgressLineIsWrittenOnlyWhenItChanges) {
    QTemporaryFile capture;
    ASSERT_TRUE(capture.open());
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(capture.handle(), STDERR_FILENO);
    {
        ConsoleRunHost host(true);
        host.setFile(QStringLiteral("song.ogg"));
        for (const char* text : {"5%", "5%", "5%", "6%", "6%", "100%"})
            host.SetRunText(QString::fromLatin1(text));
        host.SetRunText(QString());
        host.SetRunText(QStringLiteral("100%"));
        // The piece the run says is under way, until it ends.
        host.PieceStarted(0, 1, 3);
        host.SetRunText(QStringLiteral("7%"));
        host.PieceEnded({0, 1});
        host.SetRunText(QStringLiteral("8%"));
    }
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    QFile written(capture.fileName());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray shown = written.readAll();
    EXPECT_EQ(shown.count("song.ogg: 5%"), 1) << shown.toStdString();
    EXPECT_EQ(shown.count("song.ogg: 6%"), 1) << shown.toStdString();
    // Once the line was taken off, the same text is shown again.
    EXPECT_EQ(shown.count("song.ogg: 100%"), 2) << shown.toStdString();
    EXPECT_EQ(shown.count("song.ogg: piece 2 of 3: 7%"), 1) << shown.toStdString();
    EXPECT_EQ(shown.count("song.ogg: 8%"), 1) << shown.toStdString();
}

} // namespace
