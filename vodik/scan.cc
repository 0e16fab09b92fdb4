#include "vodik/scan.h"

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <exception>
#include <memory>

#include "lanes/lane_walk.h"
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
// Groups of passes walked in one round, and the most threads a scan uses.
constexpr std::size_t round_groups = 2;
constexpr int most_threads = 4;

// The longest record " y z\n", and the room writing one needs.
constexpr std::size_t record_width = 2 * real_width + 1;
constexpr std::size_t record_room = real_width + real_room;

// Writes the record " y z" at p, which has room for record_room characters:
// the electron files hold millions of these, and their formatting costs more
// than the walk.
char* put_position(char* p, float y, float z) {
  p = put_real(p, y);
  p = put_real(p, z);
  *p++ = '\n';
  return p;
}

// Appends the record " y z" straight into the buffer's memory.
void append_position(std::string& out, float y, float z) {
  const std::size_t used = out.size();
  out.resize(used + record_room);
  char* p = put_position(out.data() + used, y, z);
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

namespace {

// What the walk of one pass leaves for its records.
struct pass_walk {
  pass_report report{};
  // y1, z1, y2, z2 after every accepted move, with room for every step; only
  // what is written is ever touched.
  std::unique_ptr<float[]> moves;
  std::size_t accepted = 0;  // moves recorded
};

// The passes first ... first + count - 1 (count <= lane_width), walked
// together in vector lanes: each lane is exactly run_pass's walk.
void walk_passes(const ecuyer& seeded, const scan_settings& settings, std::size_t first,
                 std::size_t count, pass_walk* out) {
  const std::uint64_t draws_per_pass = 6 + 7 * static_cast<std::uint64_t>(settings.steps);
  lane_walkers group{};
  for (std::size_t k = 0; k < lane_width; ++k) {
    // Lanes beyond the passes given repeat the last one and are not recorded.
    const std::size_t p = first + std::min(k, count - 1);
    const float s = settings.separations[p];
    ecuyer g = ecuyer_advance(seeded, draws_per_pass * p);
    const coords start = start_configuration(g, s, offset_rounding::per_operation);
    const trial_function<exp_double> t =
        cusp_trial_function<exp_double>(s, beta, apar_start::abohr);
    set_lane(group, k, walker_at(start, t), g, t, g_step);
  }
  std::vector<accepted_mean> energy(count);
  for (std::size_t k = 0; k < count; ++k) {
    if (!out[k].moves) out[k].moves.reset(new float[4 * static_cast<std::size_t>(settings.steps)]);
    out[k].accepted = 0;
  }
  lane_steps steps(1024, true);
  walk_lanes_in_pieces(
      group, settings.steps, steps, [&](const lane_steps& o, std::int64_t, std::int64_t n) {
        for (std::size_t k = 0; k < count; ++k) {
          float* move = out[k].moves.get() + 4 * out[k].accepted;
          float sum = energy[k].sum;
          std::int64_t count = energy[k].count;
          for (std::int64_t j = 0; j < n; ++j) {
            // Without a branch, which would guess wrong half the time: every
            // step writes its position, and only an accepted one moves on; a
            // rejected one adds +0 (the energy's bits masked away), which
            // leaves the float sum, started at +0, as it is.
            const std::size_t at = static_cast<std::size_t>(j) * lane_width + k;
            const std::uint32_t accepted = o.accepted[at];
            sum = sum + std::bit_cast<float>(std::bit_cast<std::uint32_t>(o.eloc[at]) & (0 - accepted));
            count += accepted;
            const float* y = o.position.data() + static_cast<std::size_t>(j) * 4 * lane_width + k;
            for (std::size_t c = 0; c < 4; ++c) move[c] = y[c * lane_width];
            move += 4 * accepted;
          }
          energy[k].sum = sum;
          energy[k].count = count;
          out[k].accepted = static_cast<std::size_t>(move - out[k].moves.get()) / 4;
        }
      });
  const float am = static_cast<float>(settings.steps);
  for (std::size_t k = 0; k < count; ++k) {
    out[k].report = {settings.separations[first + k], energy[k].mean(),
                     static_cast<float>(energy[k].count) / am};
  }
}

// Room for the records " y z" of every step of a pass.
struct pass_text {
  std::unique_ptr<char[]> e1, e2;
  std::size_t e1_size = 0, e2_size = 0;
  explicit pass_text(std::int64_t steps)
      : e1(new char[static_cast<std::size_t>(steps) * record_width + record_room]),
        e2(new char[static_cast<std::size_t>(steps) * record_width + record_room]) {}
};

// The electron records of one pass: " y z" of electron 1 into e1 and of
// electron 2 into e2 after every accepted move.
void format_moves(const pass_walk& w, pass_text& t) {
  char* p1 = t.e1.get();
  char* p2 = t.e2.get();
  const float* m = w.moves.get();
  for (std::size_t i = 0; i < w.accepted; ++i, m += 4) {
    p1 = put_position(p1, m[0], m[1]);
    p2 = put_position(p2, m[2], m[3]);
  }
  t.e1_size = static_cast<std::size_t>(p1 - t.e1.get());
  t.e2_size = static_cast<std::size_t>(p2 - t.e2.get());
}

}  // namespace

void run_scan(text_stream& console, const scan_settings& settings) {
  ecuyer seeded;
  rne2in(seeded, seed1, seed2);

  output_file energ("energ.dat");
  output_file elektrony1("elektrony1.dat");
  output_file elektrony2("elektrony2.dat");

  const std::size_t passes = settings.separations.size();
  const std::size_t groups = (passes + lane_width - 1) / lane_width;
  // A round walks two groups of passes, then formats and writes them; the
  // walked moves of one round are all that is kept. Each thread formats into
  // text of its own, so the threads are capped: more could not help the six
  // groups of a scan, and would only take memory (about 5 MB each). All of
  // it is allocated here, before any thread starts, so that a failure is
  // thrown as usual.
  const int team = std::clamp(omp_get_max_threads(), 1, most_threads);
  std::vector<pass_walk> walked(round_groups * lane_width);
  std::vector<pass_text> texts;
  for (int t = 0; t < team; ++t) texts.emplace_back(settings.steps);
  std::exception_ptr failure;
  std::atomic<bool> failed{false};
  const auto fail = [&] {
#pragma omp critical(scan_failure)
    if (!failed.exchange(true)) failure = std::current_exception();
  };

#pragma omp parallel num_threads(team)
  {
    // Each thread keeps its two record buffers for all its passes, so the
    // memory is touched once rather than grown afresh in every pass.
    pass_text& text = texts[static_cast<std::size_t>(omp_get_thread_num())];
    for (std::size_t round = 0; round < groups; round += round_groups) {
      const std::size_t round_end = std::min(groups, round + round_groups);
#pragma omp for schedule(dynamic, 1)
      for (std::size_t g = round; g < round_end; ++g) {
        try {
          const std::size_t first = g * lane_width;
          if (!failed.load()) {
            walk_passes(seeded, settings, first, std::min(lane_width, passes - first),
                        walked.data() + (g - round) * lane_width);
          }
        } catch (...) {
          fail();
        }
      }
      const std::size_t first_pass = round * lane_width;
      const std::size_t end_pass = std::min(passes, round_end * lane_width);
#pragma omp for ordered schedule(dynamic, 1)
      for (std::size_t p = first_pass; p < end_pass; ++p) {
        const pass_walk& w = walked[p - first_pass];
        try {
          if (!failed.load()) format_moves(w, text);
        } catch (...) {
          fail();
        }
        // Finished text reaches the console and the files strictly in pass order.
#pragma omp ordered
        {
          if (!failed.load()) {
            try {
              const pass_report& r = w.report;
              write_record(console, "separacia= ", r.s, "E= ", r.e, "ratio  ", r.ratio);
              console.flush();
              write_record(energ, r.s, r.e);
              elektrony1.write({text.e1.get(), text.e1_size});
              elektrony2.write({text.e2.get(), text.e2_size});
            } catch (...) {
              fail();
            }
          }
        }
      }
    }
  }
  if (failure) std::rethrow_exception(failure);

  close_together({energ, elektrony1, elektrony2});
}

}  // namespace vmc
