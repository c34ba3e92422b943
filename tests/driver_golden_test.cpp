// The battery's output is frozen: every run must reproduce, byte for byte,
// the copies in tests/golden/ (written by tools/update-golden, `make golden`).
// lae-solver.txt, test00.rez .. test09.rez and the console are compared whole;
// each plot table by line count, SHA-256 and the SHA-256 of every block of
// 1000 lines, so that a mismatch names the first block that differs.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::read_file;

const fs::path kGolden = GOLDEN_DIR;
constexpr std::size_t kBlockLines = 1000;

std::string sha256_hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

// "" when equal; otherwise where the two texts part, as a line number and
// both versions of that line.
std::string first_difference(const std::string& want, const std::string& got) {
  if (want == got) return "";
  const auto [w, g] = std::mismatch(want.begin(), want.end(), got.begin(), got.end());
  const std::size_t at = static_cast<std::size_t>(w - want.begin());
  const std::size_t line_start = want.rfind('\n', at == 0 ? 0 : at - 1);
  const std::size_t begin = (line_start == std::string::npos || at == 0) ? 0 : line_start + 1;
  auto line_at = [begin](const std::string& text) {
    if (begin >= text.size()) return std::string("<end of file>");
    return text.substr(begin, text.find('\n', begin) - begin);
  };
  const auto line_number = 1 + std::count(want.begin(), want.begin() + static_cast<std::ptrdiff_t>(begin), '\n');
  std::ostringstream s;
  s << "first difference at line " << line_number << " (byte " << at << ")\n  expected: " << line_at(want)
    << "\n  actual:   " << line_at(got) << "\n  sizes: expected " << want.size() << ", actual " << got.size();
  (void)g;
  return s.str();
}

struct PlotTableDigest {
  std::size_t lines = 0;
  std::string sha256;
  std::vector<std::string> blocks;  // block k: lines k*1000+1 .. (k+1)*1000
};

PlotTableDigest digest_of(const std::string& text) {
  PlotTableDigest d;
  d.sha256 = sha256_hex(text);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    std::size_t lines = 0;
    while (end < text.size() && lines < kBlockLines) {
      const std::size_t nl = text.find('\n', end);
      end = nl == std::string::npos ? text.size() : nl + 1;
      ++lines;
    }
    d.lines += lines;
    d.blocks.push_back(sha256_hex(std::string_view(text).substr(start, end - start)));
    start = end;
  }
  return d;
}

std::map<std::string, PlotTableDigest> read_manifest() {
  std::map<std::string, PlotTableDigest> manifest;
  std::istringstream in(read_file(kGolden / "grtest.manifest"));
  PlotTableDigest* current = nullptr;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "file") {
      std::string name;
      PlotTableDigest d;
      fields >> name >> d.lines >> d.sha256;
      current = &(manifest[name] = d);
    } else if (kind == "block" && current != nullptr) {
      std::size_t k = 0;
      std::string sha;
      fields >> k >> sha;
      current->blocks.push_back(sha);
    }
  }
  return manifest;
}

std::string plot_table_difference(const PlotTableDigest& want, const PlotTableDigest& got) {
  if (want.sha256 == got.sha256 && want.lines == got.lines) return "";
  std::ostringstream s;
  s << "expected " << want.lines << " lines, actual " << got.lines;
  for (std::size_t k = 0; k < std::max(want.blocks.size(), got.blocks.size()); ++k) {
    if (k < want.blocks.size() && k < got.blocks.size() && want.blocks[k] == got.blocks[k]) continue;
    s << "; first differing block: lines " << k * kBlockLines + 1 << " .. " << (k + 1) * kBlockLines;
    break;
  }
  return s.str();
}

TEST(GoldenReports, EveryRunReproducesTheGoldenOutput) {
  const test_support::ScratchDir scratch;
  const test_support::ProgramRun run = test_support::run_program(scratch, BATTERY_EXE);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.err, "") << "standard error";

  EXPECT_EQ(first_difference(read_file(kGolden / "console.txt"), run.out), "") << "the console";
  std::vector<std::string> texts = {"lae-solver.txt"};
  for (int k = 0; k <= 9; ++k) texts.push_back("test0" + std::to_string(k) + ".rez");
  for (const std::string& name : texts) {
    EXPECT_EQ(first_difference(read_file(kGolden / name), read_file(run.dir / name)), "") << name;
  }

  const auto manifest = read_manifest();
  ASSERT_EQ(manifest.size(), 9u) << "grtest.manifest";
  for (const auto& [name, want] : manifest) {
    ASSERT_EQ(want.blocks.size(), (want.lines + kBlockLines - 1) / kBlockLines) << "grtest.manifest, " << name;
    EXPECT_EQ(plot_table_difference(want, digest_of(read_file(run.dir / name))), "") << name;
  }
  std::size_t reports = 0;
  for (const auto& entry : fs::directory_iterator(run.dir)) reports += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(reports, texts.size() + manifest.size()) << "the program wrote other files";
}

// The comparison itself: a single changed byte anywhere is found and located.
TEST(GoldenReports, ComparisonLocatesOneChangedByte) {
  const std::string text = "a 1\nb 2\nc 3\n";
  EXPECT_EQ(first_difference(text, text), "");
  EXPECT_NE(first_difference(text, "a 1\nb 2\nc 4\n").find("line 3 (byte 10)"), std::string::npos);
  EXPECT_NE(first_difference(text, "a 1\nb 2\n").find("line 3"), std::string::npos);

  std::string table;
  for (int i = 0; i < 2500; ++i) table += std::to_string(i) + "\n";
  const PlotTableDigest want = digest_of(table);
  EXPECT_EQ(want.lines, 2500u);
  EXPECT_EQ(want.blocks.size(), 3u);
  std::string changed = table;
  changed[table.find("\n1500\n") + 2] = '6';
  EXPECT_NE(plot_table_difference(want, digest_of(changed)).find("lines 1001 .. 2000"), std::string::npos);
  EXPECT_NE(plot_table_difference(want, digest_of(table + "x\n")).find("actual 2501"), std::string::npos);
}

}  // namespace
