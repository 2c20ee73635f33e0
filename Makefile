# Entry points: make demo, make test, make bench. Each one installs what it needs.
JOBS    ?= $(shell nproc)
RELEASE := build/release
ASAN    := build/asan
TSAN    := build/tsan
BENCH   := build/bench
CONSUMER := build/consumer
CMAKE_FLAGS ?=

.PHONY: all deps demo demo-tolerance test test-release test-asan test-consumer format-check tsan bench bench-deps fuzz clean

all: $(RELEASE)/Makefile
	cmake --build $(RELEASE) -j $(JOBS)

deps:
	@sh scripts/install-deps.sh

$(RELEASE)/Makefile: | deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

$(ASAN)/Makefile: | deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DQAV_SANITIZE=ON $(CMAKE_FLAGS)

# The packaged solvers the benchmarks measure ours against come with the bench only.
bench-deps:
	@sh scripts/install-bench-deps.sh

$(BENCH)/Makefile: | bench-deps
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DQAV_BUILD_TESTS=OFF -DQAV_BUILD_BENCH=ON $(CMAKE_FLAGS)

# Only the library and the tool: the demonstration needs no test suite. The motor assembly from
# its drawing: what the current tolerances give, then the least-cost tolerances that meet Cpk 1.33.
DEMO := build/demo
demo: $(RELEASE)/Makefile
	cmake --build $(RELEASE) -j $(JOBS) --target qavtas
	@mkdir -p $(DEMO)
	@echo "== the motor assembly as drawn: worst case, statistical model, Monte Carlo"
	$(RELEASE)/qavtas analyse examples/motor_drawing.json --html $(DEMO)/motor_analysis.html
	@echo
	@echo "== the same assembly allocated at least cost to Cpk 1.33, certified"
	$(RELEASE)/qavtas allocate examples/motor_allocation.json --html $(DEMO)/motor_allocation.html
	@echo
	@echo "Pages: $(CURDIR)/$(DEMO)/motor_analysis.html and $(CURDIR)/$(DEMO)/motor_allocation.html"
	@echo "The tolerancing report of a data file: make demo-tolerance"

demo-tolerance: $(RELEASE)/Makefile
	cmake --build $(RELEASE) -j $(JOBS) --target qavtas
	$(RELEASE)/qavtas tolerance examples/tolerance_direct.txt
	@echo
	@echo "== the same problem, genetic answer beside the certified optimum"
	$(RELEASE)/qavtas tolerance examples/tolerance_direct.txt --compare --quiet

test: format-check test-release test-consumer test-asan tsan

test-release: all
	cd $(RELEASE) && ctest --output-on-failure -j $(JOBS)

# Installs into a scratch prefix, then builds and runs examples/consumer against it, as an
# application would (CMake package and pkg-config file both).
test-consumer: all
	rm -rf $(CONSUMER)
	cmake --install $(RELEASE) --prefix $(CURDIR)/$(CONSUMER)/prefix >/dev/null
	$(CONSUMER)/prefix/bin/qavtas --help >/dev/null
	cmake -S examples/consumer -B $(CONSUMER)/build -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_PREFIX_PATH=$(CURDIR)/$(CONSUMER)/prefix >/dev/null
	cmake --build $(CONSUMER)/build -j $(JOBS)
	cd $(CONSUMER)/build && ctest --output-on-failure
	@# The README's pkg-config line, word for word but for the prefix and the program: it must
	@# build a program that runs without LD_LIBRARY_PATH.
	cd $(CONSUMER) && eval "$$(grep -o 'g++ -std=c++17 app.cpp [^`]*' $(CURDIR)/README.md \
	  | sed -e 's|/opt/qavtas|$(CURDIR)/$(CONSUMER)/prefix|' \
	    -e 's|app.cpp|$(CURDIR)/examples/consumer/engines.cpp -o readme-app|')" && env -u LD_LIBRARY_PATH ./readme-app >/dev/null

# Any sanitizer report, leaks included, fails the run.
test-asan: $(ASAN)/Makefile
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# Every C++ file of the tree as the project's .clang-format has it; any difference fails.
format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

# ThreadSanitizer over the library and the parallel suite only; any report fails the run.
$(TSAN)/Makefile: | deps
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DQAV_SANITIZE_THREAD=ON $(CMAKE_FLAGS)

tsan: $(TSAN)/Makefile
	cmake --build $(TSAN) -j $(JOBS) --target parallel_test
	cd $(TSAN) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -L parallel

bench: $(BENCH)/Makefile
	cmake --build $(BENCH) -j $(JOBS)
	@for b in $(BENCH)/*_bench; do [ -x "$$b" ] && echo "== $$b" && "$$b" || exit 1; done
	@echo "== MPI, 1 ms fitness" && sh bench/mpi_bench.sh $(BENCH)

# libFuzzer targets under fuzz/, built with clang in build/fuzz; FUZZ_SECONDS per target.
FUZZ_SECONDS ?= 60
fuzz:
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) sh scripts/fuzz.sh

clean:
	rm -rf build
