// molekula: one Metropolis walk of 1000 steps for two hydrogen atoms 10 A
// apart, with its start configuration and the nuclei written for plotting.
#include <span>

#include "molekula/fixed_separation.h"
#include "output/program.h"

namespace {

constexpr const char* usage =
    "Usage: molekula\n"
    "\n"
    "One Metropolis walk of 1000 steps of the two electrons of a hydrogen\n"
    "molecule with the protons 10 angstrom apart.\n"
    "\n"
    "Prints the random start coordinates, the orbital length A, the local\n"
    "energy and psi^2 of the start, and at the end E, the mean local energy over\n"
    "the accepted moves (eV), with the number of accepted moves.\n"
    "Writes into the current directory, replacing what is there:\n"
    "  pociatok.dat     the start coordinates of electron 1, then of electron 2\n"
    "  jadra.dat        the two nuclei as (y, z) pairs\n"
    "  energ.dat        the separation and E\n"
    "  elektrony1.dat   y and z of electron 1 after every accepted move\n"
    "  elektrony2.dat   the same for electron 2\n"
    "\n"
    "Takes no arguments.\n";

}  // namespace

int main(int argc, char** argv) {
  return vmc::run_program("molekula", usage, std::span(argv, static_cast<std::size_t>(argc)), [] {
    vmc::text_stream console(1, "standard output");
    vmc::run_molekula(console);
  });
}
