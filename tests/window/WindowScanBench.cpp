// Time of the window's folder scan (from ScanFolder to the track count), off-screen,
// on the folder named by BRINDLE_SCAN_FOLDER (default /tmp/brindle-scan). Compare with
// `brindle-cli list` on the same folder.
#include "frmMain.h"
#include "platform/FakePlatform.h"

#include <QApplication>
#include <QLabel>
#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

QString scanFolder()
{
    const char* env = std::getenv("BRINDLE_SCAN_FOLDER");
    return QString::fromLocal8Bit(env && *env ? env : "/tmp/brindle-scan");
}

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
