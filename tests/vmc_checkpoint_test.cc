#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "vmc/checkpoint.h"
#include "vmc/dmc.h"
#include "vmc/optimize.h"
#include "vmc/scan.h"
#include "vmc/stop_request.h"
#include "vmc/stream_plan.h"

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

namespace vmc {
namespace {

bool same(const ecuyer& a, const ecuyer& b) { return a.ix1 == b.ix1 && a.ix2 == b.ix2; }

// A longer run walks the very streams of a shorter one: the layout depends on
// the seed, the walkers and the separations, never on the steps. Every stream
// starts one length after the one before, the longest power of two that
// shares out the run's streams within the period, (m1 - 1)(m2 - 1) / 2.
TEST(StreamPlan, StreamsDoNotDependOnTheSteps) {
  scan_settings a;
  a.separations = {0.5f, 0.74f, 1.5f};
  a.walkers = 5;
  a.steps = 20000;
  scan_settings b = a;
  b.steps = 80000;
  b.equilibration = 77;
  const stream_plan pa = stream_plan::of(a), pb = stream_plan::of(b);
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::uint64_t k = 0; k < 5; ++k) EXPECT_TRUE(same(pa.stream(i, k), pb.stream(i, k)));
  }
  ecuyer g = pa.stream(1, 4);  // stream 9 of the run
  EXPECT_EQ(pa.draws_per_stream(), std::uint64_t{1} << 56);  // 15 streams: 1.3e17 each
  EXPECT_TRUE(same(ecuyer_advance(g, pa.draws_per_stream()), pa.stream(2, 0)));
  EXPECT_LE(static_cast<double>(pa.draws_per_stream()) * 15, stream_plan::usable_draws);
  EXPECT_GT(static_cast<double>(pa.draws_per_stream()) * 30, stream_plan::usable_draws);
  dmc_settings d;
  d.separations = {0.74f, 1.5f};
  d.steps = 20000;
  dmc_settings e = d;
  e.steps = 80000;
  EXPECT_TRUE(same(stream_plan::of(d).stream(1, 7), stream_plan::of(e).stream(1, 7)));
  EXPECT_EQ(stream_plan::of(d).streams_per_separation, 16u + 12u * 2000u);
  optimize_settings o;
  o.separations = {0.74f, 1.5f};
  optimize_settings q = o;
  q.steps *= 4;
  EXPECT_TRUE(same(stream_plan::of(o).stream(1, 10), stream_plan::of(q).stream(1, 10)));
  // A stream for every lane of every round and of the final walk.
  EXPECT_EQ(stream_plan::of(o).streams_per_separation, 11u * lane_width);
  const double period = 2147483562.0 * 2147483398.0 / 2.0;
  EXPECT_LT(stream_plan::usable_draws, period);
}

// A run whose walks outgrow their streams, or whose streams outgrow the
// period, is refused naming the option that made it so.
TEST(StreamPlan, RefusesRunsBeyondThePeriodNamingTheOption) {
  scan_settings s;
  s.separations = {0.74f, 1.5f};  // 2^59 deviates each, 8.2e16 steps
  s.steps = 80000000000000000;
  EXPECT_TRUE(stream_plan::of(s).fits());
  s.steps = 83000000000000000;
  EXPECT_EQ(stream_plan::of(s).misfit().value_or("").rfind("--steps: ", 0), 0u);
  s.steps = 100000000000;
  s.walkers = 100000000000;  // 10^15 streams
  s.separations.assign(10000, 1.0f);
  EXPECT_EQ(stream_plan::of(s).misfit().value_or("").rfind("--walkers: ", 0), 0u);
  optimize_settings o;
  o.separations = {0.74f};
  o.sample_steps = 5000000000000000;
  EXPECT_EQ(stream_plan::of(o).misfit().value_or("").rfind("--sample-steps: ", 0), 0u);
}


// The bytes of a file; empty when there is none.
std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh directory for a test's files.
std::string fresh_directory() {
  std::string name = ::testing::TempDir() + "vmc-checkpoint-XXXXXX";
  EXPECT_NE(::mkdtemp(name.data()), nullptr);
  return name + "/";
}

