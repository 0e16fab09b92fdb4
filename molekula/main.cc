// molekula: one Metropolis walk of 1000 steps for two hydrogen atoms 10 A
// apart, with its start configuration and the nuclei written for plotting.
#include "molekula/fixed_separation.h"
#include "output/program.h"

int main() {
  return vmc::run_program("molekula", [] {
    vmc::text_stream console(1, "standard output");
    vmc::run_molekula(console);
  });
}
