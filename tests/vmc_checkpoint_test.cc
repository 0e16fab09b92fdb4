#include <gtest/gtest.h>

#include <thread>

#include "vmc/dmc.h"
#include "vmc/optimize.h"
#include "vmc/scan.h"
#include "vmc/stop_request.h"

// Runs stopped on request, checkpoints written, read back and refused.

namespace vmc {
namespace {

// A stop request already set stops every kind of run before it gives a row;
// one left clear changes nothing.
TEST(StopRequest, StopsEveryRunThatSeesIt) {
  stop_request stop{true};
  scan_settings scan;
  scan.separations = {0.74f, 1.5f};
  scan.steps = 2000;
  scan.equilibration = 100;
  EXPECT_THROW(run_scan(scan, {}, &stop), run_stopped);
  optimize_settings optimize;
  optimize.separations = {0.74f};
  optimize.steps = 2000;
  optimize.sample_steps = 1000;
  EXPECT_THROW(run_optimize(optimize, {}, &stop), run_stopped);
  dmc_settings dmc;
  dmc.separations = {0.74f};
  dmc.parameters = {{1.1, 0.59, 0.424}};
  dmc.walkers = 50;
  dmc.steps = 100;
  dmc.equilibration = 10;
  dmc.vmc_steps = 1000;
  EXPECT_THROW(run_dmc(dmc, 0, {}, &stop), run_stopped);
  stop_request clear{false};
  EXPECT_EQ(scan_table(run_scan(scan, {}, &clear)).rows, scan_table(run_scan(scan)).rows);
}

// A request set while a long scan walks stops it within a few seconds.
TEST(StopRequest, StopsALongScanSoon) {
  scan_settings scan;
  scan.separations = {0.74f};
  scan.steps = 4000000000;  // an hour and more
  scan.equilibration = 0;
  scan.lanes = false;
  stop_request stop{false};
  std::thread stopper([&stop] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop = true;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(run_scan(scan, {}, &stop), run_stopped);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
}  // namespace vmc
