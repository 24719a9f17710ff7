// Tarnwell against the tools a user would pick instead, on the same generated
// input: a 10-minute stereo 44100 Hz Ogg Vorbis file (quality 4) of noise
// under a sweeping tone, because a pure tone encodes unrealistically fast,
// and the same audio as MP3 and FLAC.
//
// Each case runs Tarnwell's real split or join run without a window, in a
// process of its own, and the peer command, in turn (A B A B ...), and prints
// the median wall and CPU times of each side, Tarnwell's speed as a multiple
// of the peer's (above 1: Tarnwell is faster), and each side's peak memory.
// A peer that is not installed leaves its row saying so.
//
// With --real it instead runs the fast paths as whole processes on real
// music (the game soundtracks of frozen-bubble, 16.5 minutes, and the same
// looped to 3 hours for memory): tarnwell-cli copying MP3 and Opus pieces
// against mp3splt and ffmpeg's packet copy, and one Opus file from FLAC
// against ffmpeg's libopus at the same settings.
//
// Run by hand: build/bin/PeerBench [--workers N] [pairs] [minutes] [only cases named so]
//              build/bin/PeerBench --real [pairs] [only cases named so]
#include "bench/BenchDesktop.h"
#include "bench/BenchSource.h"
#include "core/AppState.h"
#include "engine/EncoderKey.h"
#include "engine/JoinRun.h"
#include "engine/ModelRunHost.h"
#include "engine/PieceWorkers.h"
#include "engine/SplitRun.h"
#include "platform/Error.h"
#include "tests/support/OggFixture.h"
#include "tests/support/RunParts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// What Tarnwell does in one child process.
enum class Job { Mp3Split, Mp3Piece, Mp3Join, WavSplit, OggSplit, OggPiece };

struct JobInfo {
    Job job;
    const char* name;
    int format; // position in the format box: MP3, WAV, WMA, OGG
};

constexpr JobInfo Jobs[] = {
    {Job::Mp3Split, "mp3-split", 0}, {Job::Mp3Piece, "mp3-piece", 0},
    {Job::Mp3Join, "mp3-join", 0},   {Job::WavSplit, "wav-split", 1},
    {Job::OggSplit, "ogg-split", 3}, {Job::OggPiece, "ogg-piece", 3},
};

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// User and system time of this process, all threads.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The child: one run of `job` on `source`, writing into `outDir`. The MP3
// settings are LAME's 128 kbps CBR at quality 5 in joint stereo, as the
// ffmpeg peers encode; everything else is Tarnwell's default. Prints the wall
// and CPU seconds of the run itself: in the program, a run starts in a
// window that is already open.
int runJob(const JobInfo& job, const QString& source, const QString& outDir, int workers) {
    BenchDesktop desktop;
    RunParts parts(outDir + QStringLiteral("/settings.ini"));
    AppState& state = parts.state;
    EncoderKeys::Mp3Channel.write(parts.settings, 2); // "Joint Stereo"
    // OGG is measured re-encoding here; CopyBench measures copying.
    EncoderKeys::OggCopy.writeFlag(parts.settings, false);
    PieceWorkers::SetAllowed(parts.settings, workers);
    ModelRunHost host(job.format);
    RunContext context = parts.runContext(desktop, host);

    AddWholeSource(parts.lv, parts.reader, source);
    state.OutputDir = outDir + QLatin1Char('/');
    state.FunctionChoice = FunctionSplitByTime;
    // One piece: longer than the file, so no empty piece follows at its end.
    const bool onePiece = job.job == Job::Mp3Piece || job.job == Job::OggPiece;
    state.SplitSeconds = onePiece ? state.JobList.back().Duration + 1 : 60;

    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (job.job == Job::Mp3Join)
        JoinRun(context).Run(PiecePlan::Mode::Time, {outDir + QStringLiteral("/joined.mp3"), 1});
    else
        SplitRun(context).Run(PiecePlan::Mode::Time);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    std::printf("%.4f %.4f\n", wall.count(), cpuSeconds() - cpuBefore);
    return desktop.messages == 0 ? 0 : 1;
}

struct Usage {
    double wall = 0;
    double cpu = 0;
    long peakKb = 0;
};

