// Picture surfaces at full-HD and 4K: the tiled way against plain whole images.
// Each figure is a per-operation time measured one by one (median, p99), so
// the rare tile or image copies show in p99 and do not hide in a mean.

#include "core/surface.h"
#include "overlay/export.h"
#include "overlay/shapes.h"

#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <set>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The plain way: one whole image per picture, implicitly shared by Qt, so a
// copy happens at the first drawing after a snapshot or an undo.
struct PlainSurface {
  QImage img;
  explicit PlainSurface(const QImage &capture) : img(capture) {}
  QRect lineTo(const Surface &pen, QPointF from, QPointF to) {
    QPainter p(&img);
    pen.preparePainter(p);
    p.drawLine(from, to);
    p.end();
    const int pad = pen.drawWidth() / 2 + 2;
    return QRectF(from, to).normalized().toAlignedRect().adjusted(-pad, -pad, pad, pad) &
           img.rect();
  }
  void paint(QPainter &p, const QRect &r) const { p.drawImage(r.topLeft(), img, r); }
};

QSize screenFor(const benchmark::State &state) {
  return QSize(int(state.range(0)), int(state.range(1)));
}

QImage captureOf(QSize s) {
  QImage img(s, QImage::Format_RGB32);
  for (int y = 0; y < s.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
    for (int x = 0; x < s.width(); ++x)
      line[x] = qRgb(x * 255 / s.width(), y * 255 / s.height(), (x ^ y) & 255);
  }
  return img;
}

void setPen(Surface &s) {
  s.setForeColor(0x000000FF);
  s.setDrawWidth(10);
  s.setDrawStyle(0);
  s.setDrawMode(Surface::CopyPen);
}

// A stroke of 20-pixel segments wandering over the screen.
struct Walker {
  QSize screen;
  double x, y, angle = 0.3;
  explicit Walker(QSize s) : screen(s), x(s.width() / 3.0), y(s.height() / 3.0) {}
  QPointF next() {
    angle += 0.05;
    x += 20 * std::cos(angle);
    y += 20 * std::sin(angle * 0.7);
    if (x < 20 || x > screen.width() - 20)
      angle += M_PI, x = std::clamp(x, 20.0, screen.width() - 20.0);
    if (y < 20 || y > screen.height() - 20)
      angle += M_PI / 2, y = std::clamp(y, 20.0, screen.height() - 20.0);
    return QPointF(x, y);
  }
};

