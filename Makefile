# lumo: the two set-up commands are `make demo` and `make test`; both install what is missing first.
BUILD ?= build
JOBS  ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build test demo run bench clean

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

demo: build
	bash scripts/demo.sh $(BUILD)

run: build
	$(BUILD)/app/lumo

bench: build
	bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
