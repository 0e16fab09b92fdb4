#include "classic_reference.h"

#include <array>
#include <cstdint>

#include "model/local_energy.h"
#include "model/orbital_length.h"
#include "model/trial_function.h"
#include "model/wave_function.h"
#include "output/record.h"
#include "random/ecuyer.h"
#include "random/ran1.h"

namespace vmc::testing {

classic_outputs reference_vodik() {
  constexpr model_constants c = make_constants();
  const float beta = 0.25f;
  const float g = 0.40125f;
  const int m = 100000;
  ecuyer gen;
  rne2in(gen, 5465, 9675);
  classic_outputs out;
  std::size_t records = 0;
  for (int k = 0; k <= 44; ++k) {
    const float s = static_cast<float>(0.3 + 0.05 * k);
    out.pass_first.push_back(records);
    std::array<float, 6> surel, surel2, u;
    rnecuy(gen, surel, 6);
    for (float& w : surel) w = 2.0f * w - 1.0f;
    surel[2] += -s / 2.0f;
    surel[5] += s / 2.0f;
    const float a = apar<exp_double>(c.abohr, s, apar_start::abohr);
    const trial_function<exp_double> t{s, a, c.alfa, beta, c.e2, c.hbm};
    float fi = phi(surel, t);
    float sm = 0.0f, ev = 0.0f;
    const float am = static_cast<float>(m);
    for (int j = 1; j <= m; ++j) {
      rnecuy(gen, u, 6);
      for (int i = 0; i < 6; ++i) surel2[i] = surel[i] + (2.0f * u[i] - 1.0f) * g;
      const float elocn = elocal(surel2, t);
      const float fin = phi(surel2, t);
      const float qf = (fin * fin) / (fi * fi);
      rnecuy(gen, u, 1);
      if (qf > u[0]) {
        fi = fin;
        ev = ev + elocn;
        sm = sm + 1.0f;
        surel = surel2;
        append_record(out.elektrony1, surel[1], surel[2]);
        append_record(out.elektrony2, surel[4], surel[5]);
        ++records;
      }
    }
    append_record(out.console, "separacia= ", s, "E= ", ev / sm, "ratio  ", sm / am);
    append_record(out.energ, s, ev / sm);
  }
  return out;
}

classic_outputs reference_molekula() {
  constexpr model_constants c = make_constants();
  const float beta = 0.25f, s = 10.0f, g = 0.5f;
  ran1 gen(391);
  classic_outputs out;
  std::array<float, 6> cur, trial;
  for (float& x : cur) x = 2.0f * gen.next() - 1.0f;
  cur[2] = cur[2] - s / 2.0f;
  cur[5] = cur[5] + s / 2.0f;
  append_record(out.console, " NAHODNE SURADNICE ELEKTRONOV");
  append_record(out.console, cur[0], cur[1], cur[2], cur[3], cur[4], cur[5]);
  append_record(out.pociatok, cur[0], cur[1], cur[2]);
  append_record(out.pociatok, cur[3], cur[4], cur[5]);
  append_record(out.jadra, 0.0f, s / (-2.0f));
  append_record(out.jadra, 0.0f, s / 2.0f);
  const float a = apar<exp_double>(c.abohr, s, apar_start::ten_angstrom);
  const trial_function<exp_double> t{s, a, c.alfa, beta, c.e2, c.hbm};
  append_record(out.console, "A=", a);
  append_record(out.console, "LOKALNA ENERGIA=", elocal(cur, t));
  float psi = phi(cur, t);
  append_record(out.console, "PRAVDEPODOBNOST=", psi * psi);
  float sum = 0.0f, accepted = 0.0f;
  for (int step = 0; step < 1000; ++step) {
    for (int i = 0; i < 6; ++i) trial[i] = (2.0f * g * gen.next() - g) + cur[i];
    const float e_new = elocal(trial, t);
    const float psi_new = phi(trial, t);
    const float ratio = (psi_new * psi_new) / (psi * psi);
    if (ratio > gen.next()) {
      psi = psi_new;
      sum = e_new + sum;
      accepted = accepted + 1.0f;
      cur = trial;
      append_record(out.elektrony1, cur[1], cur[2]);
      append_record(out.elektrony2, cur[4], cur[5]);
    }
  }
  append_record(out.console, "E=", sum / accepted, "  USPESNYCH POKUSOV:", accepted);
  append_record(out.energ, s, sum / accepted);
  return out;
}

classic_outputs reference_elektron(float s) {
  constexpr model_constants c = make_constants();
  const float beta = 0.25f;
  std::int64_t state = 4;
  auto draw = [&state] {
    state = (3456 * state + 234) % 8549724;
    return static_cast<float>(state) / static_cast<float>(8549724);
  };
  classic_outputs out;
  append_record(out.console, "Zadaj vzdialenost protonov");
  std::array<float, 6> cur, trial;
  for (int e = 0; e < 2; ++e) {
    float* r = &cur[static_cast<std::size_t>(3 * e)];
    r[0] = 2.0f * draw() - 1.0f;
    r[1] = 2.0f * draw() - 1.0f;
    const double offset = (e == 0 ? -0.5 : 0.5) * static_cast<double>(s);
    r[2] = static_cast<float>(2.0 * static_cast<double>(draw()) - 1.0 + offset);
    append_record(out.pociatok, r[0], r[1], r[2]);
    append_record(out.console, "suradnice", r[0], r[1], r[2]);
  }
  append_record(out.console, s);
  const float a = apar<exp_single>(c.abohr, s, apar_start::ten_angstrom);
  const trial_function<exp_single> t{s, a, c.alfa, beta, c.e2, c.hbm};
  append_record(out.console, "a=", a);
  const float e_start = elocal(cur, t);
  const float psi = phi(cur, t);
  float w = psi * psi;
  append_record(out.console, "e=", e_start, "fi=", w);
  float sum = 0.0f;
  std::int64_t n = 0;
  for (int step = 0; step < 20; ++step) {
    for (int i = 0; i < 6; ++i) trial[i] = cur[i] + (draw() - 0.5f);
    const float e_t = elocal(trial, t);
    const float psi_t = phi(trial, t);
    const float w_t = psi_t * psi_t;
    append_record(out.console, "e=", e_t, "fi=", w_t);
    if (w_t / w >= draw()) {
      w = w_t;
      sum = sum + e_t;
      cur = trial;
      n = n + 1;
    }
  }
  append_record(out.console, "n=", n, "EV=", sum / static_cast<float>(n));
  return out;
}

}  // namespace vmc::testing
