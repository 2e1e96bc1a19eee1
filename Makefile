# Thin wrapper over CMake. `make demo` and `make test` install what they
# need, configure, build and run.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
GENERATOR  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")
FUZZ_SECONDS ?= 30
SHELL := /bin/bash
.SHELLFLAGS := -o pipefail -c

.PHONY: all deps configure build demo test package-test check-asan bench bench-build bench-smoke fuzz format \
        format-check check-layers clean idl windows windows-test windows-dist mutants

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The tour needs only the library, `orv` and the PDF engine, not the tests.
# DEMO_FORMAT=json prints each call's raw JSON line instead.
DEMO_FORMAT ?= text
demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target orv tvpdf
	@bash examples/demo.sh $(BUILD) $(if $(filter json,$(DEMO_FORMAT)),--json)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Installs into a temporary prefix and builds the outside client in
# examples/client twice, with find_package and with pkg-config, then runs it.
package-test: build
	@bash scripts/package-test.sh $(BUILD)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, built
# with clang++ (so both compilers build the code with warnings as errors).
check-asan: deps
	@CXX=clang++ cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Every benchmark program runs even when one fails; a benchmark that cannot
# run says why ("ERROR OCCURRED") and the others go on.
bench-build: deps
	@cmake -S . -B $(BENCH_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)

bench: bench-build
	@bash scripts/run-benchmarks.sh $(BENCH_BUILD)

# One short pass of every benchmark (CI): fails when a benchmark program
# fails or a benchmark reports an error. It checks that every benchmark
# still runs, not how fast, so it uses the test build (no Release build of
# the whole library just for it).
bench-smoke: configure
	@cmake -S . -B $(BUILD) -DORV_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	@bash scripts/run-benchmarks.sh $(BUILD) --smoke

# Every fuzz target for FUZZ_SECONDS seconds each (clang's libFuzzer).
fuzz: deps
	@CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DORV_FUZZ=ON -DORV_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do \
	  [ -x "$$f" ] || continue; \
	  echo "== $$f ($(FUZZ_SECONDS)s)"; \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$(basename $$f); \
	  seeds=""; [ -d fuzz/corpus/$$(basename $$f) ] && seeds=fuzz/corpus/$$(basename $$f); \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $(FUZZ_BUILD)/corpus/$$(basename $$f) $$seeds > $(FUZZ_BUILD)/$$(basename $$f).log 2>&1 \
	    || { tail -n 40 $(FUZZ_BUILD)/$$(basename $$f).log; exit 1; }; \
	  grep -E '^(Done|#[0-9]+.*DONE)|stat::number_of_executed_units' $(FUZZ_BUILD)/$$(basename $$f).log | tail -n 2; \
	done

# Windows: the DLL and the test suite cross-built with mingw-w64 for x86_64
# and i686, warnings as errors, then checked statically (PE type, exports,
# only system DLLs imported).
WIN64_BUILD ?= build-win64
WIN32_BUILD ?= build-win32
windows: deps
	@cmake -S . -B $(WIN64_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake >/dev/null
	@cmake --build $(WIN64_BUILD) -j $(JOBS)
	@cmake -S . -B $(WIN32_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake >/dev/null
	@cmake --build $(WIN32_BUILD) -j $(JOBS)
	@bash scripts/windows-check-dll.sh $(WIN64_BUILD) $(WIN32_BUILD)

# The platform backends compared (file names; functions, against the Linux
# build's objects), then the 64-bit suite under Wine, the report targets
# under 64-bit Wine against the Linux build's preview, and the 32-bit suite
# when this machine can run it (wine32 installed, a kernel that runs 32-bit
# programs: scripts/win32-runnable.sh says which is missing).
windows-test: windows build
	@python3 scripts/check-platform.py sources
	@python3 scripts/check-platform.py symbols $(BUILD) $(WIN64_BUILD)
	@bash scripts/windows-test.sh $(WIN64_BUILD) win64
	@bash scripts/windows-report-test.sh $(BUILD) $(WIN64_BUILD)
	@bash tests/automation/run.sh $(WIN64_BUILD)/src/orvcommon/orvcommon.dll \
	  $(WIN32_BUILD)/src/orvcommon/orvcommon.dll
	@if why=$$(bash scripts/win32-runnable.sh); then \
	  bash scripts/windows-test.sh $(WIN32_BUILD) win32; \
	else \
	  echo "windows-test (win32): not run, $$why"; \
	fi

# Mutation testing: plants one fault at a time in src/ and engines/ (a fixed sample, 300 by
# default), rebuilds build-mutants/ and runs the tests that cover the file; the report lists
# the survivors. MUTANTS_ARGS passes options: MUTANTS_ARGS="--files 'src/orvcommon/core/*' --list".
MUTANTS_ARGS ?=
mutants: deps
	@python3 scripts/mutants.py --jobs $(JOBS) $(MUTANTS_ARGS)

# One zip per architecture in dist/: the DLL, the PDF engine, orv.exe, the
# IDL and README-Windows.txt.
windows-dist: windows
	@bash scripts/windows-dist.sh $(WIN64_BUILD) $(WIN32_BUILD)

# Regenerates the type library's IDL from the member tables (commit the result).
idl: configure
	@cmake --build $(BUILD) -j $(JOBS) --target orv
	@$(BUILD)/tools/orv idl src/orvcommon/server/orvcommon.idl

format:
	@find src engines tests bench tools fuzz -name '*.cpp' -o -name '*.hpp' | xargs clang-format -i

# Fails and names the files that `make format` would change.
format-check:
	@find src engines tests bench tools fuzz -name '*.cpp' -o -name '*.hpp' | \
	  { xargs clang-format --dry-run --Werror 2>&1 || true; } | { grep -o '^[a-z][^:]*\.[ch]pp' || true; } | sort -u | \
	  { if read -r first; then echo "format-check: not formatted (make format):"; \
	    { echo "$$first"; cat; } | sed 's/^/  /'; exit 1; fi; echo "format-check: every source is formatted"; }

# Fails and names any include from a lower layer to a higher one, or between
# sibling class folders (scripts/check-layers.py lists the order).
check-layers:
	@python3 scripts/check-layers.py

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(WIN64_BUILD) $(WIN32_BUILD)
