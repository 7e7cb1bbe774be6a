# Two commands do everything on a fresh Debian machine:
#   make run    installs what is missing, builds, starts the intro
#   make test   installs what is missing, builds, runs every test
#
# More:
#   make timing      what a tick costs without a display, then the real intro under
#                    its own X server: tick rate and jitter, CPU against the floor of
#                    the job, memory, start-up time, click to exit, each beside its goal
#   make test-asan   unit and headless tests built with AddressSanitizer, LeakSanitizer
#                    and UBSan (build-asan/), then 2,000 load/free cycles of the library
#   make fuzz        30 s of libFuzzer on loading and playing modules from memory
#   make soak        only the 2,000 load/free cycles under LeakSanitizer
#   make gif         a 10 s GIF of the intro in build/capture/intro.gif
#   make video       a 10 s video of the intro with its music in build/capture/intro.mp4
#   make capture-bench  how long GIFs and videos take, GIF sizes beside gifsicle -O3
#   make install     installs under PREFIX (default /usr/local)
#   make deb         the Debian package build/zenora-intro_VERSION_amd64.deb
#   make format      formats every C and C++ file with clang-format
#   make lint        clang-tidy with the checks of .clang-tidy over every compiled
#                    source (program, tests, benchmarks, fuzzer); fails on any finding
#   make web         the intro for the browser: build-web/, a static folder for any
#                    web server (the page, the program as JS and WebAssembly, the music)
#   make web-run     serves build-web/ on 127.0.0.1 and prints the address
#   make web-bench   the page in headless Chromium: bytes to transfer, load to first
#                    frame, tick rate and jitter, CPU beside the native intro's
#   make web-deps    SDL2, SDL2_image, libopenmpt and giflib for WebAssembly, built
#                    from Debian's source packages into build-web-deps/ (once; about
#                    5 to 10 min; make clean keeps them, make distclean does not)
#   make windows     the intro for Windows, cross-built with mingw-w64: build-windows/
#                    ZENOrA_intro-VERSION-win64.zip (the program, bassmod.dll, the music);
#                    prints its size and what the two binaries import and export
#   make windows-deps  SDL2, SDL2_image and libopenmpt for Windows, built from Debian's
#                    source packages into build-windows-deps/ (once; about 10 min)
#   make windows-bench  start to first frame under wine: the intro beside a minimal SDL2
#                    window program built the same way
MAKEFLAGS += --no-print-directory

BUILD      ?= build
WIN_BUILD  ?= build-windows
WIN_DEPS   ?= build-windows-deps
WEB_BUILD  ?= build-web
WASM_BUILD ?= build-wasm
WEB_DEPS   ?= build-web-deps
WEB_PORT   ?= 8020
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2
PREFIX     ?= /usr/local
FUZZ_SECONDS ?= 30

# Leaks are reported for our code only; the suppressions cover system libraries.
ASAN_CHECKS = detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1
SANITIZER_ENV = ASAN_OPTIONS=$(ASAN_CHECKS) \
                LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan-suppressions.txt:print_suppressions=0 \
                UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: all deps configure build run test clean distclean timing test-asan fuzz fuzz-build soak gif video capture-bench install deb format format-check lint web web-run web-bench web-deps web-test-deps windows windows-deps windows-bench

all: build

deps:
	@bash tools/setup-deps.sh

