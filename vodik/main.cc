// vodik: the energy curve of the hydrogen molecule, one Metropolis walk of
// 100000 steps at each of 45 proton separations from 0.3 to 2.5 A.
#include "output/program.h"
#include "vodik/scan.h"

int main() {
  return vmc::run_program("vodik", [] {
    vmc::text_stream console(1, "standard output");
    vmc::run_scan(console, {100000, vmc::scan_separations()});
    console.flush();
  });
}
