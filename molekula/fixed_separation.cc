#include "molekula/fixed_separation.h"

#include <cstdint>

#include "model/constants.h"
#include "model/evaluation.h"
#include "model/local_energy.h"
#include "model/orbital_length.h"
#include "model/wave_function.h"
#include "molekula/ran1.h"
#include "output/output_file.h"

namespace vmc {

void run_molekula(text_stream& console) {
  constexpr model_constants c = make_constants();
  const float s = 10.0f;
  const float g = 0.5f;  // largest displacement of one coordinate, A
  const int steps = 1000;
  std::int32_t state = 391;

  // Start configuration: every coordinate uniform in (-1, 1) A, electron 1
  // around the left nucleus (z = -s/2), electron 2 around the right one.
  coords current;
  for (float& x : current) x = 2.0f * ran1(state) - 1.0f;
  current[2] = current[2] - s / 2.0f;
  current[5] = current[5] + s / 2.0f;

  write_record(console, " NAHODNE SURADNICE ELEKTRONOV");
  console.flush();
  output_file pociatok("pociatok.dat");
  write_record(console, current[0], current[1], current[2], current[3], current[4], current[5]);
  console.flush();
  write_record(pociatok, current[0], current[1], current[2]);
  write_record(pociatok, current[3], current[4], current[5]);
  pociatok.close();

  // The nuclei as (y, z) pairs, like the records of the electron files.
  output_file jadra("jadra.dat");
  write_record(jadra, 0.0f, s / (-2.0f));
  write_record(jadra, 0.0f, s / 2.0f);
  jadra.close();

  const float a = apar<exp_double>(c.abohr, s, apar_start::ten_angstrom);
  write_record(console, "A=", a);
  console.flush();
  const float e_start = elocal<exp_double>(current, a, c.alfa, c.beta, s, c.e2, c.hbm);
  write_record(console, "LOKALNA ENERGIA=", e_start);
  console.flush();
  float psi = phi<exp_double>(current, a, c.alfa, c.beta, s);
  write_record(console, "PRAVDEPODOBNOST=", psi * psi);
  console.flush();

  output_file energ("energ.dat");
  output_file elektrony1("elektrony1.dat");
  output_file elektrony2("elektrony2.dat");
  float sum = 0.0f;
  float accepted = 0.0f;

  coords trial;
  for (int step = 0; step < steps; ++step) {
    for (int i = 0; i < 6; ++i) trial[i] = (2.0f * g * ran1(state) - g) + current[i];
    const evaluation t = evaluate<exp_double>(trial, a, c.alfa, c.beta, s, c.e2, c.hbm);
    const float ratio = (t.psi * t.psi) / (psi * psi);
    // Strictly greater: a ratio that is not a number is rejected.
    if (ratio > ran1(state)) {
      psi = t.psi;
      // The estimate is the mean local energy over the accepted moves.
      sum = t.eloc + sum;
      accepted = accepted + 1.0f;
      current = trial;
      write_record(elektrony1, current[1], current[2]);
      write_record(elektrony2, current[4], current[5]);
    }
  }

  const float e = sum / accepted;
  write_record(console, "E=", e, "  USPESNYCH POKUSOV:", accepted);
  console.flush();
  write_record(energ, s, e);
  close_together({energ, elektrony1, elektrony2});
}

}  // namespace vmc