# The native build's browser tests drive the web build (make web) and Chromium; its
# Windows tests the Windows build (make windows) under wine.
WEB_NODE_MODULES = $(abspath $(WEB_DEPS))/npm/node_modules
PLATFORM_TESTS = -DZENORA_WEB_SITE=$(abspath $(WEB_BUILD)) -DZENORA_WASM_BUILD=$(abspath $(WASM_BUILD)) \
                 -DZENORA_NODE_MODULES=$(WEB_NODE_MODULES) -DZENORA_WINDOWS_BUILD=$(abspath $(WIN_BUILD))

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(PLATFORM_TESTS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/ZENOrA_intro

test: format-check build web windows web-test-deps
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

timing: build
	./$(BUILD)/bench/tick_bench
	./$(BUILD)/bench/zenora_timing --seconds 20

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENORA_SANITIZE=ON >/dev/null
	$(SANITIZER_ENV) cmake --build $(ASAN_BUILD) -j $(JOBS)
	$(SANITIZER_ENV) ctest --test-dir $(ASAN_BUILD) --label-exclude 'realwin|long' --output-on-failure -j $(JOBS)
	@# The day-long run watches resident memory, which the quarantine of freed
	@# blocks would swamp: it runs with the quarantine off, leak checks on.
	$(SANITIZER_ENV) ASAN_OPTIONS=$(ASAN_CHECKS):quarantine_size_mb=0 \
	    ctest --test-dir $(ASAN_BUILD) --label-regex long --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory soak

fuzz-build: deps
	@cmake -S tests/fuzz -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	       -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	$(SANITIZER_ENV) bash tests/fuzz/run_fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

soak: fuzz-build
	$(SANITIZER_ENV) ./$(FUZZ_BUILD)/load_cycles $(CURDIR)/assets/LIGHT.S3M 2000

gif: build
	./$(BUILD)/ZENOrA_capture --out $(BUILD)/capture --gif 10

video: build
	./$(BUILD)/ZENOrA_capture --out $(BUILD)/capture --video 10

capture-bench: build
	./$(BUILD)/bench/capture_bench

# The C and C++ files under version control (every file, outside a checkout).
SOURCES = $(shell git ls-files '*.cpp' '*.hpp' '*.h' '*.c' 2>/dev/null || \
            find app capture toolkit soundlib sound logo stars ticker tests bench -name '*.[ch]pp' -o -name '*.[ch]')

format: deps
	@clang-format -i $(SOURCES)

# Fails with the list of files whose layout differs from .clang-format.
format-check: deps
	@unformatted=$$(clang-format --dry-run $(SOURCES) 2>&1 | sed -n 's/:[0-9]*:[0-9]*: warning:.*//p' | sort -u); \
	if [ -n "$$unformatted" ]; then \
	  echo "These files are not formatted (run make format):"; echo "$$unformatted" | sed 's/^/  /'; exit 1; \
	fi

# clang-tidy over the sources of a compile database that lie in the tree and
# match a pattern (generated sources are not ours to fix).
tidy = sed -n 's/^ *"file": "\(.*\)",*$$/\1/p' $(1)/compile_commands.json | sort -u | \
       grep -v '^$(abspath $(1))/' | grep '$(2)' | xargs -P $(JOBS) -n 4 clang-tidy -p $(1) --quiet $(3)
# The Windows build's own sources (make windows), with mingw-w64's C++ headers, which clang does not find itself.
WINDOWS_TIDY = $(shell echo | x86_64-w64-mingw32-g++-posix -E -x c++ - -v 2>&1 | \
                 sed -n 's|^ \(/.*/c++[^ ]*\)$$|--extra-arg-before=-isystem\1|p') --extra-arg=-Wno-unknown-warning-option

# The fuzz build is only configured here, for its compile database.
lint: configure
	@cmake -S tests/fuzz -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
	       -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@status=0; $(call tidy,$(BUILD),.) || status=1; $(call tidy,$(FUZZ_BUILD),^$(CURDIR)/tests/fuzz/) || status=1; \
	if [ -f $(WIN_BUILD)/compile_commands.json ]; then \
	  $(call tidy,$(WIN_BUILD),/windows/\|_windows\.cpp$$\|app/main\.cpp$$,$(WINDOWS_TIDY)) || status=1; fi; \
	if [ $$status -ne 0 ]; then echo "lint: clang-tidy found the problems above"; exit 1; fi

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

deb: build
	cd $(BUILD) && cpack -G DEB

web-deps: deps
	@JOBS=$(JOBS) bash tools/web/build-deps.sh $(WEB_DEPS)

# puppeteer-core for the browser tests and the web benchmark, exactly as locked.
$(WEB_NODE_MODULES)/.package-lock.json: tools/web/package.json tools/web/package-lock.json | deps
	@mkdir -p $(WEB_DEPS)/npm && cp $^ $(WEB_DEPS)/npm/
	@cd $(WEB_DEPS)/npm && npm ci --no-audit --no-fund --loglevel=error
web-test-deps: $(WEB_NODE_MODULES)/.package-lock.json

# The folder is installed whole beside its place, then put there.
WEB_DIR = $(abspath $(WEB_BUILD))
web: web-deps
	@cmake -S . -B $(WASM_BUILD) -DCMAKE_BUILD_TYPE=Release \
	       -DCMAKE_TOOLCHAIN_FILE=$(abspath $(WEB_DEPS))/toolchain.cmake >/dev/null
	@cmake --build $(WASM_BUILD) -j $(JOBS)
	@rm -rf $(WEB_DIR).part && cmake --install $(WASM_BUILD) --prefix $(WEB_DIR).part >/dev/null
	@rm -rf $(WEB_DIR) && mv $(WEB_DIR).part $(WEB_DIR)
	@echo "make web: the intro's page is in $(WEB_BUILD)/ (make web-run serves it)"

web-run: web
	node tools/web/serve.js $(WEB_BUILD) $(WEB_PORT)

web-bench: build web web-test-deps
	NODE_PATH=$(WEB_NODE_MODULES) node bench/web/web_bench.js $(WEB_BUILD) $(WASM_BUILD)/bench/web $(BUILD)

windows-deps: deps
	@JOBS=$(JOBS) bash tools/windows/build-deps.sh $(WIN_DEPS)

windows: windows-deps
	@cmake -S . -B $(WIN_BUILD) -DCMAKE_BUILD_TYPE=Release \
	       -DCMAKE_TOOLCHAIN_FILE=$(abspath $(WIN_DEPS))/toolchain.cmake >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)
	@bash tools/windows/describe.sh $(WIN_BUILD)

windows-bench: build windows
	@cmake --build $(WIN_BUILD) --target minimal_window
	bash bench/windows/windows_bench.sh $(abspath $(BUILD)) $(abspath $(WIN_BUILD))

# The web and Windows libraries take minutes to build: only distclean removes them.
clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WEB_BUILD) $(WASM_BUILD) $(WIN_BUILD)

distclean: clean
	rm -rf $(WEB_DEPS) $(WEB_DEPS)-work $(WIN_DEPS) $(WIN_DEPS)-work
