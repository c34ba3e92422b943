# make run   configure, build and run the battery; reports land in out/
# make test  configure, build and run every test
# make asan  the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
# make bench build and run the benchmarks
# make golden  rewrite tests/golden/ from a run of the program (only when an issue asks for new reports)

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= 2

.PHONY: all configure build run test asan bench golden clean

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

golden: build
	tools/update-golden $(BUILD)/battery

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) out
