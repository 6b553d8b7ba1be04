// Time of the window's folder scan (from ScanFolder to the track count), off-screen,
// on the folder named by BRINDLE_SCAN_FOLDER (default /tmp/brindle-scan), to compare
// with `brindle-cli list`; and of "&Apply Tags" writing the album into every file of
// BRINDLE_WRITE_FOLDER (default /tmp/brindle-write, a copy you can spare), to compare
// with `brindle-cli set --set Album=... *.mp3`.
// The apply also reports the longest time the event loop went unanswered.
#include "frmMain.h"
#include "platform/FakePlatform.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>
#include <QLabel>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>

namespace {

QString folderFrom(const char* variable, const char* fallback)
{
    const char* env = std::getenv(variable);
    return QString::fromLocal8Bit(env && *env ? env : fallback);
}

QString scanFolder() { return folderFrom("BRINDLE_SCAN_FOLDER", "/tmp/brindle-scan"); }

void WindowScan(benchmark::State& state)
{
    const QString folder = scanFolder();
    brindle::FakePlatform fakes;
    fakes.folders->music = folder;
    brindle::frmMain window(std::move(fakes.platform), folder);
    auto* total = window.findChild<QLabel*>(QStringLiteral("lblTotal"));
    for (auto _ : state) {
        window.ScanFolder(folder);
        benchmark::DoNotOptimize(total->text());
    }
    state.counters["files"] = window.ListModel()->rowCount();
    state.counters["files/s"] = benchmark::Counter(static_cast<double>(window.ListModel()->rowCount()),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(WindowScan)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void WindowApplyTags(benchmark::State& state)
{
    const QString folder = folderFrom("BRINDLE_WRITE_FOLDER", "/tmp/brindle-write");
    brindle::FakePlatform fakes;
    fakes.folders->music = folder;
    brindle::frmMain window(std::move(fakes.platform), folder);
    window.ScanFolder(folder);
    window.findChild<QCheckBox*>(QStringLiteral("chkAlbum"))->setChecked(true);
    auto* album = window.findChild<QLineEdit*>(QStringLiteral("txtAlbum"));
    auto* list = window.findChild<QTreeView*>(QStringLiteral("ListView1"));
    // How long the window's event loop goes unanswered while the files are written.
    QElapsedTimer clock;
    qint64 last = 0, longestGap = 0;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - last);
        last = now;
    });
    int round = 0;
    for (auto _ : state) {
        album->setText(QStringLiteral("Bench album %1").arg(++round));
        list->selectAll();
        clock.start();
        last = 0;
        probe.start();
        window.ApplyTags();
        probe.stop();
    }
    state.counters["longest event-loop gap ms"] = static_cast<double>(longestGap);
    state.counters["files"] = window.ListModel()->rowCount();
    state.counters["files/s"] = benchmark::Counter(static_cast<double>(window.ListModel()->rowCount()),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}
// "Auto Number Filenames" over every file of BRINDLE_RENAME_FOLDER (default
// /tmp/brindle-rename, a copy you can spare), rescan included; compare with
// `brindle-cli number-files` on the same names.
void WindowAutoNumberFilenames(benchmark::State& state)
{
    const QString folder = folderFrom("BRINDLE_RENAME_FOLDER", "/tmp/brindle-rename");
    brindle::FakePlatform fakes;
    fakes.folders->music = folder;
    fakes.messages->answerYes = true; // "This will rename N files in this folder. Continue?"
    brindle::frmMain window(std::move(fakes.platform), folder);
    window.ScanFolder(folder);
    for (auto _ : state)
        window.Command6_Click();
    state.counters["files"] = window.ListModel()->rowCount();
    state.counters["files/s"] = benchmark::Counter(static_cast<double>(window.ListModel()->rowCount()),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(WindowAutoNumberFilenames)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

BENCHMARK(WindowApplyTags)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
