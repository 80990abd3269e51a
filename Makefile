# Convenience wrapper around CMake. `make test` and `make run` install what is
# missing, configure, build, and then test or start the program.
BUILD     ?= build
ASAN      ?= build-asan
FUZZBUILD ?= build-fuzz
JOBS      ?= $(shell nproc)
FUZZ_SECONDS ?= 180
CMAKE_FLAGS ?=

.PHONY: all deps build test run asan fuzz fuzz-smoke bench screenshots install format lint clean

all: build

deps:
	@scripts/install-deps.sh base gui

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DZENTOBA_WERROR=ON $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@if [ -x $(BUILD)/main/zentoba ]; then $(BUILD)/main/zentoba $(ARGS); \
	else $(BUILD)/cli/zentoba-cli --help; fi

# Every test again under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B $(ASAN) -G Ninja -DZENTOBA_WERROR=ON -DZENTOBA_BENCH=OFF \
	  -DCMAKE_BUILD_TYPE=Debug -DZENTOBA_SANITIZE=address,undefined $(CMAKE_FLAGS)
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# libFuzzer targets under ASan + UBSan, FUZZ_SECONDS each.
$(FUZZBUILD)/build.ninja:
	@scripts/install-deps.sh base fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZBUILD) -G Ninja -DZENTOBA_FUZZ=ON \
	  -DZENTOBA_GUI=OFF -DZENTOBA_TESTS=OFF -DZENTOBA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DZENTOBA_SANITIZE=address,undefined

fuzz: $(FUZZBUILD)/build.ninja
	cmake --build $(FUZZBUILD) -j $(JOBS)
	scripts/run-fuzzers.sh $(FUZZBUILD) $(FUZZ_SECONDS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do $$b; done

screenshots: build
	cmake --build $(BUILD) --target screenshots

install: build
	cmake --install $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cc' '*.h')

lint: build
	@scripts/install-deps.sh lint
	scripts/lint.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN) $(FUZZBUILD)
