# lumo: the two set-up commands are `make demo` and `make test`; both install what is missing first.
# `make test SANITIZE=1` builds and tests everything under AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/; `make test-sanitized` does so for the engine, platform,
# settings and fuzz-replay tests alone (CI); `make fuzz` runs each fuzz target FUZZ_SECONDS seconds.
BUILD ?= build
JOBS  ?= 2
CMAKE_FLAGS ?=
SANITIZE ?=
ifeq ($(SANITIZE),1)
BUILD = build-asan
CMAKE_FLAGS += -DLUMO_SANITIZE=ON
endif
ASAN_BUILD ?= build-asan
SANITIZED_FOLDERS ?= engine platform settings fuzz
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=

.PHONY: all deps configure build test test-sanitized fuzz demo run bench clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	bash scripts/run-tests.sh $(BUILD) $(JOBS)

test-sanitized: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DLUMO_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target $(addprefix tests_,$(SANITIZED_FOLDERS))
	bash scripts/run-tests.sh $(ASAN_BUILD) $(JOBS) -L '^($(subst $() ,|,$(SANITIZED_FOLDERS)))$$'

fuzz:
	@bash scripts/install-deps.sh --fuzz
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DLUMO_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	bash scripts/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

demo: build
	bash scripts/demo.sh $(BUILD)

run: build
	$(BUILD)/app/lumo

bench: build
	bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