// Runs `argv` with its output going to `outputFile` and returns its wall
// time, CPU time and peak memory, or nothing when it fails.
std::optional<Usage> measure(const QStringList& argv, const QString& outputFile,
                             const QString& errorFile) {
    std::vector<QByteArray> bytes;
    for (const QString& a : argv)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> args;
    for (QByteArray& b : bytes)
        args.push_back(b.data());
    args.push_back(nullptr);

    // Forked, not spawned: a spawned child shares this process's memory
    // until it starts the program, and its peak would count this process's
    // libraries (about 31 MB) too. A forked one holds only a copy of the
    // heap, a few MB, below every figure measured.
    const QByteArray outputPath = QFile::encodeName(outputFile);
    const QByteArray errorPath = QFile::encodeName(errorFile);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outputPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errorPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(127);
        execve(args[0], args.data(), environ);
        _exit(127);
    }
    if (pid < 0)
        return std::nullopt;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return std::nullopt;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        QFile error(errorFile);
        error.open(QIODevice::ReadOnly);
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(argv.join(QLatin1Char(' '))),
                     error.readAll().constData());
        return std::nullopt;
    }
    return Usage{wall.count(), seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss};
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Side {
    std::vector<double> wall;
    std::vector<double> cpu;
    long peakKb = 0;
    bool failed = false;

    void add(const std::optional<Usage>& u) {
        if (!u) {
            failed = true;
            return;
        }
        wall.push_back(u->wall);
        cpu.push_back(u->cpu);
        peakKb = std::max(peakKb, u->peakKb);
    }
};

// Total size of the files in `dir` with `suffix`, in bits per second of audio.
double kbpsOf(const QString& dir, const QString& suffix, double audioSeconds) {
    qint64 bytes = 0;
    for (const QFileInfo& f : QDir(dir).entryInfoList({QStringLiteral("*.") + suffix}, QDir::Files))
        bytes += f.size();
    return static_cast<double>(bytes) * 8 / 1000 / audioSeconds;
}

void emptyFolder(const QString& dir) {
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
}

QString loadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2);
}

QString processorName() {
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown processor");
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("model name"))
            return QString::fromLatin1(line.mid(line.indexOf(':') + 1)).trimmed();
    return QStringLiteral("unknown processor");
}

class Bench {
public:
    Bench(int pairs, const QString& only, const QString& work, const QString& source,
          double audioSeconds, int workers)
        : pairs_(pairs), only_(only), work_(work), source_(source), audioSeconds_(audioSeconds),
          workers_(workers) {}

    struct Peer {
        const char* label;
        QString program; // empty: not installed
        QStringList arguments;
        QString outDir;
    };

    Peer ffmpeg(const char* label, const QStringList& encode, const QString& output) const {
        const QString out = work_ + QStringLiteral("/peer");
        QStringList args{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                         QStringLiteral("error"),    QStringLiteral("-y"),
                         QStringLiteral("-i"),       source_};
        args << encode << out + QLatin1Char('/') + output;
        return {label, QStandardPaths::findExecutable(QStringLiteral("ffmpeg")), args, out};
    }

    Peer oggdec() const {
        const QString out = work_ + QStringLiteral("/peer");
        return {"oggdec",
                QStandardPaths::findExecutable(QStringLiteral("oggdec")),
                {QStringLiteral("-Q"), QStringLiteral("-o"), out + QStringLiteral("/oggdec.wav"),
                 source_},
                out};
    }

    // One case: `pairs` runs of each side in turn. Returns Tarnwell's side.
    Side compare(const char* caseName, const JobInfo& job, const Peer& peer) {
        Side ours;
        Side theirs;
        if (!QString::fromLatin1(caseName).contains(only_, Qt::CaseInsensitive))
            return ours;
        const QString outDir = work_ + QStringLiteral("/tarnwell");
        const QString errors = work_ + QStringLiteral("/errors.txt");
        const QStringList tarnwell{QCoreApplication::applicationFilePath(),
                                   QStringLiteral("--run"),
                                   QString::fromLatin1(job.name),
                                   source_,
                                   outDir,
                                   QString::number(workers_)};
        const QString times = work_ + QStringLiteral("/times.txt");
        for (int i = 0; i < pairs_; ++i) {
            emptyFolder(outDir);
            ours.add(runOnly(measure(tarnwell, times, errors), times));
            if (!peer.program.isEmpty()) {
                emptyFolder(peer.outDir);
                QStringList argv{peer.program};
                argv << peer.arguments;
                theirs.add(measure(argv, QStringLiteral("/dev/null"), errors));
            }
        }
        print(caseName, peer, ours, theirs);
        return ours;
    }

