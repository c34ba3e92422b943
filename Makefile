# make run     configure, build and run the battery; reports land in out/
# make test    configure, build and run every test
# make asan    the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
# make fuzz    build the long decimal fuzz target with clang (libFuzzer, ASan, UBSan) and run it
#              for FUZZ_SECONDS (60); new inputs go to build-fuzz/corpus, findings to build-fuzz/
# make bench   build and run the benchmarks
# make style   clang-format leaves every C++ file as it is, clang-tidy finds nothing in the product code
# make golden  rewrite tests/golden/ from a run of the program (only when an issue asks for new reports)
# make docs    the user's guide and the API reference of the installed headers, in build/docs/html
#              (Doxygen; an undocumented public member fails it)
# make bench-peer  the DAE battery against SUNDIALS IDA: CPU table per test, then hyperfine on both programs
# make references  regenerate references/dae_references.json (IDA at two tight tolerances, cross-checks)
# make verdict     how right the battery's answers are: out/verdict.txt (tables) and out/verdict.json
#                  (schema in verdict/verdict_json.h); the battery's reports are not touched
# make report  the page out/report/index.html from a battery run: every plot table against time with
#              its step sizes, a work-precision diagram per DAE test (nm = 1..4 and IDA over eps
#              1e-2 .. 1e-10), the verdict's tables when out/verdict.json exists; about two minutes
# make report-check  make report, then check its figures and open it in headless chromium (a
#              screenshot lands in out/report-check/)
#
# Every target first installs the Debian packages it needs that are missing.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= 2

# What configuring the default build needs (tests and benchmarks included).
BUILD_PACKAGES := cmake g++ make pkg-config libgtest-dev libbenchmark-dev libssl-dev libgmp-dev libsundials-dev

# What the fuzz build needs beyond that.
FUZZ_PACKAGES := clang libclang-rt-14-dev
# Bench-only packages.
BENCH_PACKAGES      ?= hyperfine libsundials-dev
REFERENCE_PACKAGES  ?= libsundials-dev libgmp-dev nlohmann-json3-dev
VERDICT_PACKAGES    ?= libsundials-dev libgmp-dev nlohmann-json3-dev

REPORT_PACKAGES     ?= libsundials-dev nlohmann-json3-dev gnuplot-nox fonts-dejavu-core
REPORT_CHECK_PACKAGES ?= chromium
# full: three tolerances per decade; short: one, for a quick look.
REPORT_GRID ?= full
# What the page is made from: the battery's reports and the verdict, whose
# tables the page shows.
REPORT_INPUTS ?= run verdict

.PHONY: all deps configure build run test asan fuzz bench golden docs style clean bench-peer references verdict \
        report report-check

all: build

deps:
	tools/install-deps $(BUILD_PACKAGES)

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: configure
	cmake --build $(BUILD) -j $(JOBS) --target battery
	mkdir -p out
	cd out && ../$(BUILD)/battery

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBATTERY_SANITIZE=ON -DBATTERY_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 LONGDEC_FUZZ_RUNS=5000 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

fuzz: deps
	tools/install-deps $(FUZZ_PACKAGES)
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DBATTERY_FUZZ=ON -DBATTERY_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target longdec_fuzz
	mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/tests/fuzz/longdec_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 \
	  -artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus tests/fuzz/corpus

bench: build
	for b in $(BUILD)/bench/*_bench; do $$b; done

bench-peer: deps
	tools/install-deps $(BENCH_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBATTERY_PEER=ON
	cmake --build $(BUILD) -j $(JOBS) --target battery ida_peer bench_peer
	$(BUILD)/bench_peer
	mkdir -p out/bench-peer
	cd out/bench-peer && hyperfine -w 2 -r 10 '$(CURDIR)/$(BUILD)/battery' '$(CURDIR)/$(BUILD)/ida_peer'

references: deps
	tools/install-deps $(REFERENCE_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBATTERY_PEER=ON
	cmake --build $(BUILD) -j $(JOBS) --target dae_references
	$(BUILD)/dae_references references/dae_references.json

verdict: deps
	tools/install-deps $(VERDICT_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBATTERY_PEER=ON
	cmake --build $(BUILD) -j $(JOBS) --target battery_verdict
	mkdir -p out
	$(BUILD)/battery_verdict references/dae_references.json out

report: $(REPORT_INPUTS)
	tools/install-deps $(REPORT_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBATTERY_PEER=ON
	cmake --build $(BUILD) -j $(JOBS) --target report_thin report_steps report_sweep report_page
	tools/make-report $(BUILD) out out/report $(REPORT_GRID)

report-check: report
	tools/install-deps $(REPORT_CHECK_PACKAGES)
	tools/check-report out out/report

style: configure
	tools/install-deps clang-format clang-tidy
	tools/check-style $(BUILD)

golden: build
	tools/update-golden $(BUILD)/battery

docs:
	tools/install-deps doxygen
	mkdir -p $(BUILD)/docs
	( cat docs/Doxyfile; echo "OUTPUT_DIRECTORY = $(BUILD)/docs" ) | doxygen -
	@echo "docs: $(BUILD)/docs/html/index.html"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) out
