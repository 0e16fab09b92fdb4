#include "elektron/demonstration.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

#include "elektron/separation.h"
#include "model/trial_function.h"
#include "output/io_error.h"
#include "output/output_file.h"
#include "random/lcg.h"
#include "walk/accepted_mean.h"
#include "walk/metropolis.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

namespace vmc {
namespace {

// The separation from descriptor input, read a byte at a time so that
// nothing after its line is taken from a terminal.
float separation_from(int input) {
  const separation_reading s = read_separation([input]() -> int {
    for (;;) {
      unsigned char c;
      const ssize_t n = ::read(input, &c, 1);
      if (n == 1) return c;
      if (n == 0) return -1;
      if (errno != EINTR) throw io_error("standard input", errno);
    }
  });
  if (!s.value) throw std::runtime_error("standard input: " + s.problem);
  return *s.value;
}

}  // namespace

void run_elektron(text_stream& console, int input) {
  const float beta = 0.25f;  // shape of the electron-electron factor, 1/A
  const std::int64_t steps = 20;

  write_record(console, "Zadaj vzdialenost protonov");
  console.flush();
  const float s = separation_from(input);

  lcg g;
  output_file generator("generator.dat");
  // Each z is formed in double and rounded to float once.
  const coords start = start_configuration(g, s, offset_rounding::once);
  for (int e = 0; e < 2; ++e) {
    const float* r = &start[static_cast<std::size_t>(3 * e)];
    write_record(generator, r[0], r[1], r[2]);
    write_record(console, "suradnice", r[0], r[1], r[2]);
    console.flush();
  }
  write_record(console, s);

  const trial_function<exp_single> t =
      cusp_trial_function<exp_single>(s, beta, apar_start::ten_angstrom);
  write_record(console, "a=", t.a);
  walker w = walker_at(start, t);
  write_record(console, "e=", w.at.eloc, "fi=", w.at.psi * w.at.psi);
  console.flush();

  accepted_mean energy;
  metropolis_walk(w, g, unit_step{}, t, acceptance::at_least_deviate, steps,
                  [&](const walk_step& step) {
                    // Every trial is shown, accepted or not: its local energy and psi^2.
                    write_record(console, "e=", step.trial_at.eloc, "fi=",
                                 step.trial_at.psi * step.trial_at.psi);
                    console.flush();
                    energy(step);
                  });
  write_record(console, "n=", energy.count, "EV=", energy.mean());
  console.flush();
  // Named only once the whole demonstration has been shown.
  generator.close();
}

}  // namespace vmc
