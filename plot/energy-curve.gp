# The energy curve of a vodik run beside the exact curve of the molecule.
# Variables: energ (the run's energ.dat), exact (the exact curve), out (PNG).
set terminal pngcairo size 900,600 enhanced font "DejaVu Sans,12"
set output out
set title "H_2 ground-state energy: variational Monte Carlo and exact"
set xlabel "proton separation s (Å)"
set ylabel "energy E (eV)"
set xrange [0.2:2.8]
set yrange [-33:-14]
set grid lc rgb "#dddddd"
set key bottom right box opaque
separated = -27.1899
plot separated with lines dt 2 lw 2 lc rgb "#777777" title "two separated H atoms (−27.19 eV)", \
     exact using 3:4 with lines lw 2.5 lc rgb "#1f77b4" title "exact (Pachucki 2010)", \
     energ using 1:2 with linespoints pt 7 ps 0.9 lw 1.5 lc rgb "#d62728" title "VMC, this run (energ.dat)"
