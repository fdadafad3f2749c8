// kplsim: stands in for the display at the far end of the serial line and
// records what it is sent, for the end-to-end tests.
#include "tools/kplsim/decoder.h"
#include "tools/kplsim/outputs.h"
#include "tools/kplsim/reader.h"

#include "common/wholenumber.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) {
    stopRequested = 1;
}

struct Options {
    std::string device;
    std::string outDir;
    bool quiet = false;
    std::int64_t gapMs = kDefaultGapMs;
};

void PrintUsage(std::FILE* to) {
    std::fprintf(to,
                 "usage: kplsim DEVICE --out DIR [--quiet] [--gap MS]\n"
                 "  DEVICE    serial device or pty to read (set to raw, 9600 baud)\n"
                 "  --out DIR folder for received.bin, log.txt, screen.png, page-NN.png\n"
                 "            and config.txt (created if missing)\n"
                 "  --quiet   print nothing on stdout\n"
                 "  --gap MS  a command whose bytes stop for longer than this is logged\n"
                 "            as TRUNCATED (default %lld)\n",
                 static_cast<long long>(kDefaultGapMs));
}

bool ParseMilliseconds(const char* text, std::int64_t& value) {
    std::optional<std::int64_t> parsed = WholeNumber(text, 1, kLongestGapMs);
    if (parsed)
        value = *parsed;
    return parsed.has_value();
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--out" && i + 1 < argc) {
            options.outDir = argv[++i];
        } else if (arg == "--gap" && i + 1 < argc) {
            if (!ParseMilliseconds(argv[++i], options.gapMs))
                return false;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (!arg.empty() && arg[0] != '-' && options.device.empty()) {
            options.device = arg;
        } else {
            return false;
        }
    }
    return !options.device.empty() && !options.outDir.empty();
}

void Apply(Outputs& outputs, const std::vector<KplCommand>& commands) {
    for (const KplCommand& command : commands)
        ApplyCommand(outputs, command);
}

// Signals are blocked except inside ppoll, so a stop request never slips
// in between the check of the flag and the wait.
bool SetUpSignals(sigset_t& waitMask) {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &stops, &waitMask) != 0)
        return false;
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    std::signal(SIGPIPE, SIG_IGN);
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char** argv) {
    std::int64_t startMs = MonotonicMs();
    auto elapsedMs = [startMs] { return MonotonicMs() - startMs; };

    Options options;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    if (!ParseOptions(argc, argv, options)) {
        PrintUsage(stderr);
        return 2;
    }

    sigset_t waitMask;
    if (!SetUpSignals(waitMask)) {
        std::perror("kplsim: signals");
        return 1;
    }

    LineReader reader;
    if (!StartLineReader(reader, options.device, startMs)) {
        std::fprintf(stderr, "kplsim: %s: %s\n", options.device.c_str(), std::strerror(errno));
        return 1;
    }
    // The output files appear only once the line is set up: their presence
    // tells a test that it may start writing.
    Outputs outputs;
    std::string error;
    if (!OpenOutputs(outputs, options.outDir, options.quiet, error)) {
        std::fprintf(stderr, "kplsim: %s\n", error.c_str());
        StopLineReader(reader);
        return 1;
    }

    Decoder decoder;
    decoder.gapMs = options.gapMs;
    auto handleWaiting = [&] {
        std::int64_t asOfMs = 0;
        for (const Chunk& chunk : TakeChunks(reader, asOfMs)) {
            RecordReceived(outputs, chunk.bytes.data(), chunk.bytes.size());
            Apply(outputs, DecoderFeed(decoder, chunk.bytes.data(), chunk.bytes.size(), chunk.ms));
        }
        // Only now, with every byte up to asOfMs fed, can a gap be judged.
        Apply(outputs, DecoderTick(decoder, asOfMs));
    };
    while (!stopRequested) {
        std::int64_t deadline = DecoderDeadline(decoder);
        std::int64_t waitMs = deadline < 0 ? -1 : std::max<std::int64_t>(0, deadline - elapsedMs());
        timespec timeout{static_cast<time_t>(waitMs / 1000),
                         static_cast<long>(waitMs % 1000) * 1000000};
        pollfd wake{LineReaderWakeFd(reader), POLLIN, 0};
        if (ppoll(&wake, 1, waitMs < 0 ? nullptr : &timeout, &waitMask) < 0 && errno != EINTR) {
            std::perror("kplsim: poll");
            break;
        }
        handleWaiting();
    }

    StopLineReader(reader);
    handleWaiting();
    Apply(outputs, DecoderFinish(decoder));
    CloseOutputs(outputs);
    return 0;
}
