# lumo: the two set-up commands are `make demo` and `make test`; both install what is missing first.
BUILD ?= build
JOBS  ?= 2
CMAKE_FLAGS ?=
PREFIX ?= /usr/local
# What an installation holds: the two programs and the files beside them.
INSTALLED = lumo lumo-cli lumo_guide lumo_icons lumo_man_pages

.PHONY: all deps deps-demo deps-package deps-test configure build programs test demo run bench install \
	package clean

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
	bash scripts/run-tests.sh $(BUILD) $(JOBS)

demo: deps-demo programs
	bash scripts/demo.sh $(BUILD)

run: programs
	$(BUILD)/app/lumo

bench: deps-test build
	bash bench/run.sh $(BUILD)

# make install PREFIX=/opt/lumo (DESTDIR=... for a staging folder)
install: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target $(INSTALLED)
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in the build folder.
package: deps-package configure
	cmake --build $(BUILD) -j $(JOBS) --target $(INSTALLED)
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
