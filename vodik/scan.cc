#include "vodik/scan.h"

#include <atomic>
#include <exception>

#include "model/trial_function.h"
#include "output/output_file.h"
#include "output/record.h"
#include "walk/accepted_mean.h"
#include "walk/metropolis.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

namespace vmc {
namespace {

constexpr std::int32_t seed1 = 5465;
constexpr std::int32_t seed2 = 9675;
constexpr float g_step = 0.40125f;  // largest displacement of one coordinate, A
constexpr float beta = 0.25f;       // shape of the electron-electron factor, 1/A
// Room for the electron records of one pass of 100000 steps: about 60 % of
// the moves are accepted, about 24 bytes a record; it grows if ever needed.
constexpr std::size_t pass_buffer_bytes = 2400000;

// Appends the record " y z" straight into the buffer's memory: the electron
// files hold millions of these, and their formatting costs as much as the walk.
void append_position(std::string& out, float y, float z) {
  const std::size_t used = out.size();
  out.resize(used + 2 * real_width + 1);
  char* p = out.data() + used;
  p = put_real(p, y);
  p = put_real(p, z);
  *p++ = '\n';
  out.resize(static_cast<std::size_t>(p - out.data()));
}

}  // namespace

std::vector<float> scan_separations() {
  std::vector<float> s;
  for (int k = 0; k <= 44; ++k) s.push_back(static_cast<float>(0.3 + 0.05 * k));
  return s;
}

pass_report run_pass(ecuyer& g, float s, std::int64_t steps, std::string& e1, std::string& e2) {
  const coords start = start_configuration(g, s, offset_rounding::per_operation);
  const trial_function<exp_double> t = cusp_trial_function<exp_double>(s, beta, apar_start::abohr);
  walker w = walker_at(start, t);
  accepted_mean energy;
  metropolis_walk(w, g, scaled_step{g_step}, t, acceptance::above_deviate, steps,
                  [&](const walk_step& step) {
                    energy(step);
                    // The position after every accepted move, electron by electron.
                    if (step.accepted) {
                      append_position(e1, step.now.r[1], step.now.r[2]);
                      append_position(e2, step.now.r[4], step.now.r[5]);
                    }
                  });
  const float am = static_cast<float>(steps);
  return {s, energy.mean(), static_cast<float>(energy.count) / am};
}

void run_scan(text_stream& console, const scan_settings& settings) {
  ecuyer seeded;
  rne2in(seeded, seed1, seed2);
  const std::uint64_t draws_per_pass = 6 + 7 * static_cast<std::uint64_t>(settings.steps);

  output_file energ("energ.dat");
  output_file elektrony1("elektrony1.dat");
  output_file elektrony2("elektrony2.dat");

  const int passes = static_cast<int>(settings.separations.size());
  std::exception_ptr failure;
  std::atomic<bool> failed{false};

#pragma omp parallel
  {
    // Each thread keeps its two record buffers for all its passes, so the
    // memory is touched once rather than grown afresh in every pass.
    std::string e1, e2;
    e1.reserve(pass_buffer_bytes);
    e2.reserve(pass_buffer_bytes);
#pragma omp for ordered schedule(dynamic, 1)
    for (int p = 0; p < passes; ++p) {
      e1.clear();
      e2.clear();
      pass_report r{};
      try {
        if (!failed.load()) {
          ecuyer g = ecuyer_advance(seeded, draws_per_pass * static_cast<std::uint64_t>(p));
          r = run_pass(g, settings.separations[static_cast<std::size_t>(p)], settings.steps, e1, e2);
        }
      } catch (...) {
#pragma omp critical(scan_failure)
        if (!failed.exchange(true)) failure = std::current_exception();
      }
      // The records reach the console and the files strictly in pass order.
#pragma omp ordered
      {
        if (!failed.load()) {
          try {
            write_record(console, "separacia= ", r.s, "E= ", r.e, "ratio  ", r.ratio);
            console.flush();
            write_record(energ, r.s, r.e);
            elektrony1.write(e1);
            elektrony2.write(e2);
          } catch (...) {
#pragma omp critical(scan_failure)
            if (!failed.exchange(true)) failure = std::current_exception();
          }
        }
      }
    }
  }
  if (failure) std::rethrow_exception(failure);

  close_together({energ, elektrony1, elektrony2});
}

}  // namespace vmc
