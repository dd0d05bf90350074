# The project's commands. Everything is cross-built for 64-bit Windows into build/ and run under Wine.
#   make run         build, then open the exam on the sample bank (examples/questions.json)
#   make test        install what is missing, build, and run every test under Wine
#   make package     build dist/tessavon-VERSION-win64.zip, what a candidate copies to a Windows PC, and dist/SHA256SUMS
#   make screenshot  retake the pictures in docs/ (sample bank, Japanese, long question) on a private virtual display
#   make bench       build, then measure the loader on banks of 1,000 to 100,000 questions and the program's start-up,
#                    and showing long and huge questions
#   make fuzz        build, then run the bank fuzzer with a much larger budget (FUZZ_INPUTS per shard, FUZZ_SEED)
BUILD := build
WITH_DISPLAY := scripts/with-display.sh $(BUILD)
# What the pictures need beyond the build: xwd, xwininfo, ImageMagick, and Wine's own fonts for the title bar
# that Wine draws in its virtual desktop.
SCREENSHOT_PACKAGES := x11-apps x11-utils imagemagick fonts-wine

.PHONY: all deps configure build test run package screenshot bench fuzz clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake --preset mingw

build: configure
	@cmake --build $(BUILD)

test: build
	@$(WITH_DISPLAY) test scripts/run-tests.sh $(BUILD)

# The ten fuzz shards, one after another (message boxes of two programs at once would take the focus from each
# other); the seed differs from run to run unless given.
FUZZ_INPUTS ?= 20000
ifndef FUZZ_SEED
FUZZ_SEED := $(shell date +%s)
endif
FUZZ_SHARDS := 0 1 2 3 4 5 6 7 8 9

bench: build
	@$(WITH_DISPLAY) test sh -c '$(BUILD)/wine-run.sh $(BUILD)/bench/bank_bench.exe && \
		$(BUILD)/wine-run.sh $(BUILD)/bench/fitting_bench.exe'

fuzz: build
	@echo "Fuzzing with seed $(FUZZ_SEED), $(FUZZ_INPUTS) inputs per shard"
	@TESSAVON_FUZZ_SEED=$(FUZZ_SEED) TESSAVON_FUZZ_INPUTS=$(FUZZ_INPUTS) $(WITH_DISPLAY) test \
		sh -c 'for shard in $(FUZZ_SHARDS); do \
			$(BUILD)/wine-run.sh $(BUILD)/tests/bank_fuzz_test.exe --gtest_filter="Shards/BankFuzz.*/$$shard" || exit 1; \
		done'

# Only the program itself: a first run need not wait for the tests to build.
run: configure
	@cmake --build $(BUILD) --target tessavon
	@scripts/run-exam.sh $(BUILD) examples

package: build
	@cmake --build $(BUILD) --target package

screenshot: build
	@scripts/install-deps.sh $(SCREENSHOT_PACKAGES)
	@env -u DISPLAY $(WITH_DISPLAY) test scripts/screenshot.sh $(BUILD) docs

clean:
	rm -rf $(BUILD)
