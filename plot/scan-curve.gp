# The energy curve of a vmc scan table with its error bars, beside the exact
# curve and, when given, the energies of a vodik run.
# Variables: table (the vmc scan table), exact (the exact curve), out (PNG),
# classic (vodik's energ.dat, or "" for none).
set terminal pngcairo size 900,600 enhanced font "DejaVu Sans,12"
set output out
set title "H_2: vmc scan, mean over every step with its error bar, and exact"
set xlabel "proton separation s (Å)"
set ylabel "energy (eV)"
set grid lc rgb "#dddddd"
set key top right box opaque
separated = -27.1899
# The table's columns: 1 s, 6 energy, 7 error, 10 energy_accepted; its first
# row is the header.
if (classic ne "") {
  plot separated with lines dt 2 lw 2 lc rgb "#777777" title "two separated H atoms (−27.19 eV)", \
       exact using 3:4 with lines lw 2.5 lc rgb "#1f77b4" title "exact (Pachucki 2010)", \
       classic using 1:2 with points pt 6 ps 0.9 lc rgb "#555555" title "vodik E (accepted moves, 10^5 steps)", \
       table skip 1 using 1:10 with lines lw 1.5 dt 3 lc rgb "#ff7f0e" title "energy\\_accepted (biased)", \
       table skip 1 using 1:6:7 with yerrorbars pt 7 ps 0.6 lw 1.5 lc rgb "#d62728" title "energy ± error (unbiased)"
} else {
  plot separated with lines dt 2 lw 2 lc rgb "#777777" title "two separated H atoms (−27.19 eV)", \
       exact using 3:4 with lines lw 2.5 lc rgb "#1f77b4" title "exact (Pachucki 2010)", \
       table skip 1 using 1:10 with lines lw 1.5 dt 3 lc rgb "#ff7f0e" title "energy\\_accepted (biased)", \
       table skip 1 using 1:6:7 with yerrorbars pt 7 ps 0.6 lw 1.5 lc rgb "#d62728" title "energy ± error (unbiased)"
}