struct Timings {
  std::vector<double> us;
  template <typename F> void time(F f) {
    const auto t0 = Clock::now();
    f();
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  void report(benchmark::State &state, const char *prefix = "") {
    if (us.empty())
      return;
    std::sort(us.begin(), us.end());
    const std::string p(prefix);
    state.counters[p + "median_us"] = us[us.size() / 2];
    state.counters[p + "p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    us.clear();
  }
};

constexpr int StrokeSegments = 20; // a release, and so a snapshot, every 400 px

// Mouse move: one segment of 20 px at width 10 plus the repaint of its dirty
// rectangle into a screen-sized image standing in for the backing store. A
// snapshot after every stroke makes the copy-on-write cost part of the figure.
void BM_MouseMove_Tiled(benchmark::State &state) {
  const QSize size = screenFor(state);
  QImage backing(size, QImage::Format_RGB32);
  Surface s(size);
  s.setPicture(Picture(captureOf(size)));
  setPen(s);
  Walker w(size);
  s.setCurrentPoint(w.next());
  Picture ring[6];
  int n = 0;
  Timings t;
  for (auto _ : state) {
    const QPointF to = w.next();
    t.time([&] {
      const QRect dirty = s.lineTo(to);
      QPainter p(&backing);
      s.paint(p, dirty);
    });
    if (++n % StrokeSegments == 0)
      ring[(n / StrokeSegments) % 6] = s.image();
  }
  t.report(state);
}

void BM_MouseMove_Plain(benchmark::State &state) {
  const QSize size = screenFor(state);
  QImage backing(size, QImage::Format_RGB32);
  Surface pen(QSize(1, 1));
  setPen(pen);
  PlainSurface s(captureOf(size));
  Walker w(size);
  QPointF from = w.next();
  QImage ring[6];
  int n = 0;
  Timings t;
  for (auto _ : state) {
    const QPointF to = w.next();
    t.time([&] {
      const QRect dirty = s.lineTo(pen, from, to);
      QPainter p(&backing);
      s.paint(p, dirty);
    });
    from = to;
    if (++n % StrokeSegments == 0)
      ring[(n / StrokeSegments) % 6] = s.img;
  }
  t.report(state);
}

// One pathological segment: corner to corner at width 20, just after a
// snapshot, so every tile it crosses is copied.
void BM_LongDiagonal_Tiled(benchmark::State &state) {
  const QSize size = screenFor(state);
  Surface s(size);
  s.setPicture(Picture(captureOf(size)));
  setPen(s);
  s.setDrawWidth(20);
  Picture keep;
  Timings t;
  bool down = false;
  for (auto _ : state) {
    keep = s.image();
    s.setCurrentPoint(down ? QPointF(0, 0) : QPointF(0, size.height()));
    const QPointF to = down ? QPointF(size.width(), size.height()) : QPointF(size.width(), 0);
    down = !down;
    t.time([&] { s.lineTo(to); });
  }
  t.report(state);
}

void BM_LongDiagonal_Plain(benchmark::State &state) {
  const QSize size = screenFor(state);
  Surface pen(QSize(1, 1));
  setPen(pen);
  pen.setDrawWidth(20);
  PlainSurface s(captureOf(size));
  QImage keep;
  Timings t;
  bool down = false;
  for (auto _ : state) {
    keep = s.img;
    const QPointF from = down ? QPointF(0, 0) : QPointF(0, size.height());
    const QPointF to = down ? QPointF(size.width(), size.height()) : QPointF(size.width(), 0);
    down = !down;
    t.time([&] { s.lineTo(pen, from, to); });
  }
  t.report(state);
}

// Record_Snapshot after a 200 px stroke, and the first segment after it,
// where the plain way pays its whole-image copy.
void BM_Snapshot_Tiled(benchmark::State &state) {
  const QSize size = screenFor(state);
  Surface s(size);
  s.setPicture(Picture(captureOf(size)));
  setPen(s);
  Walker w(size);
  s.setCurrentPoint(w.next());
  Picture ring[6];
  int k = 0;
  Timings snap, after;
  for (auto _ : state) {
    for (int i = 0; i < 10; ++i)
      s.lineTo(w.next());
    snap.time([&] { ring[k++ % 6] = s.image(); });
    const QPointF to = w.next();
    after.time([&] { s.lineTo(to); });
  }
  snap.report(state);
  after.report(state, "next_segment_");
}

void BM_Snapshot_Plain(benchmark::State &state) {
  const QSize size = screenFor(state);
  Surface pen(QSize(1, 1));
  setPen(pen);
  PlainSurface s(captureOf(size));
  Walker w(size);
  QPointF from = w.next();
  QImage ring[6];
  int k = 0;
  Timings snap, after;
  for (auto _ : state) {
    for (int i = 0; i < 10; ++i) {
      const QPointF to = w.next();
      s.lineTo(pen, from, to);
      from = to;
    }
    snap.time([&] { ring[k++ % 6] = s.img; });
    const QPointF to = w.next();
    after.time([&] { s.lineTo(pen, from, to); });
    from = to;
  }
  snap.report(state);
  after.report(state, "next_segment_");
}

// Undo (an older slot) and clear (the capture) as picture assignments, the
// first segment after them, and the full repaint they need.
void BM_UndoClear_Tiled(benchmark::State &state) {
  const QSize size = screenFor(state);
  QImage backing(size, QImage::Format_RGB32);
  const Picture display(captureOf(size));
  Surface s(size);
  s.setPicture(display);
  setPen(s);
  Walker w(size);
  s.setCurrentPoint(w.next());
  std::vector<Picture> dummies;
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 10; ++j)
      s.lineTo(w.next());
    dummies.push_back(s.image());
  }
  Timings undo, clear, empty, after, repaint;
  int k = 0;
  for (auto _ : state) {
    undo.time([&] { s.setPicture(dummies[size_t(k++ % 6)]); });
    const QPointF to = w.next();
    after.time([&] { s.lineTo(to); });
    clear.time([&] { s.setPicture(display); });
    empty.time([&] { s.setPicture(Picture()); });
    repaint.time([&] {
      QPainter p(&backing);
      s.paint(p, QRect(QPoint(0, 0), size));
    });
  }
  undo.report(state, "undo_");
  clear.report(state, "clear_");
  empty.report(state, "empty_");
  after.report(state, "next_segment_");
  repaint.report(state, "repaint_");
}

