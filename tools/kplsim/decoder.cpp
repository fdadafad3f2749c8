#include "tools/kplsim/decoder.h"

#include <utility>

namespace {

constexpr std::uint8_t kPagePrefix = 0x40;

bool StartsCommand(std::uint8_t byte) {
    return byte == kEsc || byte == kConfirmByte;
}

void Emit(Decoder& decoder, CommandKind kind, std::vector<KplCommand>& out) {
    KplCommand command;
    command.kind = kind;
    command.firstMs = decoder.firstMs;
    command.lastMs = decoder.lastMs;
    command.bytes.swap(decoder.pending);
    decoder.pending.clear();
    out.push_back(std::move(command));
}

void Append(Decoder& decoder, std::uint8_t byte, std::int64_t nowMs) {
    if (decoder.pending.empty())
        decoder.firstMs = nowMs;
    decoder.lastMs = nowMs;
    decoder.pending.push_back(byte);
}

// A run of stray bytes is complete in itself; a begun command is not.
void EmitExpired(Decoder& decoder, std::vector<KplCommand>& out) {
    if (decoder.pending.empty())
        return;
    Emit(decoder, decoder.pending[0] == kEsc ? CommandKind::Truncated : CommandKind::Unknown, out);
}

void Step(Decoder& decoder, std::uint8_t byte, std::int64_t nowMs, std::vector<KplCommand>& out) {
    std::vector<std::uint8_t>& pending = decoder.pending;
    if (pending.empty()) {
        Append(decoder, byte, nowMs);
        if (byte == kConfirmByte)
            Emit(decoder, CommandKind::Confirm, out);
        return;
    }

    if (pending[0] != kEsc) {
        if (StartsCommand(byte)) {
            Emit(decoder, CommandKind::Unknown, out);
            Step(decoder, byte, nowMs, out);
            return;
        }
        Append(decoder, byte, nowMs);
        if (pending.size() >= kUnknownRunLimit)
            Emit(decoder, CommandKind::Unknown, out);
        return;
    }

    bool letterExpected = pending.size() == 1 || (pending.size() == 2 && pending[1] == 'D');
    if (!letterExpected) {
        // Argument and image bytes are taken whatever they are: 0xC0 is a
        // valid configuration value, and any byte can be image data.
        Append(decoder, byte, nowMs);
        if (pending[1] == 'X')
            Emit(decoder, CommandKind::Save, out);
        else if (pending[1] == 'W')
            Emit(decoder, CommandKind::Config, out);
        else if (pending.size() == kImageCommandSize)
            Emit(decoder, CommandKind::Image, out);
        return;
    }

    bool known = pending.size() == 1 ? (byte == 'D' || byte == 'X' || byte == 'W') : byte == 'G';
    if (known) {
        Append(decoder, byte, nowMs);
        return;
    }
    // A byte that starts a command is not swallowed by a bad one, so the
    // stream gets back in step at the next ESC.
    if (StartsCommand(byte)) {
        Emit(decoder, CommandKind::Unknown, out);
        Step(decoder, byte, nowMs, out);
        return;
    }
    Append(decoder, byte, nowMs);
    Emit(decoder, CommandKind::Unknown, out);
}

} // namespace

std::vector<KplCommand> DecoderFeed(Decoder& decoder, const std::uint8_t* data, std::size_t size,
                                    std::int64_t nowMs) {
    std::vector<KplCommand> out = DecoderTick(decoder, nowMs);
    for (std::size_t i = 0; i < size; ++i)
        Step(decoder, data[i], nowMs, out);
    return out;
}

std::vector<KplCommand> DecoderTick(Decoder& decoder, std::int64_t nowMs) {
    std::vector<KplCommand> out;
    if (!decoder.pending.empty() && nowMs - decoder.lastMs > decoder.gapMs)
        EmitExpired(decoder, out);
    return out;
}

std::vector<KplCommand> DecoderFinish(Decoder& decoder) {
    std::vector<KplCommand> out;
    EmitExpired(decoder, out);
    return out;
}

std::int64_t DecoderDeadline(const Decoder& decoder) {
    if (decoder.pending.empty())
        return -1;
    return decoder.lastMs + decoder.gapMs + 1;
}

const char* CommandName(CommandKind kind) {
    switch (kind) {
    case CommandKind::Image:
        return "IMAGE";
    case CommandKind::Save:
        return "SAVE";
    case CommandKind::Confirm:
        return "CONFIRM";
    case CommandKind::Config:
        return "CONFIG";
    case CommandKind::Unknown:
        return "UNKNOWN";
    case CommandKind::Truncated:
        return "TRUNCATED";
    }
    return "UNKNOWN";
}

DisplayImageBytes CommandImage(const KplCommand& command) {
    DisplayImageBytes image{};
    if (command.kind != CommandKind::Image || command.bytes.size() != kImageCommandSize)
        return image;
    for (std::size_t i = 0; i < kDisplayImageSize; ++i)
        image[i] = command.bytes[3 + i];
    return image;
}

int CommandSavePage(const KplCommand& command) {
    if (command.kind != CommandKind::Save || command.bytes.size() != 3)
        return -1;
    int page = command.bytes[2] - kPagePrefix;
    return page >= 0 && page < kFlashPages ? page : -1;
}
