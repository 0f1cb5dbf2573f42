# lumo: the two set-up commands are `make demo` and `make test`; both install what is missing first.
# `make test SANITIZE=1` builds and tests everything under AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/; `make test-sanitized` does so for the engine, platform,
# settings and fuzz-replay tests alone (CI; unoptimised, which halves its build time, and with line
# tables only, which is all a sanitizer's report shows of the debug information); `make fuzz` runs
# each fuzz target FUZZ_SECONDS seconds.
BUILD ?= build
JOBS  ?= 2
# Test programs mostly wait on servers and sockets: twice as many run at once as there are cores.
TEST_JOBS ?= 4
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
PREFIX ?= /usr/local
# What an installation holds: the two programs and the files beside them.
INSTALLED = lumo lumo-cli lumo_guide lumo_icons lumo_man_pages

.PHONY: all deps deps-demo deps-package deps-test deps-bench configure build programs test demo run bench \
	hostile install package test-sanitized fuzz clean

all: build

# The packages by use (scripts/install-deps.sh names the sets); each comes before the first cmake.
deps:
	@bash scripts/install-deps.sh build
deps-demo:
	@bash scripts/install-deps.sh build demo
deps-package:
	@bash scripts/install-deps.sh build package
deps-test:
	@bash scripts/install-deps.sh
# lftp, the peer of the latency benchmark: `make bench` alone needs it.
deps-bench: deps-test
	@bash scripts/install-deps.sh bench

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

# The programs alone, without the tests.
programs: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target lumo lumo-cli

test: deps-test configure
	cmake --build $(BUILD) -j $(JOBS)
	bash scripts/run-tests.sh $(BUILD) $(TEST_JOBS)

test-sanitized: deps-test
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DLUMO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target $(addprefix tests_,$(SANITIZED_FOLDERS))
	bash scripts/run-tests.sh $(ASAN_BUILD) $(TEST_JOBS) -L '^($(subst $() ,|,$(SANITIZED_FOLDERS)))$$'

fuzz:
	@bash scripts/install-deps.sh build fuzz
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DLUMO_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	bash scripts/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

demo: deps-demo programs
	bash scripts/demo.sh $(BUILD)

run: programs
	$(BUILD)/app/lumo

bench: deps-bench build
	bash bench/run.sh $(BUILD)

# lumo-cli against a hostile server of our own, one line per scenario; HOSTILE="collide bomb" picks
# scenarios (or passes options such as --bomb-width).
hostile: deps-test configure
	cmake --build $(BUILD) -j $(JOBS) --target lumo-cli
	bash scripts/hostile-replay.sh --lumo $(BUILD)/tools/lumo-cli $(HOSTILE)

# make install PREFIX=/opt/lumo (DESTDIR=... for a staging folder)
install: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target $(INSTALLED)
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in the build folder.
package: deps-package configure
	cmake --build $(BUILD) -j $(JOBS) --target $(INSTALLED)
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