void BM_UndoClear_Plain(benchmark::State &state) {
  const QSize size = screenFor(state);
  QImage backing(size, QImage::Format_RGB32);
  const QImage display = captureOf(size);
  Surface pen(QSize(1, 1));
  setPen(pen);
  PlainSurface s(display);
  Walker w(size);
  QPointF from = w.next();
  std::vector<QImage> dummies;
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 10; ++j) {
      const QPointF to = w.next();
      s.lineTo(pen, from, to);
      from = to;
    }
    dummies.push_back(s.img);
  }
  QImage back(size, QImage::Format_RGB32);
  Timings undo, clear, empty, after, repaint;
  int k = 0;
  for (auto _ : state) {
    undo.time([&] { s.img = dummies[size_t(k++ % 6)]; });
    const QPointF to = w.next();
    after.time([&] { s.lineTo(pen, from, to); });
    from = to;
    clear.time([&] { s.img = display; });
    empty.time([&] {
      back.fill(qRgb(192, 192, 192));
      s.img = back;
    });
    repaint.time([&] {
      QPainter p(&backing);
      s.paint(p, QRect(QPoint(0, 0), size));
    });
  }
  undo.report(state, "undo_");
  clear.report(state, "clear_");
  empty.report(state, "empty_");
  after.report(state, "next_segment_");
  repaint.report(state, "repaint_");
}

// Open: a capture-sized image becomes Display, seeds slot 1 and the overlay,
// and the first frame is painted.
void BM_Open_Tiled(benchmark::State &state) {
  const QSize size = screenFor(state);
  const QImage capture = captureOf(size);
  QImage backing(size, QImage::Format_RGB32);
  Timings build, open;
  for (auto _ : state) {
    QImage grabbed = capture.copy(); // a fresh capture each time, untimed
    build.time([&] { benchmark::DoNotOptimize(Picture(grabbed)); });
    open.time([&] {
      const Picture display(grabbed);
      Surface overlay(size);
      overlay.setPicture(display);
      const Picture slot1 = overlay.image();
      QPainter p(&backing);
      overlay.paint(p, QRect(QPoint(0, 0), size));
    });
  }
  build.report(state, "picture_");
  open.report(state, "open_");
}

void BM_Open_Plain(benchmark::State &state) {
  const QSize size = screenFor(state);
  const QImage capture = captureOf(size);
  QImage backing(size, QImage::Format_RGB32);
  Timings build, open;
  for (auto _ : state) {
    QImage grabbed = capture.copy();
    build.time([&] { benchmark::DoNotOptimize(grabbed.copy()); });
    open.time([&] {
      // Whole-image copies: Display, the overlay's back-buffer, slot 1.
      const QImage display = grabbed.copy();
      const QImage overlay = display.copy();
      const QImage slot1 = overlay.copy();
      QPainter p(&backing);
      p.drawImage(0, 0, overlay);
    });
  }
  build.report(state, "picture_");
  open.report(state, "open_");
}

