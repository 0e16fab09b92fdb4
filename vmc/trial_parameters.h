#pragma once

#include "model/covalent_ionic.h"
#include "vmc/options.h"

namespace vmc {

// The free parameters of the covalent-ionic trial function.
struct trial_parameters {
  double beta;    // correlation parameter, 1/A
  double lambda;  // ionic weight
  double a;       // orbital length, A
};

// The covalent-ionic trial function at separation s with parameters p and
// the model constants.
covalent_ionic_trial<float> trial_of(float s, const trial_parameters& p);

// The classic trial function at separation s: beta 0.25 /A, lambda 1 and the
// orbital length of the cusp condition.
trial_parameters classic_trial(float s);

// The parameters vmc optimize finds at separation s, built in from 0.2 to
// 4 A (straight lines between rows 0.1 A apart) and held at the end rows'
// values beyond: the default trial function of vmc dmc.
trial_parameters optimised_trial(float s);

// The trial function the request names at separation s, with the parameters
// it gives in place of that function's own.
trial_parameters trial_at(const trial_request& r, float s);

}  // namespace vmc
