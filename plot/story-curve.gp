# The whole story in one picture: the classic trial function (vmc scan), the
# optimised one (vmc optimize), diffusion Monte Carlo (vmc dmc) and the exact
# curve. Variables: classic, optimized, diffusion (the three tables), exact,
# out (PNG).
set terminal pngcairo size 900,620 enhanced font "DejaVu Sans,12"
set output out
set title "H_2 ground-state energy: variational and diffusion Monte Carlo, and exact"
set xlabel "proton separation s (Å)"
set ylabel "energy (eV)"
set xrange [0.2:2.6]
set yrange [-32.5:-14]
set grid lc rgb "#dddddd"
set key top right box opaque
separated = -27.1899
# Columns: vmc scan 1 s, 6 energy, 7 error; vmc optimize 1 s, 5 energy,
# 6 error; vmc dmc 1 s, 5 energy, 6 error. Each table has a header row.
plot separated with lines dt 2 lw 2 lc rgb "#777777" title "two separated H atoms (−27.19 eV)", \
     exact using 3:4 with lines lw 2.5 lc rgb "#1f77b4" title "exact (Pachucki 2010)", \
     classic skip 1 using 1:6:7 with yerrorbars pt 6 ps 0.6 lc rgb "#d62728" title "VMC, classic trial function", \
     optimized skip 1 using 1:5:6 with yerrorbars pt 4 ps 0.6 lc rgb "#2ca02c" title "VMC, optimised trial function", \
     diffusion skip 1 using 1:5:6 with yerrorbars pt 7 ps 0.8 lc rgb "#000000" title "diffusion Monte Carlo"
