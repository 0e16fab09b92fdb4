#include "elektron/demonstration.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

#include "elektron/lcg.h"
#include "elektron/separation.h"
#include "model/constants.h"
#include "model/evaluation.h"
#include "model/local_energy.h"
#include "model/orbital_length.h"
#include "model/wave_function.h"
#include "output/io_error.h"
#include "output/output_file.h"

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
  constexpr model_constants c = make_constants();
  const int steps = 20;

  write_record(console, "Zadaj vzdialenost protonov");
  console.flush();
  const float s = separation_from(input);

  lcg g;
  output_file generator("generator.dat");
  coords current;
  // Each electron starts in the cube of edge 2 A around its proton; z is
  // formed in double and rounded to float once.
  for (int e = 0; e < 2; ++e) {
    float* r = &current[static_cast<std::size_t>(3 * e)];
    const double offset = (e == 0 ? -0.5 : 0.5) * static_cast<double>(s);
    r[0] = 2.0f * lcg_next(g) - 1.0f;
    r[1] = 2.0f * lcg_next(g) - 1.0f;
    r[2] = static_cast<float>(2.0 * static_cast<double>(lcg_next(g)) - 1.0 + offset);
    write_record(generator, r[0], r[1], r[2]);
    write_record(console, "suradnice", r[0], r[1], r[2]);
    console.flush();
  }
  generator.close();
  write_record(console, s);

  const float a = apar<exp_single>(c.abohr, s, apar_start::ten_angstrom);
  write_record(console, "a=", a);
  const float e_start = elocal<exp_single>(current, a, c.alfa, c.beta, s, c.e2, c.hbm);
  const float psi = phi<exp_single>(current, a, c.alfa, c.beta, s);
  float w = psi * psi;
  write_record(console, "e=", e_start, "fi=", w);
  console.flush();

  float sum = 0.0f;
  std::int64_t n = 0;
  coords trial;
  for (int step = 0; step < steps; ++step) {
    for (int i = 0; i < 6; ++i) trial[i] = current[i] + (lcg_next(g) - 0.5f);
    const evaluation t = evaluate<exp_single>(trial, a, c.alfa, c.beta, s, c.e2, c.hbm);
    const float wt = t.psi * t.psi;
    write_record(console, "e=", t.eloc, "fi=", wt);
    console.flush();
    const float q = wt / w;
    // At least the deviate accepts; a ratio that is not a number compares false.
    if (q >= lcg_next(g)) {
      w = wt;
      // The average is the mean local energy over the accepted moves.
      sum = sum + t.eloc;
      current = trial;
      n = n + 1;
    }
  }
  write_record(console, "n=", n, "EV=", sum / static_cast<float>(n));
  console.flush();
}

}  // namespace vmc
