# A plot table against time: one panel per group of quantities of similar
# size (report_thin chose the groups), then the step size on a log scale.
#
#   gnuplot -e "table='PREFIX'; steps='PREFIX'; axis='linear|log'; name='test01'; out='FILE.png'" \
#           report/trajectory.gp
#
# table and steps are report_thin prefixes (of the plot table and of its step
# history); PREFIX.vars.gp holds the title, column names and panels.

load table.'.vars.gp'
rows_file = table.'.'.axis.'.dat'
steps_file = steps.'.'.axis.'.dat'
panels = panel_count + 1

panel_height = 150
set terminal pngcairo size 680, (50 + panel_height * panels) font 'DejaVu Sans,9' noenhanced
set output out

# The same margins in every panel keep their time axes aligned; the key sits
# in the right margin so that no curve hides under it.
set lmargin 11
set rmargin 17
set key outside right top Left reverse samplen 2
set grid xtics ytics lc rgb '#dddddd'
set format y '%.3g'
set ytics nomirror
if (axis eq 'log') {
  set logscale x
  set format x '1e%T'
  axis_words = 'logarithmic time'
} else {
  set format x '%.3g'
  axis_words = 'linear time'
}

step_low = NaN
step_high = NaN
# On a linear time axis the start-up's tiny steps all fall in the first pixel
# column and would stretch the scale by tens of decades: the range follows the
# steps after the first hundredth of the span (the log figure shows the rest).
if (axis eq 'linear') {
  stats steps_file using 1 nooutput
  later = STATS_min + 0.01 * (STATS_max - STATS_min)
  stats steps_file using ($1 > later ? $2 : NaN) nooutput
  if (STATS_records > 0 && STATS_min > 0) {
    step_low = STATS_min / 2
    step_high = STATS_max * 2
  }
}

set multiplot layout panels, 1 title sprintf('%s: %s (%d rows, %s)', name, table_title, table_rows, axis_words)
do for [p = 1:panel_count] {
  columns = value(sprintf('panel%d', p))
  plot for [k = 1:words(columns)] rows_file using 1:(column(int(word(columns, k)))) \
       with lines lw 1.2 title value(sprintf('name%d', int(word(columns, k))))
}
set logscale y
set format y '1e%T'
if (step_low == step_low) { set yrange [step_low : step_high] }
set xlabel name1
plot steps_file using 1:2 with lines lw 1 lc rgb '#555555' title 'step size'
unset multiplot
