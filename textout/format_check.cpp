// The differential check: out_format against the C-library route (see
// format_check.h).
//
// The formats
//   Probe, Shape            a format and the arguments it takes
//   battery_probes          the battery's own conversions and plot line
//   floating_probes         flags x widths x precisions x %e %E %f %F %g %G
//   integer_probes, text_probes, odd_probes
// The values
//   Draw                    the generator and its small helpers
//   halfway_digits          a double whose exact decimal has D digits, the last a 5
//   halfway_fixed           a double whose exact decimal has P+1 decimals, the last a 5
//   dyadic_halfway          a tie at a long precision, found from the exact expansion
//   draw_double             one value of a randomly chosen kind
// The comparison
//   Comparer                both routes, counted, differences described
//   check_one               one probe with freshly drawn arguments
//   check_formatting        the loop
#include "textout/format_check.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <utility>

#include "textout/reference_format.h"
#include "textout/textout.h"

namespace textout {
namespace {

constexpr int kNone = -1;  // no width or precision given
constexpr int kStar = -2;  // width or precision given by '*'
constexpr int kDefaultPrecision = 6;
constexpr int kMaxUint64Digits = 19;         // every 19-digit decimal fits in 64 bits
constexpr int kMantissaBits = 53;            // odd integers below 2^53 are doubles
constexpr int kMaxDyadicExponent = 200;      // ties at up to this many decimals
constexpr int kExactExpansionDigits = 1100;  // more than any double needs
constexpr std::size_t kKeptDifferences = 10;

enum class Shape { kNone, kDouble, kPlotLine, kInt, kLong, kLongLong, kUnsigned, kString, kChar };

struct Probe {
  std::string format;
  Shape shape = Shape::kDouble;
  char conversion = 'e';  // e, f or g for floating probes
  int precision = kNone;  // a number, kNone or kStar
  bool star_width = false;
};

Probe floating(std::string format, char conversion, int precision, bool star_width = false) {
  return {std::move(format), Shape::kDouble, conversion, precision, star_width};
}

std::vector<Probe> battery_probes() {
  return {floating("%e", 'e', kNone),
          floating("%Le", 'e', kNone),
          floating("%14.5e", 'e', 5),
          floating("%15.8e", 'e', 8),
          floating("%32.16f", 'f', 16),
          floating("%30.15f", 'f', 15),
          floating("%.4g", 'g', 4),
          {"%d", Shape::kInt, 'd', kNone, false},
          {"%s", Shape::kString, 's', kNone, false},
          {"  %e   %e  %e  %e  %e\n", Shape::kPlotLine, 'e', kNone, false}};
}

std::vector<Probe> floating_probes() {
  static const char* const kFlags[] = {"",   "-",   "+",   " ",   "0",   "-+",   "- ", "-0", "+ ", "+0",
                                       " 0", "-+ ", "-+0", "- 0", "+ 0", "-+ 0", "#",  "-#", "#0+"};
  static const char* const kWidths[] = {"", "1", "8", "12", "14", "15", "30", "32", "*"};
  static const char* const kPrecisions[] = {"", ".", ".0", ".1", ".4", ".5", ".6", ".8", ".15", ".16", ".17", ".*"};
  static const char kConversions[] = {'e', 'E', 'f', 'F', 'g', 'G'};
  std::vector<Probe> probes;
  for (const char* flags : kFlags) {
    for (const char* width : kWidths) {
      for (const char* precision : kPrecisions) {
        const int p = std::strcmp(precision, ".*") == 0 ? kStar
                      : *precision == '\0'              ? kNone
                                                        : static_cast<int>(std::strtol(precision + 1, nullptr, 10));
        for (const char c : kConversions) {
          const std::string format = std::string("%") + flags + width + precision + c;
          const char lower = static_cast<char>(c | 0x20);
          probes.push_back(floating(format, lower, p, *width == '*'));
        }
      }
    }
  }
  return probes;
}

std::vector<Probe> integer_probes() {
  static const char* const kFlags[] = {"", "-", "+", " ", "0", "-+", "+0", " 0", "-0", "#"};
  static const char* const kWidths[] = {"", "1", "5", "12", "*", ".3", "8.4"};
  static const struct {
    const char* length;
    Shape shape;
  } kLengths[] = {
      {"", Shape::kInt}, {"l", Shape::kLong}, {"ll", Shape::kLongLong}, {"hh", Shape::kInt}, {"z", Shape::kLong}};
  std::vector<Probe> probes;
  for (const char* flags : kFlags) {
    for (const char* width : kWidths) {
      for (const auto& length : kLengths) {
        for (const char c : {'d', 'i', 'u', 'x'}) {
          const Shape shape = c == 'u' && length.shape == Shape::kInt ? Shape::kUnsigned : length.shape;
          probes.push_back({std::string("%") + flags + width + length.length + c, shape, c, kNone, *width == '*'});
        }
      }
    }
  }
  return probes;
}

std::vector<Probe> text_probes() {
  std::vector<Probe> probes;
  for (const char* format : {"%s", "%-10s", "%10s", "%.3s", "%.0s", "%*s", "%-*s", "%05s", "%+s"}) {
    probes.push_back({format, Shape::kString, 's', kNone, std::strchr(format, '*') != nullptr});
  }
  for (const char* format : {"%c", "%5c", "%-5c", "%*c", "%.2c", "%05c"}) {
    probes.push_back({format, Shape::kChar, 'c', kNone, std::strchr(format, '*') != nullptr});
  }
  return probes;
}

// Formats that exercise the parser's corners and the routes to the C library.
std::vector<Probe> odd_probes() {
  std::vector<Probe> probes = {
      floating("%+++++++-20e", 'e', kNone),
      floating("%-------*e", 'e', kNone, true),
      floating("%--0 12.3e", 'e', 3),
      floating("%Lf", 'f', kNone),
      floating("%a", 'e', kNone),
      floating("%.3A", 'e', kNone),
      floating("%20a", 'e', kNone),
      floating("%-*.*Le", 'e', kStar, true),
      floating("%*.*g", 'g', kStar, true),
      floating("%#.0e", 'e', 0),
      floating("%#g", 'g', kNone),
      floating("%.160f", 'f', 160),
      floating("%.161f", 'f', 161),
      floating("%.170e", 'e', 170),
      floating("%.0f", 'f', 0),
      floating("%.0g", 'g', 0),
  };
  for (const char* format : {"%5%", "%", "%k", "%hh", "x%n"}) {
    probes.push_back({format, Shape::kNone, 'n', kNone, false});
  }
  return probes;
}

// The generator and the small draws every value kind is built from.
class Draw {
 public:
  explicit Draw(std::uint64_t seed) : rng_(seed) {}
  std::uint64_t bits() { return rng_(); }
  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::uint64_t uniform64(std::uint64_t lo, std::uint64_t hi) {
    return std::uniform_int_distribution<std::uint64_t>(lo, hi)(rng_);
  }
  bool chance(int percent) { return uniform(0, 99) < percent; }
  double sign(double x) { return chance(50) ? -x : x; }