// Two ranks' keepers, each walking its own separations and writing nothing,
// give rank 0 the records from which it writes the very file one process
// writes; and a keeper handed the file's bytes by a source continues from them.
TEST(GatheredCheckpoint, TwoRanksWriteTheFileOfOneProcess) {
  const std::string dir = fresh_directory();
  scan_settings s;
  s.separations = {0.74f, 1.5f, 2.5f};
  s.steps = 4000;
  s.equilibration = 100;
  s.walkers = 2;
  const identity id = scan_identity("test", s);
  const auto off = std::chrono::milliseconds(0);
  scan_checkpoint one(dir + "one", off, id, s);
  run_scan_keeping(s, {0, 1, 2}, {}, nullptr, &one);
  scan_checkpoint zero(dir + "two", off, id, s), first(dir + "two", off, id, s);
  zero.gather_instead();
  first.gather_instead();
  run_scan_keeping(s, {0, 2}, {}, nullptr, &zero);
  run_scan_keeping(s, {1}, {}, nullptr, &first);
  EXPECT_EQ(file_bytes(dir + "two"), "") << "a gathering keeper wrote the file itself";
  zero.write_parts({zero.part([](std::size_t i) { return i % 2 == 0; }),
                    first.part([](std::size_t i) { return i % 2 == 1; })});
  EXPECT_EQ(file_bytes(dir + "two"), file_bytes(dir + "one"));
  int read = 0;
  const checkpoint_source source = [&](const std::string&, std::string& bytes) {
    ++read;
    bytes = file_bytes(dir + "one");
    return true;
  };
  scan_checkpoint again(dir + "elsewhere", off, id, s, source);
  EXPECT_EQ(read, 1);
  EXPECT_TRUE(again.resumed());
  EXPECT_EQ(again.resumed_steps(), 3 * 4000);
}

TEST(GatheredCheckpoint, TwoRanksOfDmcWriteTheFileOfOneProcess) {
  const std::string dir = fresh_directory();
  dmc_settings d;
  d.separations = {0.74f, 1.5f};
  d.parameters = {{1.1, 0.59, 0.424}, {1.1, 0.59, 0.424}};
  d.walkers = 40;
  d.steps = 60;
  d.equilibration = 10;
  d.vmc_steps = 1000;
  const identity id = dmc_identity("test", d);
  const auto off = std::chrono::milliseconds(0);
  dmc_checkpoint one(dir + "one", off, id, d);
  for (std::size_t i : {0, 1}) run_dmc_keeping(d, i, {}, nullptr, &one);
  dmc_checkpoint zero(dir + "two", off, id, d), first(dir + "two", off, id, d);
  zero.gather_instead();
  first.gather_instead();
  run_dmc_keeping(d, 0, {}, nullptr, &zero);
  run_dmc_keeping(d, 1, {}, nullptr, &first);
  EXPECT_EQ(file_bytes(dir + "two"), "") << "a gathering keeper wrote the file itself";
  zero.write_parts({zero.part([](std::size_t i) { return i == 0; }),
                    first.part([](std::size_t i) { return i == 1; })});
  EXPECT_EQ(file_bytes(dir + "two"), file_bytes(dir + "one"));
}

// A dmc checkpoint of an earlier diffusion step, which would continue with
// other deviates than a fresh run draws, is refused by name.
TEST(DmcCheckpoint, OneOfAnotherDiffusionStepIsRefused) {
  dmc_settings d;
  d.separations = {0.74f};
  d.parameters = {{0.25, 1, 0.4454}};
  const identity id = dmc_identity("test", d);
  for (const std::string was : {"(none)", "2"}) {
    identity earlier;
    for (const auto& [name, value] : id) {
      if (name != "walk") earlier.emplace_back(name, value);
      if (name == "walk" && was != "(none)") earlier.emplace_back(name, was);
    }
    try {
      checkpoint_state(checkpoint_bytes(earlier, "state"), id);
      ADD_FAILURE() << "a checkpoint of walk " << was << " was taken";
    } catch (const checkpoint_error& e) {
      EXPECT_NE(std::string(e.what()).find("it was written with walk " + was + ", not 3"),
                std::string::npos)
          << e.what();
    }
  }
}

}  // namespace
}  // namespace vmc
