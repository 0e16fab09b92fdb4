# The vibrational levels (J = 0) of H2 and, beside them, of D2 on the same
# Born-Oppenheimer curve: each level a line between its classical turning
# points, and |psi|^2 of the five lowest drawn on their levels.
# Variables: levels (vmc spectrum --levels), waves (--wave-functions), out (PNG).
set terminal pngcairo size 1200,650 enhanced font "DejaVu Sans,12"
set output out
set datafile separator "\t"
set multiplot layout 1,2 title "The nuclei's levels on the curve: H_2 and D_2, J = 0"
set xlabel "proton separation (Å)"
set ylabel "energy above two H atoms (cm^{-1})"
set xrange [0.3:3.3]
set yrange [-40000:3000]
set grid lc rgb "#dddddd"
set key bottom right box opaque
# |psi|^2 in 1/Å is drawn on its level, 600 cm^-1 for each 1/Å, where it is
# not negligible.
scale = 600
# Columns: levels 1 molecule, 2 v, 3 J, 4 energy, 6 inner, 7 outer;
# waves 1 molecule, 2 v, 3 energy, 4 s, 5 potential, 6 density.
do for [m in "H2 D2"] {
  set title (m eq "H2" ? "H_2" : "D_2")
  plot 0 with lines dt 2 lw 1.5 lc rgb "#777777" title "H + H", \
       waves skip 1 using (strcol(1) eq m && $2 == 0 ? $4 : 1/0):5 with lines lw 2.5 \
         lc rgb "#1f77b4" title "the curve", \
       levels skip 1 using (strcol(1) eq m && $3 == 0 ? $6 : 1/0):4:($7 - $6):(0) \
         with vectors nohead lw 1.2 lc rgb "#d62728" title "levels", \
       waves skip 1 using (strcol(1) eq m && $6 > 1e-3 ? $4 : 1/0):($3 + scale * $6) \
         with lines lw 1.5 lc rgb "#2ca02c" title "|ψ_v|^2, v ≤ 4"
}
unset multiplot
