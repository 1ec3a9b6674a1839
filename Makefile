# Shortcuts for the commands in the README. Each installs missing Debian packages first.
BUILD ?= build
PREFIX ?= /usr/local

.PHONY: run demo test bench install package
run:
	./scripts/run
demo:
	./scripts/demo
test:
	./scripts/test
bench:
	./scripts/bench
install:
	./scripts/packages.sh
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)
	cmake --install $(BUILD) --prefix $(PREFIX)
package:
	./scripts/packages.sh
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)
	cd $(BUILD) && cpack -G DEB
