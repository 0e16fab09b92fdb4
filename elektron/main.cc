// elektron: asks for the proton separation and shows a 20-step Metropolis
// walk of the two electrons, step by step.
#include <span>

#include "elektron/demonstration.h"
#include "output/program.h"

namespace {

constexpr const char* usage =
    "Usage: elektron\n"
    "\n"
    "Asks for the proton separation in angstrom (from 0 to 1000) on standard\n"
    "input, places the two electrons at random around the protons and shows a\n"
    "Metropolis walk of 20 steps: the local energy (e=) and psi^2 (fi=) of the\n"
    "start and of every trial configuration, then the number of accepted moves\n"
    "(n=) and the mean local energy over them (EV=, eV).\n"
    "Writes generator.dat, the start coordinates of the two electrons, into the\n"
    "current directory, replacing what is there.\n"
    "\n"
    "Takes no arguments.\n";

}  // namespace

int main(int argc, char** argv) {
  return vmc::run_program("elektron", usage, std::span(argv, static_cast<std::size_t>(argc)), [] {
    vmc::text_stream console(1, "standard output");
    vmc::run_elektron(console, 0);
  });
}
