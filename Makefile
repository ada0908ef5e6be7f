# The README's commands. Each one first installs what is missing (apt-get),
# then configures and builds with CMake.
BUILD      ?= build
JOBS       ?= $(shell nproc)
FUZZ_TIME  ?= 60
CMAKE_ARGS ?=
PREFIX     ?= /usr/local

.PHONY: all deps build run test torture screenshots bench fuzz clean install deb sanitize

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/bin/kavelomaker ]; then $(BUILD)/bin/kavelomaker; \
	 else $(BUILD)/bin/kavelo --help; fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The full crash campaign: a bigger install, upgrade and uninstall, each
# killed (and, apart, failed with ENOSPC and with EIO) before every call that
# changes the disk, then resumed; prints tried, survived and lost. make test
# runs the small form.
torture: build
	$(BUILD)/bin/test_runtime_install --gtest_also_run_disabled_tests \
	  --gtest_filter='CrashCampaign.DISABLED_Torture'

# kavelo, its runtime data file (in lib/kavelo/), its manual page and its bash
# completion below PREFIX; DESTDIR is honoured.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package of the same, in $(BUILD); lintian checks it when present.
deb: build
	cd $(BUILD) && cpack -G DEB
	@if command -v lintian >/dev/null; then lintian $(BUILD)/kavelomaker_*.deb; fi

# Every test built with AddressSanitizer and UndefinedBehaviorSanitizer; the
# first finding fails the run.
sanitize: deps
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug $(CMAKE_ARGS) \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -j $(JOBS)

# Every window rendered offscreen into $(BUILD)/screenshots: NAME.png,
# NAME-dark.png and, at device pixel ratio 2, NAME-2x.png.
screenshots: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/kavelo_screenshots $(BUILD)/screenshots
	QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 $(BUILD)/bin/kavelo_screenshots \
	  $(BUILD)/screenshots --suffix -2x --light-only
	@ls $(BUILD)/screenshots

bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKAVELO_BUILD_BENCH=ON \
	  -DKAVELO_BUILD_TESTS=OFF -DKAVELO_BUILD_UI=ON
	cmake --build build-bench -j $(JOBS)
	@set -e; for b in build-bench/bin/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b; done

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKAVELO_BUILD_FUZZ=ON -DKAVELO_BUILD_TESTS=OFF -DKAVELO_BUILD_UI=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
	cmake --build build-fuzz -j $(JOBS)
	@set -e; for f in build-fuzz/bin/fuzz_*; do \
	  name=$$(basename $$f); name=$${name#fuzz_}; \
	  mkdir -p fuzz-out/$$name; \
	  echo "== $$name ($(FUZZ_TIME) s, log in fuzz-out/$$name.log)"; \
	  if $$f -max_total_time=$(FUZZ_TIME) -malloc_limit_mb=256 -rss_limit_mb=2048 -timeout=5 \
	      -print_final_stats=1 fuzz-out/$$name fuzz/corpus/$$name > fuzz-out/$$name.log 2>&1; then \
	    grep -E 'DONE|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' fuzz-out/$$name.log; \
	  else \
	    tail -n 40 fuzz-out/$$name.log; echo "fuzz target $$name failed"; exit 1; \
	  fi; \
	done

clean:
	rm -rf build build-bench build-fuzz build-sanitize
