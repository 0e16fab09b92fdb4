#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "model/constants.h"
#include "model/orbital_length.h"
#include "vmc/trial_parameters.h"

namespace vmc {
namespace {

// beta (1/A), lambda and a (A) that vmc optimize found at s = 0.2, 0.3, ...,
// 4.0 A, to four figures:
//   vmc optimize --separations 0.2:4:0.1 --sample-steps 4e6 --steps 1e6
// Near the curve's minimum their variational energy lies 0.4 eV above the
// exact one, the classic function's 1.8 eV; diffusion Monte Carlo from them
// reaches an error bar 2.5 times smaller in the same time at 0.74 A. At
// 0.2 A lambda sits at the search's bound of 1. Beyond 3 A the energy hardly
// depends on beta, and lambda tends to 0 and a to the Bohr radius: two atoms.
constexpr double first_separation = 0.2, spacing = 0.1;
constexpr std::array<trial_parameters, 39> optimised_rows{{
    {0.7828, 0.9997, 0.3153},  {0.8561, 0.9134, 0.3381},  {0.9116, 0.8198, 0.3598},
    {0.9694, 0.7496, 0.3803},  {1.048, 0.6573, 0.3991},   {1.118, 0.6047, 0.4180},
    {1.161, 0.5525, 0.4347},   {1.185, 0.5037, 0.4490},   {1.240, 0.4553, 0.4634},
    {1.270, 0.4133, 0.4765},   {1.337, 0.3663, 0.4872},   {1.373, 0.3275, 0.4954},
    {1.433, 0.2897, 0.5036},   {1.430, 0.2579, 0.5099},   {1.499, 0.2204, 0.5160},
    {1.563, 0.1913, 0.5201},   {1.634, 0.1632, 0.5233},   {1.687, 0.1378, 0.5257},
    {1.814, 0.1158, 0.5278},   {1.864, 0.0982, 0.5287},   {1.894, 0.08115, 0.5296},
    {2.041, 0.06592, 0.5297},  {2.035, 0.05484, 0.5300},  {2.202, 0.04371, 0.5304},
    {2.166, 0.03688, 0.5303},  {2.401, 0.02716, 0.5304},  {2.389, 0.02485, 0.5309},
    {2.434, 0.01953, 0.5302},  {2.568, 0.0165, 0.5297},   {2.868, 0.01285, 0.5297},
    {2.447, 0.01232, 0.5296},  {2.887, 0.01098, 0.5293},  {3.226, 0.006114, 0.5305},
    {2.993, 0.006261, 0.5301}, {3.294, 0.006401, 0.5301}, {3.485, 0.001644, 0.5298},
    {3.235, 0.007029, 0.5293}, {3.407, 0.001694, 0.5301}, {3.624, 0.001126, 0.5307},
}};

}  // namespace

trial_parameters classic_trial(float s) {
  constexpr model_constants c = make_constants();
  return {0.25, 1.0, apar<exp_double>(c.abohr, s, apar_start::abohr)};
}

trial_parameters optimised_trial(float s) {
  // Straight lines between the rows; the end rows' values beyond them.
  // fmin and fmax, unlike clamp, take a NaN to the last row.
  const double x = std::fmax(0.0, std::fmin((static_cast<double>(s) - first_separation) / spacing,
                                            static_cast<double>(optimised_rows.size() - 1)));
  const auto k = std::min(static_cast<std::size_t>(x), optimised_rows.size() - 2);
  const double f = x - static_cast<double>(k);
  const trial_parameters& p = optimised_rows[k];
  const trial_parameters& q = optimised_rows[k + 1];
  return {p.beta + f * (q.beta - p.beta), p.lambda + f * (q.lambda - p.lambda), p.a + f * (q.a - p.a)};
}

trial_parameters trial_at(const trial_request& r, float s) {
  trial_parameters p = r.classic ? classic_trial(s) : optimised_trial(s);
  if (r.beta) p.beta = *r.beta;
  if (r.ionic_weight) p.lambda = *r.ionic_weight;
  if (r.orbital_length) p.a = *r.orbital_length;
  return p;
}

}  // namespace vmc
