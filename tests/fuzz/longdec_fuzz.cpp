// Fuzz target for the long decimal arithmetic and conversions (libFuzzer with
// clang; longdec_fuzz_test runs the same entry point on the seed corpus and on
// random inputs under ctest).
//
// An input is a small program over four registers (see run_instruction). Each
// operation it runs must give a finished result and stay within its documented
// rounding of the exact rational result (GMP); ld_add, ld_mul and ld_div must
// also give the same words as the word-by-word path. ulp(e) = 10^(e - 132) is
// one unit of word 34 at exponent e.
//   ld_add   the operand with the smaller exponent is aligned to the larger, E,
//            losing at most ulp(E) (exactly that when the words it drops are
//            9999..9999,10000); a carry into word 1 moves the sum one word down,
//            dropping less than ulp(E + 4) more; nothing else is lost:
//            |r - (a + b)| <= [exponents differ] ulp(E) + [r's exponent E + 4] ulp(E + 4).
//   ld_mul   the exact product, rounded half up in magnitude on the first word
//            dropped: -ulp(e_r)/2 < |r| - |a b| <= ulp(e_r)/2.
//   ld_div   as ld_mul, except that a 35th quotient word serving as the rounding
//            word is found with a divisor that has lost its last word, and may
//            be one too high: -ulp(e_r)/2 < |r| - |a / b| <= ulp(e_r)/2 + ulp(e_r)/10^4.
//   ld_split_double  0.1 <= m < 1, or m below 0.1 by less than 1e-16; each of the
//            |E| scalings by 10 rounds once: |m 10^E - |x|| <= 1.01 |E| 2^-53 |x|.
//   ld_from_double  m rounded to its 15 significant digits, times 10^E: with s = 15
//            decimals (16 when m < 0.1), D = |v| 10^-E has D 10^s integral and
//            |D - m| <= 10^-s / 2.
//   ld_to_double  32 products of a word with a power of ten made by binary
//            powering, summed and scaled: about a hundred roundings of 2^-53 each,
//            so |d - v| <= 1e-13 |v|; checked for exponents within +-280, where
//            nothing on the way overflows or underflows.
// Finished: the zero record, or sign +-1, word 1 = 0, word 2 in 1..9999, words
// 3..33 in 0..9999, word 34 in 0..10000 and an exponent that is a multiple of 4.
//
//   input          Reader, load_record, load_double, nudge
//   exact values   power_of_ten, Exact, exact_value
//   checks         fail, check_finished, check_sum, check_rounded,
//                  check_arithmetic, check_to_double, check_conversions
//   program        run_instruction, LLVMFuzzerTestOneInput
#include <gmpxx.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "longdec/longdec.h"
#include "longdec/longdec_wordwise.h"

