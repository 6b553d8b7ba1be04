// "&Apply Tags" over a folder of large files, off-screen: how long the window's event
// loop goes unanswered while it runs, and its wall time beside `brindle-cli set --jobs`
// writing the same field into the same files.
//
//   brindle_bench_window_apply [--folder DIR] [--files N] [--mib M] [--rounds R] [--jobs J]
//
// DIR (default /tmp/brindle-apply-bench) is filled with N files of M MiB (default
// 300 of 4) unless it holds them already. Each round writes a new album into every
// file, first from the window, then with brindle-cli; the rounds alternate so that
// both meet the same cache. A 10 ms timer runs during each window apply; the longest
// gap between its ticks (and from the click to the first tick, and from the last tick
// to the end) is the longest time the window did not answer. The same timer runs
// while brindle-cli writes, for the gaps the machine itself gives an idle loop.
#include "Mp3Builder.h"
#include "frmMain.h"
#include "platform/FakePlatform.h"
#include "tag/Parallel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

QStringList makeFiles(const QString& folder, int count, int mib)
{
    QDir().mkpath(folder);
    using namespace brindle::test;
    const int frames = static_cast<int>((static_cast<std::size_t>(mib) << 20) / MpegFrameLength());
    std::string audio;
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString path = QDir(folder).filePath(QStringLiteral("track %1.mp3").arg(i + 1, 3, 10, QLatin1Char('0')));
        files << path;
        if (QFileInfo(path).size() > static_cast<qint64>(mib) << 19)
            continue;
        if (audio.empty())
            audio = MpegFrames(frames);
        WriteFile(QFile::encodeName(path).toStdString(),
                  Tag(3, Frame(3, "TIT2", Latin1("Track " + std::to_string(i + 1))) + Frame(3, "TALB", Latin1("Start")),
                      1024) +
                      audio);
    }
    return files;
}

class CancelWatch : public QObject {
public:
    explicit CancelWatch(std::function<void(bool)> seen) : seen_(std::move(seen)) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Show || e->type() == QEvent::Hide)
            seen_(e->type() == QEvent::Show);
        return false;
    }

private:
    std::function<void(bool)> seen_;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString folder = QStringLiteral("/tmp/brindle-apply-bench");
    int count = 300, mib = 4, rounds = 5;
    unsigned jobs = brindle::DefaultJobs();
    QString cli = QStringLiteral(BRINDLE_CLI_PATH);
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--folder")
            folder = args[i + 1];
        else if (args[i] == "--files")
            count = args[i + 1].toInt();
        else if (args[i] == "--mib")
            mib = args[i + 1].toInt();
        else if (args[i] == "--rounds")
            rounds = args[i + 1].toInt();
        else if (args[i] == "--jobs")
            jobs = args[i + 1].toUInt();
        else if (args[i] == "--cli")
            cli = args[i + 1];
    }
    const QStringList files = makeFiles(folder, count, mib);

    brindle::FakePlatform fakes;
    fakes.folders->music = folder;
    brindle::frmMain window(std::move(fakes.platform), folder);
    window.resize(900, 700);
    window.show();
    window.ScanFolder(folder);
    auto* box = window.findChild<QCheckBox*>(QStringLiteral("chkAlbum"));
    auto* album = window.findChild<QLineEdit*>(QStringLiteral("txtAlbum"));
    auto* list = window.findChild<QTreeView*>(QStringLiteral("ListView1"));
    auto* cancel = window.findChild<QPushButton*>(QStringLiteral("cmdCancel"));

    QElapsedTimer clock;
    qint64 last = 0, longestGap = 0;
    QTimer probe;
    probe.setInterval(10);
    probe.setTimerType(Qt::PreciseTimer);
    qint64 gapEnd = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (now - last > longestGap) {
            longestGap = now - last;
            gapEnd = now;
        }
        last = now;
    });

    std::vector<double> windowWall, writeWall, cliWall, gaps, idleGaps;
    std::printf("%d files of %d MiB in %s; brindle-cli --jobs %u\n", count, mib, qPrintable(folder), jobs);
    std::printf("round  window ms  (writing ms)  longest gap ms  brindle-cli ms  idle gap ms\n");
    for (int round = 1; round <= rounds; ++round) {
        album->setText(QStringLiteral("Window %1").arg(round, 3, 10, QLatin1Char('0')));
        box->setChecked(true);
        list->selectAll();
        // "Cancel" shows while the files are written; the rescan follows.
        qint64 busyFrom = 0, busyTo = 0;
        CancelWatch watch([&](bool shown) { (shown ? busyFrom : busyTo) = clock.nsecsElapsed(); });
        cancel->installEventFilter(&watch);
        longestGap = 0;
        clock.start();
        last = 0;
        probe.start();
        window.ApplyTags();
        const qint64 end = clock.nsecsElapsed();
        if (end - last > longestGap) {
            longestGap = end - last;
            gapEnd = end;
        }
        if (std::getenv("BRINDLE_BENCH_VERBOSE"))
            std::printf("  longest gap ends at %.1f ms; writing from %.1f to %.1f ms\n",
                        static_cast<double>(gapEnd) / 1e6, static_cast<double>(busyFrom) / 1e6,
                        static_cast<double>(busyTo) / 1e6);
        probe.stop();
        cancel->removeEventFilter(&watch);
        windowWall.push_back(static_cast<double>(end) / 1e6);
        writeWall.push_back(static_cast<double>(busyTo - busyFrom) / 1e6);
        gaps.push_back(static_cast<double>(longestGap) / 1e6);

        QStringList cliArgs{QStringLiteral("set"), QStringLiteral("--set"),
                            QStringLiteral("Album=Cli %1").arg(round, 3, 10, QLatin1Char('0')),
                            QStringLiteral("--jobs"), QString::number(jobs)};
        cliArgs << files;
        // The same probe runs while brindle-cli writes: the gaps this machine gives an
        // idle event loop under that load, to set beside the window's.
        QProcess process;
        QEventLoop wait;
        QObject::connect(&process, &QProcess::finished, &wait, &QEventLoop::quit);
        longestGap = 0;
        clock.start();
        last = 0;
        probe.start();
        process.start(cli, cliArgs);
        if (process.waitForStarted())
            wait.exec();
        const qint64 cliEnd = clock.nsecsElapsed();
        probe.stop();
        cliWall.push_back(static_cast<double>(cliEnd) / 1e6);
        idleGaps.push_back(static_cast<double>(std::max(longestGap, cliEnd - last)) / 1e6);
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            std::fprintf(stderr, "brindle-cli failed: %s\n", process.readAllStandardError().constData());
        std::printf("%5d  %9.1f  (%10.1f)  %14.1f  %14.1f  %14.1f\n", round, windowWall.back(), writeWall.back(),
                    gaps.back(), cliWall.back(), idleGaps.back());
    }
    const double w = median(windowWall), c = median(cliWall);
    std::printf("median: window %.1f ms, brindle-cli %.1f ms, ratio %.2f\n", w, c, c > 0 ? w / c : 0);
    std::printf("longest gap during the window's apply: %.1f ms (median of rounds %.1f); "
                "of an idle loop while brindle-cli writes: %.1f ms (median %.1f)\n",
                *std::max_element(gaps.begin(), gaps.end()), median(gaps),
                *std::max_element(idleGaps.begin(), idleGaps.end()), median(idleGaps));
    return 0;
}