 private:
  std::mt19937_64 rng_;
};

double from_bits(std::uint64_t bits) {
  double x = 0.0;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

std::uint64_t pow_u64(std::uint64_t base, int exponent) {
  std::uint64_t r = 1;
  for (int i = 0; i < exponent; ++i) r *= base;
  return r;
}

// An odd value in [lo, hi], or 0 when there is none.
std::uint64_t odd_between(Draw& draw, std::uint64_t lo, std::uint64_t hi) {
  if (lo > hi) return 0;
  std::uint64_t n = draw.uniform64(lo, hi) | 1U;
  if (n > hi) n -= 2;
  return n >= lo ? n : 0;
}

// A double whose exact decimal expansion has `digits` significant digits, the
// last a 5: either N / 2^m with N odd (its decimal is N * 5^m / 10^m), or
// M * 10^k with M ending in 5 and M * 5^k below 2^53. Sometimes the digits
// are all nines, so that rounding up carries into a new leading digit.
double halfway_digits(Draw& draw, int digits) {
  const std::uint64_t low = pow_u64(10, digits - 1);
  const std::uint64_t high = low * 10 - 1;
  const std::uint64_t mantissa_limit = (std::uint64_t{1} << kMantissaBits) - 1;
  if (2 * low - 1 <= mantissa_limit && draw.chance(10)) {
    return draw.sign(static_cast<double>(2 * low - 1) / 2.0);  // 99..9.5
  }
  for (int attempt = 0; attempt < 64; ++attempt) {
    if (draw.chance(50)) {
      const int m = draw.uniform(1, digits * 10 / 7);
      const std::uint64_t five_m = pow_u64(5, m);
      if (five_m > high) continue;
      const std::uint64_t n = odd_between(draw, (low + five_m - 1) / five_m, std::min(high / five_m, mantissa_limit));
      if (n != 0) return draw.sign(std::ldexp(static_cast<double>(n), -m));
    } else {
      std::uint64_t m = odd_between(draw, low / 5, high / 5) * 5;  // an odd multiple of 5
      if (m < low || m > mantissa_limit) continue;
      int k = 0;
      for (; m * 5 <= mantissa_limit && draw.chance(60); ++k) m *= 5;
      return draw.sign(std::ldexp(static_cast<double>(m), k));
    }
  }
  return 0.5;
}

// N / 2^(P+1) with N odd has exactly P+1 decimals, the last a 5.
double halfway_fixed(Draw& draw, int precision) {
  const int shift = draw.uniform(0, kMantissaBits - 1);
  const std::uint64_t n = (draw.bits() >> (64 - kMantissaBits + shift)) | 1U;
  return draw.sign(std::ldexp(static_cast<double>(n), -(precision + 1)));
}

// The number of significant digits of x's exact decimal expansion.
int exact_significant_digits(double x) {
  char text[kExactExpansionDigits + 16];
  std::snprintf(text, sizeof text, "%.*e", kExactExpansionDigits, std::fabs(x));
  int last = 0;
  for (int i = 0; text[i] != 'e'; ++i) {
    if (text[i] >= '1' && text[i] <= '9') last = i;
  }
  return last == 0 ? 1 : last;  // text[last] is the last-th digit: the point sits between
}

// For precisions too long for halfway_digits: a random N / 2^m, and the
// precision at which it is an exact tie.
double dyadic_halfway(Draw& draw, char conversion, int& precision) {
  const int m = draw.uniform(1, kMaxDyadicExponent);
  const std::uint64_t n = (draw.bits() >> (64 - kMantissaBits)) | 1U;
  const double x = std::ldexp(static_cast<double>(n), -m);
  const int digits = exact_significant_digits(x);
  if (conversion == 'f') precision = m - 1;
  if (conversion == 'e') precision = std::max(digits - 2, 0);
  if (conversion == 'g') precision = std::max(digits - 1, 1);
  return draw.sign(x);
}

double halfway(Draw& draw, char conversion, int& precision, bool precision_free) {
  const int p = precision < 0 ? kDefaultPrecision : precision;
  if (conversion == 'f') return halfway_fixed(draw, p);
  const int digits = conversion == 'e' ? p + 2 : std::max(p, 1) + 1;
  if (digits <= kMaxUint64Digits) return halfway_digits(draw, digits);
  if (precision_free) return dyadic_halfway(draw, conversion, precision);
  return from_bits(draw.bits());
}

double special_value(Draw& draw) {
  static const double kSpecial[] = {0.0,     -0.0,    INFINITY,     -INFINITY, NAN,       -NAN,
                                    DBL_MIN, DBL_MAX, DBL_TRUE_MIN, 1.0,       0.1,       0.5,
                                    9.5,     0.05,    1e-5,         1e-4,      9.9999995, 999999.5,
                                    1e300,   1e-300,  4.62e-15,     1e16,      1e17,      123456789012345678.0};
  const double x = kSpecial[draw.uniform(0, static_cast<int>(std::size(kSpecial)) - 1)];
  if (draw.chance(10) && std::isnan(x)) return from_bits(draw.bits() | 0x7ff0000000000001ULL);  // a payload
  return x;
}

// A value as the reports hold them: a short decimal, scaled.
double short_decimal(Draw& draw) {
  const auto digits = static_cast<double>(draw.uniform64(0, 9999999999999999ULL) >> draw.uniform(0, 50));
  const double scale = std::pow(10.0, draw.uniform(-30, 30));
  return draw.sign(draw.chance(50) ? digits * scale : digits / scale);
}

double draw_double(Draw& draw, char conversion, int& precision, bool precision_free) {
  switch (draw.uniform(0, 7)) {
    case 0:
      return from_bits(draw.bits());
    case 1:
      return from_bits(draw.bits() & 0x800fffffffffffffULL);  // subnormal or zero
    case 2:
      return special_value(draw);
    case 3:
    case 4:
      return halfway(draw, conversion, precision, precision_free);
    case 5: {
      const double tie = halfway(draw, conversion, precision, precision_free);
      return std::nextafter(tie, draw.chance(50) ? INFINITY : -INFINITY);
    }
    case 6:
      return short_decimal(draw);
    default:
      return std::ldexp(static_cast<double>(draw.bits() >> 11), draw.uniform(-113, 60)) * (draw.chance(50) ? 1 : -1);
  }
}

long long draw_integer(Draw& draw) {
  static const long long kEdges[] = {0, 1, -1, INT_MAX, INT_MIN, LLONG_MAX, LLONG_MIN, 9, 10, -10};
  if (draw.chance(10)) return kEdges[draw.uniform(0, static_cast<int>(std::size(kEdges)) - 1)];
  const auto magnitude = static_cast<long long>(draw.bits() >> draw.uniform(1, 63));
  return draw.chance(50) ? -magnitude : magnitude;
}

const char* draw_string(Draw& draw) {
  static const char* const kStrings[] = {"", "a", "abc", "hello world", nullptr, "\xc2\xe2\xee\xe4", "100%", "x\ty"};
  return kStrings[draw.uniform(0, static_cast<int>(std::size(kStrings)) - 1)];
}

std::string describe(double x) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  char text[64];
  std::snprintf(text, sizeof text, "%.17g [%016llx]", x, static_cast<unsigned long long>(bits));
  return text;
}
std::string describe(long long v) { return std::to_string(v); }
std::string describe(long v) { return std::to_string(v); }
std::string describe(int v) { return std::to_string(v); }
std::string describe(unsigned v) { return std::to_string(v); }
std::string describe(const char* s) {
  if (s == nullptr) return "null";
  std::string quoted = "\"";
  return quoted.append(s).append("\"");
}

class Comparer {
 public:
  explicit Comparer(FormatCheck& result) : result_(result) {}