namespace {

constexpr int kFractionDigits = 132;       // decimal digits of words 2..34
constexpr int kMaxOperandExponent = 2000;  // keeps every exponent far inside its word
constexpr int kToDoubleExponent = 280;     // ld_to_double checked within +-this
constexpr int kMaxInstructions = 64;
constexpr std::int32_t kMaxDigit = kLdBase - 1;

// The input's bytes; past its end every byte reads as 0.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  int signed_byte() { return static_cast<std::int8_t>(byte()); }
  std::uint64_t bytes(int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= std::uint64_t{byte()} << (8 * i);
    return v;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// A finished record: flags (bit 0 negative, bit 1 word 34 = 10000, bit 2 the
// words after the given ones 9999 instead of 0), the exponent in words (a
// signed byte / 4), the count n of given words (1..33) and n words of two
// bytes; values past 9999 stand for the edge digits 0, 9999, 5000 and 4999.
LongDecimal load_record(Reader& in) {
  constexpr std::int32_t kEdge[] = {0, kMaxDigit, 5000, 4999};
  const std::uint8_t flags = in.byte();
  const int exponent = kLdDigitsPerWord * (in.signed_byte() / 4);
  const int count = 1 + in.byte() % (kLdLastDigit - 1);
  LongDecimal v{};
  v[kLdSign] = (flags & 1) != 0 ? -1 : 1;
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) v[w] = (flags & 4) != 0 ? kMaxDigit : 0;
  for (int w = kLdFirstDigit; w < kLdFirstDigit + count; ++w) {
    const auto d = static_cast<std::int32_t>(in.bytes(2) % 16384);
    v[w] = d < kLdBase ? d : kEdge[d % 4];
  }
  if (v[kLdFirstDigit] == 0) v[kLdFirstDigit] = 1;
  if ((flags & 2) != 0) v[kLdLastDigit] = kLdBase;
  v[kLdExponent] = exponent;
  return v;
}

// Eight raw bytes, or (kind bit 0) 10^k moved by up to 7 units in the last place.
double load_double(Reader& in) {
  const std::uint8_t kind = in.byte();
  if ((kind & 1) == 0) return std::bit_cast<double>(in.bytes(8));
  const int k = static_cast<std::int16_t>(in.bytes(2)) % 310;
  double x = std::pow(10.0, k) * ((kind & 2) != 0 ? -1.0 : 1.0);
  for (int steps = in.signed_byte() % 8; steps != 0; steps += steps > 0 ? -1 : 1) {
    x = std::nextafter(x, steps > 0 ? HUGE_VAL : -HUGE_VAL);
  }
  return x;
}

// A finished record near v: one word a unit lower or higher, or the words from
// one on set to 0 or to 9999, then maybe the sign flipped and the exponent moved.
LongDecimal nudge(LongDecimal v, Reader& in) {
  const std::uint8_t how = in.byte();
  const int w = kLdFirstDigit + in.byte() % (kLdLastDigit - 1);
  const int shift = in.signed_byte() % 40;
  if (ld_is_zero(v)) return v;
  const std::int32_t top = w == kLdLastDigit ? kLdBase : kMaxDigit;
  if (how % 3 == 0) v[w] = v[w] < top && (how & 8) != 0 ? v[w] + 1 : v[w] > 0 ? v[w] - 1 : 1;
  for (int k = w; how % 3 != 0 && k <= kLdLastDigit; ++k) v[k] = how % 3 == 1 ? 0 : kMaxDigit;
  if (v[kLdFirstDigit] == 0) v[kLdFirstDigit] = 1;
  if ((how & 4) != 0) v = ld_negate(v);
  v[kLdExponent] += kLdDigitsPerWord * shift;
  return v;
}

mpz_class power_of_ten(int p) {
  mpz_class t;
  mpz_ui_pow_ui(t.get_mpz_t(), 10, static_cast<unsigned long>(p));
  return t;
}

// A record's value n * 10^p exactly: n is sign * (words 2..34 as one integer,
// word 34 may be 10000) and p = e - 132, so that 10^p is the record's ulp.
struct Exact {
  mpz_class n;
  int p;

  // n * 10^(p - to), for to <= p.
  mpz_class in_units(int to) const { return n * power_of_ten(p - to); }
  mpq_class rational() const {
    mpq_class q(n * power_of_ten(std::max(p, 0)), power_of_ten(std::max(-p, 0)));
    q.canonicalize();
    return q;
  }
};

Exact exact_value(const LongDecimal& v) {
  mpz_class n = 0;
  for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) n = n * kLdBase + v[w];
  return {v[kLdSign] * n, v[kLdExponent] - kFractionDigits};
}

[[noreturn]] void fail(const char* what, const LongDecimal& a, const LongDecimal& b, const LongDecimal& r) {
  std::fprintf(stderr, "longdec_fuzz: %s\n", what);
  for (const LongDecimal* v : {&a, &b, &r}) {
    std::fprintf(stderr, "  sign %d, word 1 %d, words", (*v)[kLdSign], (*v)[kLdOverflow]);
    for (int w = kLdFirstDigit; w <= kLdLastDigit; ++w) std::fprintf(stderr, " %d", (*v)[w]);
    std::fprintf(stderr, ", exponent %d\n", (*v)[kLdExponent]);
  }
  std::abort();
}

