// Cuts the byte stream from the serial line into the display's commands.
// Knows nothing of time sources or files: the caller passes the time of
// each read, so the same input always decodes the same way.
#pragma once

#include "display/image.h"

#include <cstddef>
#include <cstdint>
#include <vector>

enum class CommandKind { Image, Save, Confirm, Config, Unknown, Truncated };

struct KplCommand {
    CommandKind kind = CommandKind::Unknown;
    std::int64_t firstMs = 0;        // when its first byte was read
    std::int64_t lastMs = 0;         // when its last byte was read
    std::vector<std::uint8_t> bytes; // every byte of it, as received
};

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kConfirmByte = 0xC0;
constexpr std::int64_t kDefaultGapMs = 300;
// The longest --gap taken: an hour, far past any pause a sender makes.
constexpr std::int64_t kLongestGapMs = 60 * 60 * 1000;
// Stray bytes are reported in runs of at most this many.
constexpr std::size_t kUnknownRunLimit = 16;

struct Decoder {
    std::int64_t gapMs = kDefaultGapMs;
    std::vector<std::uint8_t> pending; // a command begun, or a run of stray bytes
    std::int64_t firstMs = 0;
    std::int64_t lastMs = 0;
};

// Bytes read at nowMs. Bytes left pending for longer than the gap are
// reported first, so a late caller of DecoderTick loses nothing.
std::vector<KplCommand> DecoderFeed(Decoder& decoder, const std::uint8_t* data, std::size_t size,
                                    std::int64_t nowMs);

// Reports what has been pending for longer than the gap.
std::vector<KplCommand> DecoderTick(Decoder& decoder, std::int64_t nowMs);

// Reports whatever is pending, at the end of a run.
std::vector<KplCommand> DecoderFinish(Decoder& decoder);

// When DecoderTick would next have something to say; -1 when nothing is pending.
std::int64_t DecoderDeadline(const Decoder& decoder);

// "IMAGE", "SAVE", "CONFIRM", "CONFIG", "UNKNOWN", "TRUNCATED".
const char* CommandName(CommandKind kind);

// The 480 bytes of an Image command.
DisplayImageBytes CommandImage(const KplCommand& command);

// The flash page of a Save command, or -1 when its byte is outside 0x40 to 0x50.
int CommandSavePage(const KplCommand& command);

constexpr std::size_t kImageCommandSize = 3 + kDisplayImageSize;
