// The emulator's decoder on any bytes cut into any reads at any times:
// every byte comes out once, in order, in a command of a possible size.
#include "tests/fuzz/fuzz.h"
#include "tools/kplsim/decoder.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Decoder decoder;
    std::vector<std::uint8_t> fed, decoded;
    auto take = [&](const std::vector<KplCommand>& commands) {
        for (const KplCommand& command : commands) {
            decoded.insert(decoded.end(), command.bytes.begin(), command.bytes.end());
            bool image = command.kind == CommandKind::Image;
            Require(image == (command.bytes.size() == kImageCommandSize), "an image's size");
            bool mayBeLong = image || command.kind == CommandKind::Truncated;
            Require(mayBeLong || command.bytes.size() <= kUnknownRunLimit, "a short command");
            Require(command.firstMs <= command.lastMs, "in time order");
            CommandImage(command);
            CommandSavePage(command);
        }
    };
    for (std::int64_t now = 0; input.remaining_bytes() > 0;) {
        now += input.ConsumeIntegralInRange<int>(0, 2 * kDefaultGapMs);
        auto chunk = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 600));
        fed.insert(fed.end(), chunk.begin(), chunk.end());
        take(DecoderFeed(decoder, chunk.data(), chunk.size(), now));
        now += input.ConsumeIntegralInRange<int>(0, 2 * kDefaultGapMs);
        take(DecoderTick(decoder, now));
    }
    take(DecoderFinish(decoder));
    Require(decoded == fed && DecoderDeadline(decoder) == -1, "every byte, once");
    return 0;
}
