# make run   configure, build and run the battery; reports land in out/
# make test  configure, build and run every test
# make asan  the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
# make bench build and run the benchmarks
# make golden  rewrite tests/golden/ from a run of the program (only when an issue asks for new reports)
# make bench-peer  the DAE battery against SUNDIALS IDA: CPU table per test, then hyperfine on both programs
# make references  regenerate references/dae_references.json (IDA at two tight tolerances, cross-checks)

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= 2

# Bench-only packages, installed (as root, like .ci/run) when missing.
BENCH_PACKAGES      ?= hyperfine libsundials-dev
REFERENCE_PACKAGES  ?= libsundials-dev libgmp-dev nlohmann-json3-dev

.PHONY: all configure build run test asan bench golden clean bench-peer references install-bench-packages \
        install-reference-packages

all: build

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	mkdir -p out
	cd out && ../$(BUILD)/battery

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBATTERY_SANITIZE=ON -DBATTERY_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

bench: build
	for b in $(BUILD)/bench/*_bench; do $$b; done

install-bench-packages install-reference-packages: install-%-packages:
	@missing=""; \
	for p in $(if $(filter bench,$*),$(BENCH_PACKAGES),$(REFERENCE_PACKAGES)); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
	fi

bench-peer: install-bench-packages
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBATTERY_PEER=ON
	cmake --build $(BUILD) -j $(JOBS) --target battery ida_peer bench_peer
	$(BUILD)/bench_peer
	mkdir -p out/bench-peer
	cd out/bench-peer && hyperfine -w 2 -r 10 '$(CURDIR)/$(BUILD)/battery' '$(CURDIR)/$(BUILD)/ida_peer'

references: install-reference-packages
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBATTERY_PEER=ON
	cmake --build $(BUILD) -j $(JOBS) --target dae_references
	$(BUILD)/dae_references references/dae_references.json

golden: build
	tools/update-golden $(BUILD)/battery

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) out