// Memory of the ten pictures of an open overlay (window, Display, Pic_Save,
// six dummies, board) after six ordinary strokes with the ring full, counted
// as distinct pixel buffers beyond the capture, in screen images.
template <typename Bits> double screensBeyondCapture(const std::vector<Bits> &buffers, QSize size) {
  std::set<const uchar *> seen;
  double bytes = 0;
  for (const auto &[bits, n] : buffers)
    if (seen.insert(bits).second)
      bytes += double(n);
  return bytes / (double(size.width()) * size.height() * 4);
}

void BM_Memory_Tiled(benchmark::State &state) {
  const QSize size = screenFor(state);
  for (auto _ : state) {
    const QImage capture = captureOf(size);
    const uchar *cb = capture.constBits(), *ce = cb + capture.sizeInBytes();
    const Picture display(capture);
    Surface overlay(size), board(size, 0x00FFFFFF), picSave(size);
    overlay.setPicture(display);
    board.setPicture(Picture());
    setPen(overlay);
    std::vector<Picture> dummies(6);
    int pos = 0;
    dummies[size_t(pos)] = overlay.image();
    Walker w(size);
    for (int stroke = 0; stroke < 6; ++stroke) {
      overlay.setCurrentPoint(w.next());
      for (int i = 0; i < StrokeSegments; ++i) // 400 px, an ordinary stroke
        overlay.lineTo(w.next());
      pos = (pos + 1) % 6;
      dummies[size_t(pos)] = overlay.image();
    }
    picSave.setPicture(overlay.image());
    std::vector<std::pair<const uchar *, qsizetype>> buffers{{cb, 0}}; // the capture counts as 0
    auto add = [&](const Picture &p) {
      for (const QImage &t : p.tiles()) {
        const uchar *b = t.constBits();
        buffers.emplace_back(b >= cb && b < ce ? cb : b, b >= cb && b < ce ? 0 : t.sizeInBytes());
      }
    };
    add(overlay.image());
    add(display);
    add(picSave.image());
    add(board.image());
    for (const Picture &p : dummies)
      add(p);
    state.counters["screens_beyond_capture"] = screensBeyondCapture(buffers, size);
  }
}

void BM_Memory_Plain(benchmark::State &state) {
  const QSize size = screenFor(state);
  for (auto _ : state) {
    const QImage capture = captureOf(size);
    Surface pen(QSize(1, 1));
    setPen(pen);
    PlainSurface overlay(capture);
    QImage board(size, QImage::Format_RGB32);
    board.fill(Qt::white);
    std::vector<QImage> dummies(6);
    int pos = 0;
    dummies[size_t(pos)] = overlay.img;
    Walker w(size);
    for (int stroke = 0; stroke < 6; ++stroke) {
      QPointF from = w.next();
      for (int i = 0; i < StrokeSegments; ++i) {
        const QPointF to = w.next();
        overlay.lineTo(pen, from, to);
        from = to;
      }
      pos = (pos + 1) % 6;
      dummies[size_t(pos)] = overlay.img;
    }
    const QImage picSave = overlay.img;
    std::vector<std::pair<const uchar *, qsizetype>> buffers{{capture.constBits(), 0}};
    for (const QImage *img :
         std::initializer_list<const QImage *>{&overlay.img, &capture, &picSave, &board})
      buffers.emplace_back(img->constBits(), img->sizeInBytes());
    for (const QImage &img : dummies)
      buffers.emplace_back(img.constBits(), img.sizeInBytes());
    state.counters["screens_beyond_capture"] = screensBeyondCapture(buffers, size);
  }
}

// One mouse move while dragging a rectangle of half the screen (a quarter of
// its area) at width 10: the preview restores the tiles the last position
// changed, draws the new one, and the changed tiles are repainted.
void BM_ShapeMove_Tiled(benchmark::State &state) {
  const QSize size = screenFor(state);
  QImage backing(size, QImage::Format_RGB32);
  Surface s(size);
  s.setPicture(Picture(captureOf(size)));
  setPen(s);
  const QPointF from(size.width() / 4.0, size.height() / 4.0);
  shapes::Preview preview;
  preview.begin(s, shapes::Kind::Rectangle, from);
  int n = 0;
  Timings t;
  for (auto _ : state) {
    // The far corner wanders a few pixels around three quarters of the screen.
    const QPointF to(size.width() * 0.75 + 8 * std::cos(n * 0.3),
                     size.height() * 0.75 + 8 * std::sin(n * 0.2));
    ++n;
    t.time([&] {
      const QRegion dirty = preview.moveTo(to);
      QPainter p(&backing);
      for (const QRect &r : dirty)
        s.paint(p, r);
    });
  }
  preview.finish();
  t.report(state);
}

