// battery_verdict: how right the battery's answers are. Runs the 24 linear
// tasks against their exact solutions, the fifteen DAE runs against the
// reference solutions, and SUNDIALS IDA on each DAE test, then writes
// OUTDIR/verdict.txt (tables) and OUTDIR/verdict.json (verdict/verdict_json.h
// has its schema). `make verdict` runs it into out/.
//
//   main    arguments, judging, writing
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "verdict/verdict.h"
#include "verdict/verdict_json.h"
#include "verdict/verdict_text.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: battery_verdict REFERENCES.json OUTDIR\n");
    return 2;
  }
  const std::string references_file = argv[1];
  const std::filesystem::path dir = argv[2];
  std::string why;
  auto references = verdict::load_references(references_file, &why);
  if (!references) {
    std::fprintf(stderr, "battery_verdict: %s.\n", why.c_str());
    return 1;
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const verdict::Verdict v = verdict::judge_battery(references_file, std::move(*references));

  const std::string text_file = (dir / "verdict.txt").string();
  std::FILE* text = std::fopen(text_file.c_str(), "w");
  const bool text_written = text != nullptr && verdict::write_verdict_text(v, text);
  if (text == nullptr || std::fclose(text) != 0 || !text_written) {
    std::fprintf(stderr, "battery_verdict: cannot write %s.\n", text_file.c_str());
    return 1;
  }
  const std::string json_file = (dir / "verdict.json").string();
  if (!verdict::write_verdict_json(v, json_file)) {
    std::fprintf(stderr, "battery_verdict: cannot write %s.\n", json_file.c_str());
    return 1;
  }
  std::printf("battery_verdict: wrote %s and %s\n", text_file.c_str(), json_file.c_str());
  return 0;
}
