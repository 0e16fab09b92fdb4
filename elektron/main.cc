// elektron: asks for the proton separation and shows a 20-step Metropolis
// walk of the two electrons, step by step.
#include "elektron/demonstration.h"
#include "output/program.h"

int main() {
  return vmc::run_program("elektron", [] {
    vmc::text_stream console(1, "standard output");
    vmc::run_elektron(console, 0);
  });
}