// The same the plain way: the saved picture back into the window's image
// (a whole-screen copy), the rectangle on it, the union of both bounding
// rectangles repainted.
void BM_ShapeMove_Plain(benchmark::State &state) {
  const QSize size = screenFor(state);
  QImage backing(size, QImage::Format_RGB32);
  Surface pen(QSize(1, 1));
  setPen(pen);
  const QImage saved = captureOf(size);
  QImage work = saved;
  const QPointF from(size.width() / 4.0, size.height() / 4.0);
  QRect last;
  int n = 0;
  Timings t;
  for (auto _ : state) {
    const QPointF to(size.width() * 0.75 + 8 * std::cos(n * 0.3),
                     size.height() * 0.75 + 8 * std::sin(n * 0.2));
    ++n;
    t.time([&] {
      work = saved;
      QPainter p(&work);
      pen.preparePainter(p);
      p.drawRect(QRectF(from, to));
      p.end();
      const QRect now = QRectF(from, to).toAlignedRect().adjusted(-7, -7, 7, 7);
      const QRect dirty = now | last;
      last = now;
      QPainter b(&backing);
      b.drawImage(dirty.topLeft(), work, dirty);
    });
  }
  t.report(state);
}

// Ctrl+S: the picture to a PNG through a temporary file, until the file is in place.
void BM_SavePng(benchmark::State &state) {
  const QSize size = screenFor(state);
  Surface s(size);
  s.setPicture(Picture(captureOf(size)));
  setPen(s);
  s.setCurrentPoint(QPointF(10, 10));
  s.lineTo(QPointF(size.width() - 10, size.height() - 10));
  QTemporaryDir dir;
  Timings t;
  int n = 0;
  for (auto _ : state) {
    const QString path = dir.filePath(QStringLiteral("save_%1.png").arg(n++));
    t.time([&] {
      if (!exporting::savePng(s.toImage(), path).ok)
        state.SkipWithError("the PNG was not written");
    });
  }
  t.report(state);
}

void screens(benchmark::internal::Benchmark *b) {
  b->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_MouseMove_Tiled)->Apply(screens)->Iterations(4000);
BENCHMARK(BM_MouseMove_Plain)->Apply(screens)->Iterations(4000);
BENCHMARK(BM_LongDiagonal_Tiled)->Apply(screens)->Iterations(50);
BENCHMARK(BM_LongDiagonal_Plain)->Apply(screens)->Iterations(50);
BENCHMARK(BM_Snapshot_Tiled)->Apply(screens)->Iterations(300);
BENCHMARK(BM_Snapshot_Plain)->Apply(screens)->Iterations(300);
BENCHMARK(BM_UndoClear_Tiled)->Apply(screens)->Iterations(100);
BENCHMARK(BM_UndoClear_Plain)->Apply(screens)->Iterations(100);
BENCHMARK(BM_Open_Tiled)->Apply(screens)->Iterations(30);
BENCHMARK(BM_Open_Plain)->Apply(screens)->Iterations(30);
BENCHMARK(BM_Memory_Tiled)->Apply(screens)->Iterations(1);
BENCHMARK(BM_Memory_Plain)->Apply(screens)->Iterations(1);
BENCHMARK(BM_ShapeMove_Tiled)->Apply(screens)->Iterations(1000);
BENCHMARK(BM_ShapeMove_Plain)->Apply(screens)->Iterations(200);
BENCHMARK(BM_SavePng)->Apply(screens)->Iterations(5);

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak RSS of this run: %.1f MB\n", double(usage.ru_maxrss) / 1024);
  return 0;
}
