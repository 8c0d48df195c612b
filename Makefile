# Two commands do all set-up on a fresh Debian 12 machine:
#   make run   builds (optimised) and starts the editor
#   make test  builds with AddressSanitizer/UBSan and runs every test
# JOBS=N limits parallel compiles.
JOBS ?= $(shell nproc)
RELEASE := build/release
TEST := build/test
BENCH := build/bench

.PHONY: setup run test bench fuzz install clean

setup:
	@./scripts/setup.sh

$(RELEASE)/build.ninja: | setup
	cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRIMEL_TESTS=OFF

run: setup $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS) --target brimel
	./$(RELEASE)/brimel

test: setup
	cmake -S . -B $(TEST) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRIMEL_SANITIZE=ON -DBRIMEL_WERROR=ON \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DCMAKE_C_FLAGS_DEBUG="-O1 -g"
	cmake --build $(TEST) -j $(JOBS)
	cd $(TEST) && ctest --output-on-failure -j $(JOBS) --timeout 300

bench: setup
	cmake -S . -B $(BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRIMEL_TESTS=OFF -DBRIMEL_BENCH=ON
	cmake --build $(BENCH) -j $(JOBS)
	@for b in $(BENCH)/bench/bench_*; do \
	  if [ -f $$b ] && [ -x $$b ]; then echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b $(BENCH_ARGS) || exit 1; fi; \
	done

# Installs the program, its resource folder, the .desktop entry and the icon under PREFIX.
PREFIX ?= /usr/local
install: setup
	cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRIMEL_TESTS=OFF -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(RELEASE) -j $(JOBS) --target brimel
	cmake --install $(RELEASE)

# Bounded fuzzing of the request-file parsers (clang, libFuzzer): FUZZ_SECONDS per target.
FUZZ_SECONDS ?= 60
fuzz: setup
	./fuzz/run.sh $(FUZZ_SECONDS)

clean:
	rm -rf build
