#pragma once

#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "driver/protocol/command.h"
#include "driver/protocol/command_catalogue.h"
#include "driver/protocol/command_data.h"
#include "driver/protocol/id_generator.h"

namespace zarvik12m {

// A set of byte values: network numbers given to an engine, or the
// address bytes it accepts.
using TByteSet = std::bitset<256>;

TByteSet ByteSetOf(std::initializer_list<std::uint8_t> values);

// The frames and payload records of one register on one COM port, without
// a port, queues or threads: what the probe and the fuzz targets use alone
// and what the engine (TCommandEncoder) is built on. Its operations are
// spread over files named after what they hold:
//   frame_codec.cpp          construction, the address set
//   frame_codec_records.cpp  command IDs, making and freeing records
//   frame_codec_frame.cpp    frames: checksum, encoding, recognition
//   frame_codec_data.cpp     data records: allocation, release, copy
//   payload_encode.cpp       payloads of what the driver sends
//   payload_decode.cpp       payloads of what the register sends
//
// Nothing here takes a lock but NextID, which takes the ID generator's.
class TFrameCodec {
public:
    // Accepts the address bytes of the network numbers 1..99 in
    // netNumbers (others are ignored).
    TFrameCodec(std::uint8_t portNumber, const TByteSet& netNumbers);

    // The engine above releases its own parts first; the ID generator goes
    // last, with this base.
    ~TFrameCodec() = default;
    TFrameCodec(const TFrameCodec&) = delete;
    TFrameCodec& operator=(const TFrameCodec&) = delete;

    [[nodiscard]] std::uint8_t PortNumber() const noexcept { return FPortNumber; }
    [[nodiscard]] const TByteSet& AddressSet() const noexcept { return FAddressSet; }
    [[nodiscard]] TIDGenerator& IDGenerator() noexcept { return FIDGenerator; }

    // --- Command records and IDs ---

    // 1, 2, 3, ...; after 4294967295 comes 1 again: 0 is never issued.
    std::uint32_t NextID();

    // A fresh record: new ID, kind, state created at the current local
    // time, a new auto-reset event, the catalogue's code and a new data
    // record. Raises ecUnknownCommand for a number outside 1..66.
    TCommand InitCommand(std::uint8_t commandNumber, std::uint8_t netNumber);

    // Drops the record's share of its event and data and zero-fills it.
    // Other copies keep theirs.
    static void FreeCommand(TCommand& command) noexcept;

    // --- Frames ---

    // 0xFF xor the 8-bit sum of the bytes.
    static std::uint8_t Checksum(std::span<const std::uint8_t> bytes) noexcept;

    static TCommandType CommandTypeOf(std::uint8_t commandNumber) noexcept;

    // Builds the whole frame of a command to be sent and returns its
    // length. Raises ecUnknownCommand for a number outside the catalogue and ecCommandDataSize for a
    // payload of any length that does not fit (9, 10, 30, 66 always; 65
    // with more than 246 data bytes); the frame is untouched then.
    std::uint8_t EncodeFrame(const TCommand& command, std::span<std::uint8_t, MaxFrameLength> frame) const;

    // Recognises a frame of what the register sends (commands 1..31) at
    // the very first of the bytes. On success fills command with a new
    // record holding the decoded payload, sets frameLength and returns
    // true; otherwise returns false and touches neither. Reads no byte
    // beyond the span.
    bool DecodeFrame(TCommand& command, std::span<const std::uint8_t> bytes, std::uint16_t& frameLength);

    // --- Data records ---
    // AllocData, FreeData and CopyData raise ecUnknownCommand (port, network number 0,
    // command number) for a number outside 1..66.

    // A new zero-filled record of the command; null for the commands
    // without payload (50, 53, 56..59).
    [[nodiscard]] TCommandDataPtr AllocData(std::uint8_t commandNumber) const;

    // Drops the reference and nulls it; a null data is accepted.
    void FreeData(std::uint8_t commandNumber, TCommandDataPtr& data) const;

    // Copies every field of the record; variable bytes are copied into
    // dest's own array. Nothing happens for commands without payload.
    // Throws std::logic_error when source or dest is not the command's
    // record.
    void CopyData(std::uint8_t commandNumber, const TCommandData* source, TCommandData* dest) const;

    // Writes the payload of a command the driver sends (32..65) from its
    // record; any other number, or a payload too short for the layout,
    // writes nothing.
    static void EncodeData(const TCommand& command, std::span<std::uint8_t> payload);

    // Fills the record of a command the register sends (1..31, 66) from
    // the payload; any other number, or a payload too short for a fixed
    // layout, leaves the record unchanged. Raises nothing for bad bytes.
    static void DecodeData(const TCommand& command, std::span<const std::uint8_t> payload);

private:
    [[noreturn]] void RaiseUnknownCommand(std::uint8_t netNumber, std::uint8_t commandNumber) const;
    void CheckCatalogued(std::uint8_t commandNumber) const;

    std::uint8_t FPortNumber;
    TByteSet FAddressSet;
    TIDGenerator FIDGenerator;
};

}  // namespace zarvik12m
