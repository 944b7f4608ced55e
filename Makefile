# The two commands of the README, plus benchmarks. Each installs the Debian
# packages the project needs when they are missing, then configures and builds.
BUILD     ?= build
JOBS      ?= $(shell nproc)
ARGS      ?=
PREFIX    ?= /usr/local
PACKAGES  := cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
             qt6-base-dev qt6-multimedia-dev libgl-dev fonts-ipafont-gothic \
             inetutils-telnetd socat ccache \
             desktop-file-utils appstream dpkg-dev
SUDO      := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build run test bench clean install package

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Without ARGS: the demo chat host on a free port, and Wombat connected to it.
run: build
ifeq ($(strip $(ARGS)),)
	tools/run-demo.sh $(BUILD)
else
	./$(BUILD)/src/wombat $(ARGS)
endif

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	cd $(BUILD) && cpack -G DEB

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

bench: deps
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DWOMBAT_TESTS=OFF -DWOMBAT_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS)
	for b in $(BUILD)-bench/bench/*; do [ -x "$$b" ] && [ -f "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD) $(BUILD)-bench
