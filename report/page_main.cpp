// report_page: writes the report page.
//
//   usage: report_page REPORTS DATA PAGE VERDICT
//
// REPORTS is the battery's output folder, DATA the folder of report_thin's and
// report_sweep's files, PAGE the folder with figures/ where index.html goes,
// VERDICT the verdict's JSON file (a note stands in for it when it is missing).
#include <cstdio>
#include <string>

#include "report/page.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: report_page REPORTS DATA PAGE VERDICT\n");
    return 2;
  }
  const report::PageInputs in{argv[1], argv[2], argv[3], argv[4]};
  const std::string path = in.page + "/index.html";
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "report_page: cannot write %s\n", path.c_str());
    return 1;
  }
  const std::string html = report::page_html(in);
  const bool written = std::fwrite(html.data(), 1, html.size(), out) == html.size();
  if (std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "report_page: cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}
