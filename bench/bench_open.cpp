// Opening the overlay on Qt's offscreen platform with a screen of the given
// size: Form_Load (sizing, capture, seeding the ring, the pen) with the show,
// and the first painted frame of the window, each timed on its own. The
// offscreen capture is empty, so this is the overlay's own share of opening. Screen size from
// MORVANE_BENCH_SCREEN (default 3840x2160); the real X display figures come
// from bench/probe_display.sh.

#include "core/default_pens.h"
#include "core/forms.h"
#include "core/kavrel_b.h"
#include "overlay/kavrel_g.h"
#include "platform/platform.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// Notes the first paint of the window it watches.
struct PaintSpy : QObject {
  bool painted = false;
  bool eventFilter(QObject *, QEvent *e) override {
    if (e->type() == QEvent::Paint)
      painted = true;
    return false;
  }
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void BM_Open(benchmark::State &state) {
  setFactoryPens();
  Pen_No = 1;
  std::vector<double> load, frame, total;
  for (auto _ : state) {
    const auto t1 = Clock::now();
    Show_Kavrel_G(); // Form_Load, then showFullScreen
    load.push_back(msSince(t1));
    PaintSpy spy;
    kavrelG()->installEventFilter(&spy);
    const auto t2 = Clock::now();
    while (!spy.painted)
      QCoreApplication::processEvents();
    frame.push_back(msSince(t2));
    total.push_back(msSince(t1));
    kavrelG()->removeEventFilter(&spy);

    state.PauseTiming();
    Unload_Kavrel_G();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.ResumeTiming();
  }
  const QSize s = platform().screenPixels();
  state.SetLabel(std::to_string(s.width()) + "x" + std::to_string(s.height()));
  state.counters["load_and_show_ms"] = median(load);
  state.counters["first_paint_ms"] = median(frame);
  state.counters["open_ms"] = median(total);
}
BENCHMARK(BM_Open)->Iterations(15)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
  QByteArray size = qgetenv("MORVANE_BENCH_SCREEN");
  if (size.isEmpty())
    size = "3840x2160";
  const QList<QByteArray> wh = size.split('x');
  QTemporaryDir dir;
  const QString cfg = dir.filePath(QStringLiteral("screen.json"));
  QFile f(cfg);
  if (!f.open(QIODevice::WriteOnly))
    return 1;
  f.write("{\"screens\":[{\"name\":\"s\",\"x\":0,\"y\":0,\"width\":" + wh.value(0) +
          ",\"height\":" + wh.value(1) + ",\"logicalDpi\":96,\"logicalBaseDpi\":96,\"dpr\":1}]}");
  f.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + cfg.toLocal8Bit());
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
