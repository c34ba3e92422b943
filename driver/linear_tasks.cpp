// The built-in data of the linear battery. Every number is a literal of the
// catalogue; nothing is computed except the placement of the Hilbert literals
// A(i, j) = h[i + j - 1].
//
//   D1 .. D12    full matrices, rows of A then B
//   D13          the tridiagonal band
//   series tables
#include "driver/linear_tasks.h"

#include <array>
#include <cstddef>

namespace battery {
namespace {

// The matrices are laid out a row to a line.
// clang-format off

// D1: singular and consistent.
constexpr std::array<double, 4> d1_rows = {1, 2,
                                           2, 4};
constexpr std::array<double, 2> d1_rhs = {3, 6};

// D2: singular and inconsistent ("telephone" matrix).
constexpr std::array<double, 9> d2_rows = {1, 2, 3,
                                           4, 5, 6,
                                           7, 8, 9};
constexpr std::array<double, 3> d2_rhs = {6, 15, 16};

// D3: singular.
constexpr std::array<double, 9> d3_rows = {2, 3, 1,
                                           1, 1, 1,
                                           3, 5, 1};
constexpr std::array<double, 3> d3_rhs = {13, 6, 20};

// D4: D1 with A(1, 1) raised by 5e-15; exact solution (0, 1.5).
constexpr std::array<double, 4> d4_rows = {1.000000000000005, 2,
                                           2, 4};
constexpr std::array<double, 2> d4_rhs = {3, 6};

// D5: solution (1, -2, -5).
constexpr std::array<double, 9> d5_rows = {33, 16, 72,
                                           -24, -10, -57,
                                           -8, -4, -17};
constexpr std::array<double, 3> d5_rhs = {-359, 281, 85};

// D6 and D7 share their matrix; solutions (1, -1, 3, -5) and (3, 2, 4, 1).
constexpr std::array<double, 16> d6_rows = {1.8, 2.88, 2.05, -0.89,
                                            5.25, -2.95, -0.95, -3.8,
                                            1.58, -2.69, -2.9, -1.04,
                                            -1.11, -0.66, -0.59, 0.8};
constexpr std::array<double, 4> d6_rhs = {9.52, 24.35, 0.77, -6.22};
constexpr std::array<double, 4> d7_rhs = {18.47, 2.25, -13.28, -6.21};

// D8: Wilkinson's example; solution (1, -1).
constexpr std::array<double, 4> d8_rows = {0.78, 0.563,
                                           0.913, 0.659};
constexpr std::array<double, 2> d8_rhs = {0.217, 0.254};

// D9: Hilbert matrix of order 10 from its 14-decimal literals, indexed by
// i + j - 1 = 1..19 (the entry for 1/17 is one unit above the rounded value).
constexpr std::array<double, 19> hilbert_literals = {
    1, 0.5, 0.33333333333333, 0.25, 0.2, 0.16666666666667, 0.14285714285714, 0.125,
    0.11111111111111, 0.1, 0.09090909090909, 0.08333333333333, 0.07692307692308,
    0.07142857142857, 0.06666666666667, 0.0625, 0.05882352941177, 0.05555555555556,
    0.05263157894737};
constexpr int kHilbertOrder = 10;

constexpr std::array<double, kHilbertOrder * kHilbertOrder> hilbert_rows() {
  std::array<double, kHilbertOrder * kHilbertOrder> rows{};
  for (int i = 0; i < kHilbertOrder; ++i) {
    for (int j = 0; j < kHilbertOrder; ++j) {
      rows[i * kHilbertOrder + j] = hilbert_literals[i + j];
    }
  }
  return rows;
}
constexpr std::array<double, 100> d9_rows = hilbert_rows();
constexpr std::array<double, 10> d9_rhs = {
    2.92896825396825, 2.01987734487734, 1.60321067821067, 1.34680042180042, 1.16822899322899,
    1.03489565989566, 0.93072899322899, 0.84669537978362, 0.77725093533918, 0.71877140317544};

// D10: entries spanning many orders of magnitude; B holds the row sums.
constexpr std::array<double, 25> d10_rows = {
    0.119, -3.47, 1.78e-07, -0.524, 0.00535,
    438000, 0.866, 3.25e-07, -0.00566, -1.94e-06,
    5600, 0.035, -7.74e-06, 0.0218, 14100,
    458000, -0.86, 8e-09, 0.57, -0.000715,
    -16900, -6120, -5.12e-06, -261000, -6.45e-07};
constexpr std::array<double, 5> d10_rhs = {-3.869649822, 438000.860338385, 19700.05679226,
                                           457999.709285008, -284020.000005765};

// D11: D10 with its rows and column 3 rescaled.
constexpr std::array<double, 25> d11_rows = {
    1.19e-05, -0.000347, 0.178, -5.24e-05, 5.35e-07,
    4.38, 8.66e-06, 0.0325, -5.66e-08, -1.94e-11,
    0.056, 3.5e-07, -0.774, 2.18e-07, 0.141,
    4.58, -8.6e-06, 0.0008, 5.7e-06, -7.15e-09,
    -0.169, -0.0612, -0.512, -2.61, -6.45e-12};
constexpr std::array<double, 5> d11_rhs = {0.177613035, 4.4125086033806, -0.576999432,
                                           4.58079709285, -3.35220000000645};

// D12: B holds the row sums.
constexpr std::array<double, 25> d12_rows = {
    -11536220, -272.1806, 2.640703e-08, -594.764, -64879.14,
    4.157094e-09, 94033.58, 3.6957e-09, -80.25573, 0.5704656,
    -1.905093e-07, 0.0005326705, 8.08744e-07, -60658.38, -4.039515e-07,
    0.0001887144, -1248370, 1.215976e-05, 8.271923, -102025.5,
    37441.11, -49491230, 6.81456e-09, 0.6150201, -0.0002466406};
constexpr std::array<double, 5> d12_rhs = {-11601966.0846, 93953.8947356079, -60658.3794671152,
                                           -1350387.22787613, -49453788.2752266};

// D13: tridiagonal band, rows (a_i, b_i, c_i); B holds the row sums.
constexpr std::array<double, 12> d13_band = {0, 1e-05, 200000,
                                             -1, 0.0003, 400000,
                                             500000, 2e-05, -1,
                                             3, 1, 0};
constexpr std::array<double, 4> d13_rhs = {200000.00001, 399999.0003, 499999.00002, 4};

// clang-format on

constexpr LinearData D1{2, d1_rows, d1_rhs};
constexpr LinearData D2{3, d2_rows, d2_rhs};
constexpr LinearData D3{3, d3_rows, d3_rhs};
constexpr LinearData D4{2, d4_rows, d4_rhs};
constexpr LinearData D5{3, d5_rows, d5_rhs};
constexpr LinearData D6{4, d6_rows, d6_rhs};
constexpr LinearData D7{4, d6_rows, d7_rhs};
constexpr LinearData D8{2, d8_rows, d8_rhs};
constexpr LinearData D9{kHilbertOrder, d9_rows, d9_rhs};
constexpr LinearData D10{5, d10_rows, d10_rhs};
constexpr LinearData D11{5, d11_rows, d11_rhs};
constexpr LinearData D12{5, d12_rows, d12_rhs};
constexpr LinearData D13{4, d13_band, d13_rhs};

constexpr std::array<LinearTask, 12> first_series_tasks = {{
    {"Singular matrix ", &D1, false},
    {"Belvash task01, singular 'telephone' matrix\n", &D2, false},
    {"Belvash task01a, Zelmbrook matrix \n", &D3, false},
    {"Belvash task 02, cond(A)=2e16, ", &D4, false},
    {"C Library NAG task01, cond(A)=2e3, ", &D5, false},
    {"C Library NAG task02, cond(A)=76, ", &D6, false},
    {"C Library NAG task03, cond(A)=76, ", &D7, false},
    {"Wilkinson task, cond(A)=2e6, ", &D8, false},
    {"Belvash task Hilbert matrix 10x10, cond(A)=1e13, ", &D9, false},
    {"Quorrin task 00, cond(A)=2e12, ", &D10, false},
    {"Quorrin task 00-scale, cond(A)=2e05, ", &D11, false},
    {"Quorrin task 01, cond(A)=2e12, ", &D12, false},
}};

// No Zelmbrook task here, and D4 carries the title "Belvash task 00".
constexpr std::array<LinearTask, 11> second_series_tasks = {{
    {"Singular matrix ", &D1, false},
    {"Belvash task01, singular 'telephone' matrix\n", &D2, false},
    {"Belvash task 00, cond(A)=2e16, ", &D4, false},
    {"C Library NAG task01, cond(A)=2e3, ", &D5, false},
    {"C Library NAG task02, cond(A)=76, ", &D6, false},
    {"C Library NAG task03, cond(A)=76, ", &D7, false},
    {"Wilkinson task, cond(A)=2e6, ", &D8, false},
    {"Belvash task Hilbert matrix 10x10, cond(A)=1e13, ", &D9, false},
    {"Quorrin task 00, cond(A)=2e12, ", &D10, true},
    {"Quorrin task 00-scale, cond(A)=2e05, ", &D11, false},
    {"Quorrin task 01, cond(A)=2e12, ", &D12, false},
}};

}  // namespace

std::span<const LinearTask> first_series() { return first_series_tasks; }
std::span<const LinearTask> second_series() { return second_series_tasks; }
const LinearData& tridiagonal_task() { return D13; }

}  // namespace battery