void check_finished(const char* op, const LongDecimal& a, const LongDecimal& b, const LongDecimal& r) {
  if (ld_is_zero(r)) {
    if (r != LongDecimal{}) fail(op, a, b, r);
    return;
  }
  bool ok = (r[kLdSign] == 1 || r[kLdSign] == -1) && r[kLdOverflow] == 0 && r[kLdFirstDigit] >= 1 &&
            r[kLdFirstDigit] <= kMaxDigit && r[kLdLastDigit] >= 0 && r[kLdLastDigit] <= kLdBase &&
            r[kLdExponent] % kLdDigitsPerWord == 0;
  for (int w = kLdFirstDigit + 1; w < kLdLastDigit; ++w) ok = ok && r[w] >= 0 && r[w] <= kMaxDigit;
  if (!ok) fail(op, a, b, r);
}

// The sum r = a + b within the truncation stated at the top.
void check_sum(const LongDecimal& a, const LongDecimal& b, const LongDecimal& r) {
  const Exact x = exact_value(a);
  const Exact y = exact_value(b);
  const Exact z = exact_value(r);
  const int to = std::min({x.p, y.p, z.p});
  const int ulp = std::max(x.p, y.p);  // ulp(E) = 10^ulp
  mpz_class bound = x.p != y.p ? power_of_ten(ulp - to) : mpz_class(0);
  if (!ld_is_zero(r) && z.p == ulp + kLdDigitsPerWord) bound += power_of_ten(z.p - to);
  if (ld_is_zero(a) || ld_is_zero(b)) bound = 0;
  if (abs(z.in_units(to) - x.in_units(to) - y.in_units(to)) > bound) fail("sum outside its truncation", a, b, r);
}

// The product or quotient r of a and b within the rounding stated at the top.
void check_rounded(bool product, const LongDecimal& a, const LongDecimal& b, const LongDecimal& r) {
  const Exact x = exact_value(a);
  const Exact y = exact_value(b);
  const Exact z = exact_value(r);
  if (ld_is_zero(a) || ld_is_zero(b) ? !ld_is_zero(r) : sgn(z.n) != sgn(x.n) * sgn(y.n)) {
    fail("zero or sign of the result", a, b, r);
  }
  if (ld_is_zero(r)) return;
  if (product) {  // 2 (|r| - |ab|) against ulp(e_r) = 10^z.p
    const int to = std::min(z.p, x.p + y.p);
    const mpz_class excess = 2 * (abs(z.in_units(to)) - abs(x.n * y.n) * power_of_ten(x.p + y.p - to));
    const mpz_class unit = power_of_ten(z.p - to);
    if (excess <= -unit || excess > unit) fail("product outside its rounding", a, b, r);
    return;
  }
  // Times 2 * 10^4 |b|: 2 * 10^4 (|r b| - |a|) against 10^4 ulp(e_r) |b|.
  const int to = std::min(z.p + y.p, x.p);
  const mpz_class excess = 2 * kLdBase * (abs(z.n * y.n) * power_of_ten(z.p + y.p - to) - abs(x.in_units(to)));
  const mpz_class unit = kLdBase * abs(y.n) * power_of_ten(z.p + y.p - to);
  if (excess <= -unit || excess > unit + 2 * unit / kLdBase) fail("quotient outside its rounding", a, b, r);
}

enum class Op { kAdd, kMultiply, kDivide };