    // One case of two whole processes, `pairs` runs of each in turn; each
    // side's output folder is emptied before it runs.
    void compareCommands(const char* caseName, const QStringList& ours, const QString& ourOut,
                         const Peer& peer) {
        Side mine;
        Side theirs;
        if (!QString::fromLatin1(caseName).contains(only_, Qt::CaseInsensitive))
            return;
        const QString errors = work_ + QStringLiteral("/errors.txt");
        for (int i = 0; i < pairs_; ++i) {
            emptyFolder(ourOut);
            mine.add(measure(ours, QStringLiteral("/dev/null"), errors));
            if (!peer.program.isEmpty()) {
                emptyFolder(peer.outDir);
                QStringList argv{peer.program};
                argv << peer.arguments;
                theirs.add(measure(argv, QStringLiteral("/dev/null"), errors));
            }
        }
        print(caseName, peer, mine, theirs);
    }

    // The times the child printed for its run, with the peak memory of the
    // whole process; the process start-up is kept apart.
    std::optional<Usage> runOnly(std::optional<Usage> process, const QString& times) {
        if (!process)
            return process;
        QFile file(times);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QStringList parts = QString::fromLatin1(file.readAll()).simplified().split(' ');
        if (parts.size() != 2)
            return std::nullopt;
        startup.push_back(process->wall - parts[0].toDouble());
        return Usage{parts[0].toDouble(), parts[1].toDouble(), process->peakKb};
    }

    // Wall seconds of each Tarnwell child outside its run.
    std::vector<double> startup;

    void print(const char* caseName, const Peer& peer, const Side& ours, const Side& theirs) const {
        auto side = [](const Side& s) {
            if (s.failed)
                return QStringLiteral("%1").arg(QStringLiteral("failed"), -26);
            return QStringLiteral("%1 %2 %3")
                .arg(median(s.wall), 7, 'f', 2)
                .arg(median(s.cpu), 7, 'f', 2)
                .arg(s.peakKb / 1024.0, 8, 'f', 1);
        };
        QString ratio;
        if (peer.program.isEmpty())
            ratio = QStringLiteral("%1 not installed").arg(QString::fromLatin1(peer.label));
        else if (!ours.failed && !theirs.failed)
            ratio = QStringLiteral("%1x wall  %2x cpu")
                        .arg(median(theirs.wall) / median(ours.wall), 0, 'f', 2)
                        .arg(median(theirs.cpu) / median(ours.cpu), 0, 'f', 2);
        std::printf("%-30s %s | %-24s %s | %s\n", caseName, qPrintable(side(ours)), peer.label,
                    qPrintable(peer.program.isEmpty() || theirs.failed
                                   ? QStringLiteral("%1").arg(QString(), -24)
                                   : side(theirs)),
                    qPrintable(ratio));
        std::fflush(stdout);
    }

    double tarnwellKbps(const QString& suffix) const {
        return kbpsOf(work_ + QStringLiteral("/tarnwell"), suffix, audioSeconds_);
    }
    double peerKbps(const QString& suffix) const {
        return kbpsOf(work_ + QStringLiteral("/peer"), suffix, audioSeconds_);
    }

private:
    int pairs_;
    QString only_; // runs only the cases whose name holds this
    QString work_;
    QString source_;
    double audioSeconds_;
    int workers_; // for split runs; 0: one for every core
};

const JobInfo& jobNamed(Job job) {
    return *std::find_if(std::begin(Jobs), std::end(Jobs),
                         [job](const JobInfo& j) { return j.job == job; });
}

// Runs `program` with `arguments`; false when it fails.
bool run(const QString& program, const QStringList& arguments) {
    return !program.isEmpty() && QProcess::execute(program, arguments) == 0;
}

