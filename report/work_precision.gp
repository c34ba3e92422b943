# A work-precision diagram: significant correct digits against CPU time
# (left) and against accepted steps (right), one line per method, each point
# one tolerance.
#
#   gnuplot -e "data='wp_test03.dat'; name='test03'; out='FILE.png'" report/work_precision.gp
#
# data holds one block per method (report_sweep writes them in this order),
# rows "eps scd cpu_seconds steps"; a method with no finished run has an
# empty block.

array label[5] = ['nm=1 implicit Euler', 'nm=2 trapezoidal', 'nm=3 three-point', 'nm=4 automatic', \
                  'SUNDIALS IDA (rtol = eps)']
array colour[5] = ['#1f77b4', '#2ca02c', '#d62728', '#9467bd', '#000000']
array marker[5] = [5, 9, 7, 13, 4]

set terminal pngcairo size 900, 400 font 'DejaVu Sans,9' noenhanced
set output out
set multiplot layout 1, 2 title sprintf('%s: work against precision', name)
set logscale x
set format x '1e%T'
set grid xtics ytics lc rgb '#dddddd'
set ylabel 'significant correct digits'
set yrange [0:*]
# Below the panels: every corner of a panel may hold a method's points.
set key below horizontal Left reverse samplen 2 maxrows 3 width -4

set xlabel 'CPU seconds'
plot for [m = 1:5] data index (m - 1) using 3:2 with linespoints lw 1.2 pt marker[m] ps 0.7 \
     lc rgb colour[m] title label[m]
set xlabel 'accepted steps'
plot for [m = 1:5] data index (m - 1) using 4:2 with linespoints lw 1.2 pt marker[m] ps 0.7 \
     lc rgb colour[m] title label[m]
unset multiplot
