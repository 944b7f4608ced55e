# The two commands of the README, plus benchmarks. Each installs the Debian
# packages the project needs when they are missing, then configures and builds.
BUILD     ?= build
JOBS      ?= $(shell nproc)
ARGS      ?=
PREFIX    ?= /usr/local
PACKAGES  := cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
             qt6-base-dev qt6-multimedia-dev libgl-dev fonts-ipafont-gothic \
             inetutils-telnetd socat ccache xvfb x11-utils qt6-translations-l10n \
             desktop-file-utils appstream dpkg-dev dbus-daemon
# Only for making and checking the Debian package.
PACKAGING_PACKAGES := lintian
SUDO      := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps package-deps configure build run test bench profile clean install package

all: build

# Installs the missing ones of the packages named in $(1).
define install-missing
	@missing=$$(for p in $(1); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
endef

deps:
	$(call install-missing,$(PACKAGES))

package-deps: deps
	$(call install-missing,$(PACKAGING_PACKAGES))

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

package: package-deps build
	cd $(BUILD) && cpack -G DEB
	lintian --info $(BUILD)/wombat_*.deb

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

bench: deps
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DWOMBAT_TESTS=OFF -DWOMBAT_BENCH=ON
	cmake --build $(BUILD)-bench -j $(JOBS)
	@failed=; for b in $(BUILD)-bench/bench/*; do \
	  if [ -f "$$b" ] && [ -x "$$b" ]; then "$$b" || failed="$$failed $${b##*/}"; fi; \
	done; \
	if [ -n "$$failed" ]; then echo "Benchmarks that failed:$$failed"; exit 1; fi

# The end-to-end benchmark's chat host under perf: the top functions with
# their callers (tools/profile-endtoend.sh; results in $(BUILD)-profile/profile/).
profile: deps
	$(call install-missing,linux-perf)
	JOBS=$(JOBS) tools/profile-endtoend.sh $(BUILD)-profile

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-profile

# Fuzzing (clang and libFuzzer) and the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, each in its own build folder.
PACKAGES       += clang libclang-rt-dev
FUZZ_SECONDS   ?= 60
FUZZ_BUILD     ?= build-fuzz
SANITIZE_BUILD ?= build-sanitize
# An UndefinedBehaviorSanitizer report fails the test; leaks that are proven to
# be inside system libraries are suppressed in the file named here.
SANITIZE_ENV   := UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
                  ASAN_OPTIONS=detect_stack_use_after_return=0 \
                  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0

.PHONY: fuzz test-sanitize

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DWOMBAT_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	tests/fuzz/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# -O1 with line tables only: about 40 % less compile time than -O2 -g, and the
# reports still name files and lines.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DWOMBAT_SANITIZE=ON -DWOMBAT_BENCH=OFF \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
	$(SANITIZE_ENV) cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600
