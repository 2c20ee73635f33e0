# Entry points: make demo, make test, make bench. Each one installs what it needs.
JOBS    ?= $(shell nproc)
RELEASE := build/release
ASAN    := build/asan
BENCH   := build/bench
CONSUMER := build/consumer
CMAKE_FLAGS ?=

.PHONY: all deps demo test test-release test-asan test-consumer bench fuzz clean

all: $(RELEASE)/Makefile
	cmake --build $(RELEASE) -j $(JOBS)

deps:
	@sh scripts/install-deps.sh

$(RELEASE)/Makefile: | deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

$(ASAN)/Makefile: | deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DQAV_SANITIZE=ON $(CMAKE_FLAGS)

$(BENCH)/Makefile: | deps
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DQAV_BUILD_TESTS=OFF -DQAV_BUILD_BENCH=ON $(CMAKE_FLAGS)

# Only the library and the tool: the demonstration needs no test suite.
demo: $(RELEASE)/Makefile
	cmake --build $(RELEASE) -j $(JOBS) --target qavtas
	$(RELEASE)/qavtas tolerance examples/tolerance_direct.txt
	@echo
	@echo "== the same problem, genetic answer beside the certified optimum"
	$(RELEASE)/qavtas tolerance examples/tolerance_direct.txt --compare --quiet

test: test-release test-consumer test-asan

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

bench: $(BENCH)/Makefile
	cmake --build $(BENCH) -j $(JOBS)
	@for b in $(BENCH)/*_bench; do [ -x "$$b" ] && echo "== $$b" && "$$b" || exit 1; done

# libFuzzer targets under fuzz/, built with clang in build/fuzz; FUZZ_SECONDS per target.
FUZZ_SECONDS ?= 60
fuzz:
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) sh scripts/fuzz.sh

clean:
	rm -rf build