// The fast paths of tarnwell-cli as whole processes on real music.
int realMusic(int pairs, const QString& only) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
    const QString flac = QStandardPaths::findExecutable(QStringLiteral("flac"));
    const QString sounds = QStringLiteral("/usr/share/games/frozen-bubble/snd/");
    const QStringList songs{QStringLiteral("frozen-mainzik-1p.ogg"), QStringLiteral("introzik.ogg"),
                            QStringLiteral("frozen-mainzik-2p.ogg"),
                            QStringLiteral("frozen-mainzik-1p.ogg")};
    if (ffmpeg.isEmpty() || lame.isEmpty() || flac.isEmpty() ||
        !QFileInfo::exists(sounds + songs.front())) {
        std::printf("Needs ffmpeg, lame, flac and frozen-bubble-data\n");
        return 1;
    }
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const auto at = [&dir](const char* name) { return dir.filePath(QLatin1String(name)); };
    std::printf("Making a 16.5-minute stereo 44100 Hz source of frozen-bubble's soundtracks as "
                "MP3 (lame 192 kbps), FLAC and Opus (ffmpeg libopus 128 kbps), and the MP3 and "
                "Opus looped to 3 hours ...\n");
    std::fflush(stdout);
    QStringList concat{"-nostdin", "-v", "error", "-y"};
    for (const QString& song : songs)
        concat << "-i" << sounds + song;
    concat << "-filter_complex"
           << "[0:a][1:a][2:a][3:a]concat=n=4:v=0:a=1,atrim=0:990"
           << "-c:a"
           << "pcm_s16le" << at("music.wav");
    const QStringList loop{"-nostdin", "-v", "error", "-y", "-stream_loop", "10", "-i"};
    if (!run(ffmpeg, concat) ||
        !run(lame, {"--quiet", "-b", "192", at("music.wav"), at("music.mp3")}) ||
        !run(flac, {"-s", "-f", at("music.wav"), "-o", at("music.flac")}) ||
        !run(ffmpeg, {"-nostdin", "-v", "error", "-y", "-i", at("music.wav"), "-c:a", "libopus",
                      "-b:a", "128k", at("music.opus")}) ||
        !run(ffmpeg, loop + QStringList{at("music.mp3"), "-c", "copy", at("long.mp3")}) ||
        // Opus looped by a packet copy has positions that jump where it
        // starts again, which a copy refuses: the long one is encoded.
        !run(ffmpeg, loop + QStringList{at("music.wav"), "-c:a", "libopus", "-b:a", "128k",
                                        at("long.opus")})) {
        std::printf("The sources could not be made\n");
        return 1;
    }

    // The sources' writeback would otherwise land on the first cases: some
    // 600 MB just written, against runs of 30 ms.
    ::sync();
    std::printf("%s, %d cores, load average %s at the start; %d pairs, medians; whole processes\n",
                qPrintable(processorName()), QThread::idealThreadCount(), qPrintable(loadAverage()),
                pairs);
    std::printf("%-30s %7s %7s %8s | %-24s %7s %7s %8s | Tarnwell's speed\n", "case", "wall s",
                "cpu s", "peak MB", "peer", "wall s", "cpu s", "peak MB");
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwell-cli");
    const QString ours = dir.filePath(QStringLiteral("tarnwell"));
    const QString peerOut = dir.filePath(QStringLiteral("peer"));
    // Tarnwell's default settings: the Opus page's 128 kbps at complexity 10.
    const QString settings = dir.filePath(QStringLiteral("Velmora.ini"));
    QFile(settings).open(QIODevice::WriteOnly);
    const auto tarnwell = [&](const QString& source, const QStringList& job) {
        return QStringList{cli, QStringLiteral("split"), source} + job +
               QStringList{QStringLiteral("--out"), ours, QStringLiteral("--settings"), settings,
                           QStringLiteral("--quiet")};
    };
    const QString mp3splt = QStandardPaths::findExecutable(QStringLiteral("mp3splt"));
    const auto segments = [&](const char* label, const QString& source, const char* extension) {
        return Bench::Peer{label,
                           ffmpeg,
                           {"-nostdin", "-v", "error", "-i", source, "-c", "copy", "-f", "segment",
                            "-segment_time", "200",
                            peerOut + QStringLiteral("/part%03d.") + QLatin1String(extension)},
                           peerOut};
    };
    Bench bench(pairs, only, dir.path(), QString(), 990, 0);
    for (const auto& [name, source] :
         {std::pair{"16.5 min", at("music.mp3")}, std::pair{"3 hours", at("long.mp3")}}) {
        const QByteArray label = QByteArray("MP3 copy, 200 s, ") + name;
        const QStringList job = tarnwell(source, {"--time", "200", "--format", "mp3", "--copy"});
        bench.compareCommands(
            label.constData(), job, ours,
            {"mp3splt -t 3.20", mp3splt, {"-q", "-t", "3.20", "-d", peerOut, source}, peerOut});
        bench.compareCommands(label.constData(), job, ours,
                              segments("ffmpeg -c copy segment", source, "mp3"));
    }
    for (const auto& [name, source] :
         {std::pair{"16.5 min", at("music.opus")}, std::pair{"3 hours", at("long.opus")}}) {
        const QByteArray label = QByteArray("Opus copy, 200 s, ") + name;
        bench.compareCommands(label.constData(),
                              tarnwell(source, {"--time", "200", "--format", "opus", "--copy"}),
                              ours, segments("ffmpeg -c copy segment", source, "opus"));
    }
    // The same resampling on both sides: soxr at its high quality (20 bits).
    bench.compareCommands("FLAC to one Opus, 128 kbps",
                          tarnwell(at("music.flac"), {"--time", "1000", "--format", "opus"}), ours,
                          {"ffmpeg libopus, soxr",
                           ffmpeg,
                           {"-nostdin", "-v", "error", "-y", "-i", at("music.flac"), "-af",
                            "aresample=resampler=soxr:precision=20", "-c:a", "libopus", "-b:a",
                            "128k", "-compression_level", "10", peerOut + "/music.opus"},
                           peerOut});
    std::printf("Load average at the end: %s\n", qPrintable(loadAverage()));
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    if (args.size() == 6 && args[1] == QLatin1String("--run")) {
        for (const JobInfo& job : Jobs)
            if (args[2] == QLatin1String(job.name)) {
                try {
                    return runJob(job, args[3], args[4], args[5].toInt());
                } catch (const Error& e) {
                    std::fprintf(stderr, "%s\n", qPrintable(e.message()));
                    return 1;
                }
            }
        return 2;
    }

    if (args.size() > 1 && args[1] == QLatin1String("--real"))
        return realMusic(args.size() > 2 ? std::max(1, args[2].toInt()) : 3,
                         args.size() > 3 ? args[3] : QString());

    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::printf("Usage: PeerBench [--workers N] [pairs] [minutes] [only]\n"
                    "Runs each case's Tarnwell run and its peer command in turn, `pairs` times\n"
                    "(default 3), on a generated `minutes`-long file (default 10), and prints\n"
                    "medians, speed ratios, CPU times and peak memory. `only` runs the cases\n"
                    "whose name holds it. --workers sets how many workers a split run uses\n"
                    "(default 0: one for every core).\n"
                    "--real runs tarnwell-cli's copies and Opus encoding as whole processes on\n"
                    "real music (frozen-bubble's soundtracks) against mp3splt and ffmpeg.\n");
        return 0;
    }
    int workers = 0;
    if (const qsizetype at = args.indexOf(QLatin1String("--workers"));
        at > 0 && at + 1 < args.size()) {
        workers = std::max(0, args[at + 1].toInt());
        args.remove(at, 2);
    }
    const int pairs = args.size() > 1 ? std::max(1, args[1].toInt()) : 3;
    const double minutes = args.size() > 2 ? args[2].toDouble() : 10.0;
    const QString only = args.size() > 3 ? args[3] : QString();
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    std::printf("Generating a %g-minute and a 1-minute stereo 44100 Hz Ogg file (quality 4, "
                "noise under a sweep) ...\n",
                minutes);
    std::fflush(stdout);
    const QString source =
        OggFixture::NoiseAndSweep(minutes * 60).write(dir.filePath(QStringLiteral("in.ogg")));
    const QString shortSource =
        OggFixture::NoiseAndSweep(60).write(dir.filePath(QStringLiteral("short.ogg")));

    std::printf("%s, %d cores, load average %s at the start; %d pairs, medians; split workers: "
                "%s\n",
                qPrintable(processorName()), QThread::idealThreadCount(), qPrintable(loadAverage()),
                pairs, workers > 0 ? qPrintable(QString::number(workers)) : "one per core");
    std::printf("%-30s %7s %7s %8s | %-24s %7s %7s %8s | Tarnwell's speed\n", "case", "wall s",
                "cpu s", "peak MB", "peer", "wall s", "cpu s", "peak MB");

    Bench bench(pairs, only, dir.path(), source, minutes * 60, workers);
    const QStringList mp3{
        QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),         QStringLiteral("-b:a"),
        QStringLiteral("128k"), QStringLiteral("-compression_level"), QStringLiteral("5")};
    const Bench::Peer ffmpegMp3 = bench.ffmpeg("ffmpeg libmp3lame", mp3, QStringLiteral("out.mp3"));
    QStringList segment = mp3;
    segment << QStringLiteral("-f") << QStringLiteral("segment") << QStringLiteral("-segment_time")
            << QStringLiteral("60");
    const Bench::Peer ffmpegSegments =
        bench.ffmpeg("ffmpeg segment split", segment, QStringLiteral("part%03d.mp3"));

    const Side longSplit =
        bench.compare("MP3 split, 60 s pieces", jobNamed(Job::Mp3Split), ffmpegMp3);
    bench.compare("MP3 split, 60 s pieces", jobNamed(Job::Mp3Split), ffmpegSegments);
    bench.compare("MP3 one piece", jobNamed(Job::Mp3Piece), ffmpegMp3);
    bench.compare("MP3 join", jobNamed(Job::Mp3Join), ffmpegMp3);
    bench.compare("WAV split, 60 s pieces", jobNamed(Job::WavSplit), bench.oggdec());

    const Bench::Peer vorbis = bench.ffmpeg("ffmpeg libvorbis",
                                            {QStringLiteral("-c:a"), QStringLiteral("libvorbis"),
                                             QStringLiteral("-b:a"), QStringLiteral("128k")},
                                            QStringLiteral("out.ogg"));
    for (const auto& [name, job] : {std::pair{"OGG split, default 128 kbps", Job::OggSplit},
                                    std::pair{"OGG one piece, default", Job::OggPiece}}) {
        if (!bench.compare(name, jobNamed(job), vorbis).wall.empty() && !vorbis.program.isEmpty())
            std::printf("%-30s average bitrate: Tarnwell %.1f kbps, ffmpeg libvorbis %.1f kbps\n",
                        "", bench.tarnwellKbps(QStringLiteral("ogg")),
                        bench.peerKbps(QStringLiteral("ogg")));
    }

    Bench shortBench(pairs, only, dir.path(), shortSource, 60, workers);
    const Side shortSplit =
        shortBench.compare("MP3 split of a 1-minute file", jobNamed(Job::Mp3Split),
                           shortBench.ffmpeg("ffmpeg libmp3lame", mp3, QStringLiteral("out.mp3")));
    if (shortSplit.peakKb > 0 && longSplit.peakKb > 0)
        std::printf("Peak memory of an MP3 split: %.1f MB for 1 minute, %.1f MB for %g minutes\n",
                    shortSplit.peakKb / 1024.0, longSplit.peakKb / 1024.0, minutes);
    std::vector<double> startup = bench.startup;
    startup.insert(startup.end(), shortBench.startup.begin(), shortBench.startup.end());

    // The same audio as MP3 and as FLAC, split into MP3 and WAV pieces, side
    // by side with ffmpeg's segment muxer doing the same from the same file.
    QStringList wavSegment{QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")};
    wavSegment << segment.mid(segment.indexOf(QStringLiteral("-f")));
    const QString ffmpegProgram = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    for (const auto& [name, extension, codec] :
         {std::tuple{"MP3", "mp3", QStringList{"-c:a", "libmp3lame", "-b:a", "192k"}},
          std::tuple{"FLAC", "flac", QStringList{"-c:a", "flac"}}}) {
        const QString input = dir.filePath(QStringLiteral("in.") + QLatin1String(extension));
        if (ffmpegProgram.isEmpty() ||
            QProcess::execute(ffmpegProgram,
                              QStringList{"-nostdin", "-v", "error", "-y", "-i", source} + codec +
                                  QStringList{input}) != 0) {
            std::printf("%s input: ffmpeg could not make it\n", name);
            continue;
        }
        Bench other(pairs, only, dir.path(), input, minutes * 60, workers);
        const QByteArray mp3Case = QByteArray(name) + " in, MP3 split, 60 s";
        other.compare(
            mp3Case.constData(), jobNamed(Job::Mp3Split),
            other.ffmpeg("ffmpeg segment split", segment, QStringLiteral("part%03d.mp3")));
        const QByteArray wavCase = QByteArray(name) + " in, WAV split, 60 s";
        other.compare(
            wavCase.constData(), jobNamed(Job::WavSplit),
            other.ffmpeg("ffmpeg segment split", wavSegment, QStringLiteral("part%03d.wav")));
        startup.insert(startup.end(), other.startup.begin(), other.startup.end());
    }
    std::printf("Tarnwell's times are those of the run; starting its process took %.2f s more "
                "(median), which the peers' times include\n",
                median(startup));
    std::printf("Load average at the end: %s\n", qPrintable(loadAverage()));
    return 0;
}
