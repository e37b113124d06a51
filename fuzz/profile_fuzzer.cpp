// libFuzzer target for the profile reader and the command decoder. Built and run by scripts/fuzz.sh.
#include "fuzz/require.h"
#include "protocol/commanddecoder.h"
#include "protocol/commanddescription.h"
#include "protocol/profile.h"

#include <cstdint>

namespace {

// What goes on the line is what the history and the simulator read back: one whole frame of the tab's letter.
void requireWholeFrame(const Commands::Encoded &encoded, char letter) {
    require(!encoded.isRefused() && !encoded.bytes.isEmpty(), "a profile that reads without a problem is refused");
    const FrameHead head = inspectFrameHead(encoded.bytes);
    require(head.status == FrameHead::Known && head.length == encoded.bytes.size(), "a command is not one frame");
    require(decodeCommand(encoded.bytes).letter == letter, "a command decodes as another letter");
    require(!describeCommand(encoded.bytes).startsWith(QStringLiteral("не команда")), "the history cannot read it");
}

// Bytes from a line, whatever they are: the decoder reads no further than the length it reported.
void decodeAnything(const QByteArray &bytes) {
    describeCommand(bytes);
    const FrameHead head = inspectFrameHead(bytes);
    if (head.status == FrameHead::Known) {
        require(head.length > commandPrefix.size(), "a frame without a body");
        if (head.length <= bytes.size())
            decodeCommand(bytes.left(head.length));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 1 << 16)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    decodeAnything(input);

    const Profiles::ReadResult read = Profiles::readProfile(input);
    if (!read.isValid()) {
        require(read.line >= 0 && read.line <= input.count('\n') + 1, "a problem on a line the file does not have");
        return 0;
    }
    const Profiles::Profile &profile = read.profile;
    if (profile.station)
        requireWholeFrame(Profiles::stationCommand(*profile.station), profile.station->multiChannel ? 'x' : 'w');
    if (profile.clock)
        requireWholeFrame(Profiles::clockCommand(*profile.clock), 'y');
    if (profile.meter)
        requireWholeFrame(Profiles::meterCommand(*profile.meter), 'z');

    // Saved again, the profile reads back as it was, and a second save writes the same bytes.
    const QByteArray written = Profiles::writeProfile(profile);
    const Profiles::ReadResult again = Profiles::readProfile(written);
    require(again.isValid(), "a saved profile does not read");
    require(again.profile == profile, "a saved profile reads back otherwise");
    require(Profiles::writeProfile(again.profile) == written, "a second save writes other bytes");
    return 0;
}
