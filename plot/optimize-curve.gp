# The variational principle at work: the energy curve of the classic trial
# function (a vmc scan table) and of the optimised one (a vmc optimize table)
# beside the exact curve, and below it the optimal parameters against s.
# Variables: optimized (vmc optimize table), classic (vmc scan table),
# exact (the exact curve), out (PNG).
set terminal pngcairo size 900,900 enhanced font "DejaVu Sans,12"
set output out
set multiplot layout 2,1 title "H_2: the classic trial function, the optimised one, and exact"
separated = -27.1899
set grid lc rgb "#dddddd"
set xrange [0.2:2.6]
set xlabel "proton separation s (Å)"
set ylabel "energy (eV)"
set yrange [-32.5:-14]
set key top right box opaque
# Tables: vmc optimize columns 1 s, 2 beta, 3 ionic_weight, 4 a, 5 energy,
# 6 error; vmc scan columns 1 s, 6 energy, 7 error. Both have a header row.
plot separated with lines dt 2 lw 2 lc rgb "#777777" title "two separated H atoms (−27.19 eV)", \
     exact using 3:4 with lines lw 2.5 lc rgb "#1f77b4" title "exact (Pachucki 2010)", \
     classic skip 1 using 1:6:7 with yerrorbars pt 6 ps 0.6 lc rgb "#d62728" title "classic: beta 0.25, ionic weight 1", \
     optimized skip 1 using 1:5:6 with yerrorbars pt 7 ps 0.6 lc rgb "#2ca02c" title "optimised beta, ionic weight, a"
set ylabel "optimal parameter"
set yrange [0:2.5]
set key top left box opaque
plot optimized skip 1 using 1:2 with linespoints pt 7 ps 0.6 lc rgb "#9467bd" title "beta (1/Å)", \
     optimized skip 1 using 1:3 with linespoints pt 5 ps 0.6 lc rgb "#ff7f0e" title "ionic weight lambda", \
     optimized skip 1 using 1:4 with linespoints pt 9 ps 0.7 lc rgb "#8c564b" title "orbital length a (Å)"
unset multiplot
