#pragma once

#include "model/covalent_ionic.h"

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

}  // namespace vmc
