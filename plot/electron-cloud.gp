# Where the electrons go: the (y, z) positions after accepted moves, as a
# density image (many points) or as points (few), with the nuclei and the
# start positions. Variables: cloud (rows "z y count" for an image, or the
# records "y z"), dense (1 for an image), nuclei (records "y z"), start
# (records "x y z", or ""), zlo, zhi, height (pixels), caption, out.
set terminal pngcairo size 900,height enhanced font "DejaVu Sans,12"
set output out
set title caption
set xlabel "z, along the bond (Å)"
set ylabel "y (Å)"
set xrange [zlo:zhi]
set yrange [-2.5:2.5]
set size ratio -1
set key top right box opaque
protons = sprintf("'%s' using 2:1 with points pt 7 ps 2 lc rgb '#d62728' title 'protons'", nuclei)
starts = start ne "" ? \
  sprintf(", '%s' using 3:2 with points pt 6 ps 2 lw 2 lc rgb '#2ca02c' title 'start positions'", start) : ""
if (dense) {
  set logscale cb
  set cblabel "accepted positions per 0.025 Å bin"
  set palette defined (0 "#ffffff", 1 "#c6dbef", 3 "#4292c6", 6 "#08306b")
  plot cloud using 1:2:3 with image notitle, @protons @starts
} else {
  plot cloud using 2:1 with points pt 7 ps 0.6 lc rgb "#801f77b4" title "electron positions", \
       @protons @starts
}