// r = a op b from ld_add, ld_mul or ld_div: finished, the word path's words,
// and within its rounding of the exact result.
void check_arithmetic(Op op, const LongDecimal& a, const LongDecimal& b, const LongDecimal& r) {
  check_finished(op == Op::kAdd ? "ld_add" : op == Op::kMultiply ? "ld_mul" : "ld_div", a, b, r);
  const LongDecimal words = op == Op::kAdd        ? ld_internal::add_by_words(a, b)
                            : op == Op::kMultiply ? ld_internal::multiply_by_words(a, b)
                                                  : ld_internal::divide_by_words(a, b);
  if (words != r) fail("fast and word paths differ", a, b, r);
  if (op == Op::kAdd) {
    check_sum(a, b, r);
  } else {
    check_rounded(op == Op::kMultiply, a, b, r);
  }
}

void check_to_double(const LongDecimal& v) {
  if (std::abs(v[kLdExponent]) > kToDoubleExponent) return;
  double d = 0.0;
  ld_to_double(v, d);
  const mpq_class exact = exact_value(v).rational();
  if (abs(mpq_class(d) - exact) * 10000000000000 > abs(exact)) fail("ld_to_double outside 1e-13", v, v, v);
}

// ld_split_double and ld_from_double of x; returns the record.
LongDecimal check_conversions(double x) {
  LongDecimal v;
  ld_from_double(x, v);
  check_finished("ld_from_double", v, v, v);
  if (x == 0.0) {
    if (!ld_is_zero(v)) fail("ld_from_double of zero", v, v, v);
    return v;
  }
  double m = 0.0;
  const int e = ld_split_double(x, m);
  const mpq_class ax = abs(mpq_class(x));
  const bool in_range = (m >= 0.1 && m < 1.0) || std::fabs(m - 0.1) < 1e-16;
  const mpq_class split_error = abs(mpq_class(m) * Exact{1, e}.rational() - ax);
  if (!in_range || split_error * 100 * (mpz_class(1) << 53) > ax * 101 * std::abs(e)) {
    fail("ld_split_double outside its rounding", v, v, v);
  }
  const int decimals = m < 0.1 ? 16 : 15;
  const Exact value = exact_value(v);
  const mpq_class digits = abs(Exact{value.n, value.p - e}.rational());
  const bool integral = Exact{value.n, value.p - e + decimals}.rational().get_den() == 1;
  if (v[kLdSign] != (x > 0 ? 1 : -1) || !integral || abs(digits - mpq_class(m)) * 2 > Exact{1, -decimals}.rational()) {
    fail("ld_from_double is not m to 15 significant digits", v, v, v);
  }
  return v;
}

// One instruction: an opcode byte, a register byte (target = bits 0-1, first
// operand = bits 2-3, second = bits 4-5), then what the opcode reads.
void run_instruction(Reader& in, std::array<LongDecimal, 4>& reg) {
  const std::uint8_t opcode = in.byte() % 8;
  const std::uint8_t regs = in.byte();
  LongDecimal& target = reg[regs & 3];
  const LongDecimal a = reg[(regs >> 2) & 3];
  LongDecimal b = reg[(regs >> 4) & 3];
  if (opcode == 3) b = ld_negate(b);  // subtraction
  if (opcode == 0) target = load_record(in);
  if (opcode == 1) {
    const double x = load_double(in);
    if (x == 0.0 || std::isnormal(x)) target = check_conversions(x);
  }
  if (opcode == 6) target = nudge(a, in);
  if (opcode == 7) check_to_double(a);
  const int largest_exponent = std::max(std::abs(a[kLdExponent]), std::abs(b[kLdExponent]));
  if (opcode < 2 || opcode > 5 || largest_exponent > kMaxOperandExponent) return;
  if (opcode <= 3) check_arithmetic(Op::kAdd, a, b, target = ld_add(a, b));
  if (opcode == 4) check_arithmetic(Op::kMultiply, a, b, target = ld_mul(a, b));
  if (opcode == 5 && !ld_is_zero(b)) check_arithmetic(Op::kDivide, a, b, target = ld_div(a, b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  std::array<LongDecimal, 4> reg{};
  for (int i = 0; i < kMaxInstructions && !in.done(); ++i) run_instruction(in, reg);
  return 0;
}
