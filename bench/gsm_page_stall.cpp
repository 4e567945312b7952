// How responsive the "8960" page stays while a GSM test run pours result lines into its memo.
//
// Starts the real main window, configures a scan-mode plan of all four bands at every level
// with every item (971 channels, over half a million result lines) on the instrument simulator
// at zero latency, presses Start Test and, until the run ends, measures the gaps between the
// ticks of a 5 ms timer on the GUI thread: a gap is how long the window could not react.
// Prints the run time, the line count, the largest gap, the 99th percentile and how many
// gaps exceeded 50 ms (the goal is none), and the process's peak memory.
//
//   bench/gsm_run.sh builds it; run build-bench/bench/gsm_page_stall (any Qt platform; the
//   offscreen platform is used when no display is set).
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/main_window.h"
#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/pages/testset_page.h"
#include "instrument/runs/instrument_station.h"
#include "instrument/runs/plan_form.h"
#include "instrument/runs/test_plan.h"
#include "sim/vexa_gpib_sim.h"
#include "ui/application_setup.h"

int main(int argc, char** argv) {
  setenv("VEXA_GPIB_LIBRARY", VEXA_SIM_LIBRARY, 1);
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  vexa::SetUpApplication();
  vexa_sim_reset();

  QTemporaryDir logs;
  vexa::TForm1 form(nullptr);
  form.show();
  vexa::TestSetPage* page = form.TabSheet13;
  page->SetRunEnvironment(nullptr, logs.path().toStdString(), 0);

  // Every band in Scan Mode, every level, every item.
  vexa::PlanForm plan;
  plan.FormCreate();
  for (int band = 0; band < vexa::kBandCount; ++band) {
    plan.SetBandChecked(band, true);
    plan.SetScanModeChecked(band, true);
  }
  plan.Button1Click();
  plan.Button2Click();
  vexa::CaptureTestPlan(plan, form.Station().Plan);
  form.Station().TestSetDevice.Open();
  page->Bstart->setEnabled(true);

  std::vector<double> gaps;
  gaps.reserve(1 << 16);
  QElapsedTimer clock;
  qint64 last_tick_ns = 0;
  QTimer heartbeat;
  heartbeat.setTimerType(Qt::PreciseTimer);
  heartbeat.setInterval(5);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    gaps.push_back(static_cast<double>(now - last_tick_ns) / 1e6);
    if (std::getenv("STALL_DEBUG") && gaps.back() > 30)
      std::fprintf(stderr, "gap %.1f ms at %.2f s, widget %d lines\n", gaps.back(), now / 1e9,
                   page->Memo4->document()->blockCount());
    last_tick_ns = now;
  });
  QTimer end_check;
  end_check.setInterval(20);
  QObject::connect(&end_check, &QTimer::timeout, [&] {
    if (!page->RunInProgress() && page->Bstart->isEnabled())
      app.quit();
  });

  if (std::getenv("STALL_NOPAINT"))
    page->Memo4->viewport()->setUpdatesEnabled(false);
  clock.start();
  heartbeat.start();
  end_check.start();
  page->Bstart->click();
  app.exec();
  const double run_s = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  page->Memo4->Flush();

  std::vector<double> sorted = gaps;
  std::sort(sorted.begin(), sorted.end());
  const double worst = sorted.empty() ? 0 : sorted.back();
  const double p99 = sorted.empty() ? 0 : sorted[sorted.size() * 99 / 100];
  const auto over = std::count_if(sorted.begin(), sorted.end(), [](double g) { return g > 50; });
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("scan-mode run on the page: %.2f s, %zu memo lines, %zu widget lines\n", run_s,
              page->Memo4->Lines().size(),
              static_cast<std::size_t>(page->Memo4->document()->blockCount()));
  std::printf(
      "GUI thread gaps (5 ms timer): largest %.1f ms, 99th percentile %.1f ms, "
      "%lld over 50 ms of %zu\n",
      worst, p99, static_cast<long long>(over), sorted.size());
  std::printf("peak memory (whole window): %.0f MB\n", static_cast<double>(usage.ru_maxrss) / 1024);
  return over == 0 ? 0 : 1;
}
