// vodik: the energy curve of the hydrogen molecule, one Metropolis walk of
// 100000 steps at each of 45 proton separations from 0.3 to 2.5 A.
#include <span>

#include "output/program.h"
#include "vodik/scan.h"

namespace {

constexpr const char* usage =
    "Usage: vodik\n"
    "\n"
    "The energy curve of the hydrogen molecule by variational Monte Carlo: a\n"
    "Metropolis walk of 100000 steps at each of the 45 proton separations\n"
    "0.3, 0.35, ..., 2.5 angstrom.\n"
    "\n"
    "Prints one line per separation: the separation (A), E, the mean local\n"
    "energy over the accepted moves (eV), and the fraction of accepted moves.\n"
    "Writes into the current directory, replacing what is there:\n"
    "  energ.dat        separation and E, one line per separation\n"
    "  elektrony1.dat   y and z of electron 1 after every accepted move (about 61 MB)\n"
    "  elektrony2.dat   the same for electron 2\n"
    "\n"
    "Takes no arguments. OMP_NUM_THREADS sets the number of threads (at most\n"
    "4 are used); the output is the same whatever it is.\n";

}  // namespace

int main(int argc, char** argv) {
  return vmc::run_program("vodik", usage, std::span(argv, static_cast<std::size_t>(argc)), [] {
    vmc::text_stream console(1, "standard output");
    vmc::run_scan(console, {100000, vmc::scan_separations()});
    console.flush();
  });
}