  template <class... Args>
  void compare(const std::string& format, int conversions, Args... args) {
    const std::string fast = out_format(format.c_str(), args...);
    const std::string reference = detail::reference_format(format.c_str(), args...);
    result_.conversions += static_cast<std::uint64_t>(conversions);
    if (fast == reference) return;
    ++result_.differences;
    if (result_.first_differences.size() >= kKeptDifferences) return;
    std::string what = "format \"" + format + "\" of";
    ((what.append(" ").append(describe(args))), ...);
    result_.first_differences.push_back(what + ": \"" + fast + "\", C library \"" + reference + "\"");
  }

 private:
  FormatCheck& result_;
};

void check_floating(const Probe& probe, Draw& draw, Comparer& comparer) {
  int precision = probe.precision == kStar ? draw.uniform(-2, 20) : probe.precision;
  if (probe.precision == kStar && draw.chance(10)) precision = draw.uniform(21, 170);
  const double x = draw_double(draw, probe.conversion, precision, probe.precision == kStar);
  const int width = draw.uniform(-40, 40);
  if (probe.star_width && probe.precision == kStar) return comparer.compare(probe.format, 1, width, precision, x);
  if (probe.star_width) return comparer.compare(probe.format, 1, width, x);
  if (probe.precision == kStar) return comparer.compare(probe.format, 1, precision, x);
  comparer.compare(probe.format, 1, x);
}

void check_plot_line(const Probe& probe, Draw& draw, Comparer& comparer) {
  double v[5];
  for (double& x : v) {
    int precision = kNone;
    x = draw_double(draw, 'e', precision, false);
  }
  comparer.compare(probe.format, 5, v[0], v[1], v[2], v[3], v[4]);
}

template <class T>
void check_with_width(const Probe& probe, Draw& draw, Comparer& comparer, T value) {
  if (probe.star_width) return comparer.compare(probe.format, 1, draw.uniform(-20, 20), value);
  comparer.compare(probe.format, 1, value);
}

void check_one(const Probe& probe, Draw& draw, Comparer& comparer) {
  switch (probe.shape) {
    case Shape::kNone:
      return comparer.compare(probe.format, 1);
    case Shape::kDouble:
      return check_floating(probe, draw, comparer);
    case Shape::kPlotLine:
      return check_plot_line(probe, draw, comparer);
    case Shape::kInt:
      return check_with_width(probe, draw, comparer, static_cast<int>(draw_integer(draw)));
    case Shape::kUnsigned:
      return check_with_width(probe, draw, comparer, static_cast<unsigned>(draw_integer(draw)));
    case Shape::kLong:
      return check_with_width(probe, draw, comparer, static_cast<long>(draw_integer(draw)));
    case Shape::kLongLong:
      return check_with_width(probe, draw, comparer, draw_integer(draw));
    case Shape::kString:
      return check_with_width(probe, draw, comparer, draw_string(draw));
    case Shape::kChar:
      return check_with_width(probe, draw, comparer, static_cast<int>(draw.bits() & 0xff));
  }
}

}  // namespace

FormatCheck check_formatting(std::uint64_t seed, std::uint64_t conversions) {
  const std::vector<Probe> groups[] = {battery_probes(), floating_probes(), integer_probes(), text_probes(),
                                       odd_probes()};
  static const int kGroupPercent[] = {40, 40, 10, 6, 4};  // how often each group is drawn
  Draw draw(seed);
  FormatCheck result;
  Comparer comparer(result);
  while (result.conversions < conversions) {
    int roll = draw.uniform(0, 99);
    std::size_t group = 0;
    while (roll >= kGroupPercent[group]) roll -= kGroupPercent[group++];
    const std::vector<Probe>& probes = groups[group];
    check_one(probes[static_cast<std::size_t>(draw.uniform(0, static_cast<int>(probes.size()) - 1))], draw, comparer);
  }
  return result;
}

}  // namespace textout
