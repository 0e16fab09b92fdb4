#include "molekula/fixed_separation.h"

#include <cstdint>

#include "model/trial_function.h"
#include "output/output_file.h"
#include "random/ran1.h"
#include "walk/accepted_mean.h"
#include "walk/metropolis.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

namespace vmc {

void run_molekula(text_stream& console) {
  const float s = 10.0f;
  const float beta = 0.25f;  // shape of the electron-electron factor, 1/A
  const float g = 0.5f;      // largest displacement of one coordinate, A
  const std::int64_t steps = 1000;
  ran1 generator(391);

  // Electron 1 around the left nucleus (z = -s/2), electron 2 around the right one.
  const coords start = start_configuration(generator, s, offset_rounding::per_operation);

  write_record(console, " NAHODNE SURADNICE ELEKTRONOV");
  console.flush();
  output_file pociatok("pociatok.dat");
  write_record(console, start[0], start[1], start[2], start[3], start[4], start[5]);
  console.flush();
  write_record(pociatok, start[0], start[1], start[2]);
  write_record(pociatok, start[3], start[4], start[5]);

  // The nuclei as (y, z) pairs, like the records of the electron files.
  output_file jadra("jadra.dat");
  write_record(jadra, 0.0f, s / (-2.0f));
  write_record(jadra, 0.0f, s / 2.0f);

  const trial_function<exp_double> t =
      cusp_trial_function<exp_double>(s, beta, apar_start::ten_angstrom);
  write_record(console, "A=", t.a);
  console.flush();
  walker w = walker_at(start, t);
  write_record(console, "LOKALNA ENERGIA=", w.at.eloc);
  console.flush();
  write_record(console, "PRAVDEPODOBNOST=", w.at.psi * w.at.psi);
  console.flush();

  output_file energ("energ.dat");
  output_file elektrony1("elektrony1.dat");
  output_file elektrony2("elektrony2.dat");
  accepted_mean energy;
  metropolis_walk(w, generator, shifted_step{g}, t, acceptance::above_deviate, steps,
                  [&](const walk_step& step) {
                    energy(step);
                    if (step.accepted) {
                      write_record(elektrony1, step.now.r[1], step.now.r[2]);
                      write_record(elektrony2, step.now.r[4], step.now.r[5]);
                    }
                  });

  const float e = energy.mean();
  // The count is printed as a float, as it always has been.
  write_record(console, "E=", e, "  USPESNYCH POKUSOV:", static_cast<float>(energy.count));
  console.flush();
  write_record(energ, s, e);
  // The five files are one set: none gets its name before all are written.
  close_together({pociatok, jadra, energ, elektrony1, elektrony2});
}

}  // namespace vmc
