/// @file
/// The flat layout of every matrix that crosses an interface of the program:
/// the linear solvers' A, L, U, the DAE solver's fy and fyp, the models'
/// matrices and the driver's storage.
///
/// Indices start at 1. Entry (i, j) of a matrix of order n lies at flat index
/// i*n + j (row stride n), entry k of a vector at index k; index 0 and the
/// cells 1..n are never used. The storage needs n*n + n + 1 cells.
#pragma once

namespace layout {

/// The flat index of entry (i, j), i and j from 1, of a matrix with row stride n.
constexpr int flat_index(int i, int j, int n) { return i * n + j; }

/// Cells a flat matrix of order n needs, index 0 included.
constexpr int flat_cells(int n) { return n * n + n + 1; }

}  // namespace layout
