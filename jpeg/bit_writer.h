// The output buffer of one SaveFile and the bit writer of the entropy-coded segments.
//
// Bits are written most significant first (T.81 F.1.2.3); a byte 0xFF produced by the coder is
// followed by a stuffed 0x00 (B.1.1.5), and the last byte of a segment is completed with
// 1-bits (F.1.2.3). The writer gathers bits in a 64-bit buffer and emits them eight bytes at a
// time, stuffing only where a byte is 0xFF; it produces the same bytes as setting one bit at a
// time under a moving mask. Bytes are staged in a small array and appended to the buffer in
// blocks, so a buffer that is too small raises error 9 at the latest when the writer flushes.
#pragma once

#include "platform/run_time_error.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace tav {

// A byte array of fixed size, filled front to back. Writing past its end raises error 9. Only
// the bytes written are ever touched: the array's memory is reserved, not cleared, so a buffer
// sized for the worst case costs nothing for the room it does not use.
//
// Given a file, the array is a window instead: whenever it is full its bytes go to the file
// and it starts again, so a stream of any length passes through a few kilobytes. Only bytes
// still in the window can be patched; a failed write raises error 75.
class OutputBuffer {
public:
    explicit OutputBuffer(std::size_t size)
        : m_size(size)
    {
        m_bytes.reserve(size);
    }
    OutputBuffer(std::FILE* sink, std::size_t window)
        : m_size(window)
        , m_sink(sink)
    {
        m_bytes.reserve(window);
    }

    void put(std::uint8_t byte)
    {
        if (m_bytes.size() >= m_size)
            makeRoom();
        m_bytes.push_back(byte);
    }
    void put16(unsigned value)
    {
        put(std::uint8_t(value >> 8));
        put(std::uint8_t(value));
    }
    // Appends `count` bytes at once.
    void append(const std::uint8_t* bytes, std::size_t count)
    {
        if (count > m_size - m_bytes.size()) {
            makeRoom();
            if (count > m_size) {
                writeToSink(bytes, count);
                m_passed += count;
                return;
            }
        }
        m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    }
    // Rewrites two bytes already written (a segment length).
    void patch16(std::size_t at, unsigned value)
    {
        if (at < m_passed || at + 2 > position())
            raiseSubscriptOutOfRange();
        m_bytes[at - m_passed] = std::uint8_t(value >> 8);
        m_bytes[at - m_passed + 1] = std::uint8_t(value);
    }
    // Moves the write position forward over bytes that a later patch fills.
    void skip(std::size_t count)
    {
        if (count > m_size - m_bytes.size())
            raiseSubscriptOutOfRange();
        m_bytes.resize(m_bytes.size() + count);
    }

    std::size_t position() const { return m_passed + m_bytes.size(); }
    std::size_t size() const { return m_size; }
    // The bytes written so far; the rest of the buffer is dropped.
    std::vector<std::uint8_t> takeWritten() { return std::move(m_bytes); }
    const std::uint8_t* data() const { return m_bytes.data(); }
    // Hands the window's bytes to the file.
    void flushToSink()
    {
        if (!m_sink)
            return;
        writeToSink(m_bytes.data(), m_bytes.size());
        m_passed += m_bytes.size();
        m_bytes.clear();
    }

private:
    void makeRoom()
    {
        if (!m_sink)
            raiseSubscriptOutOfRange();
        flushToSink();
    }
    void writeToSink(const std::uint8_t* bytes, std::size_t count)
    {
        if (count > 0 && std::fwrite(bytes, 1, count, m_sink) != count)
            throw RunTimeError(kErrPathFileAccess, kMsgPathFileAccess);
    }

    std::vector<std::uint8_t> m_bytes;  // the bytes written (in the window); capacity m_size
    std::size_t m_size;
    std::FILE* m_sink = nullptr;
    std::size_t m_passed = 0;  // bytes handed to the file
};

// Stuffing::Yes is the writer of entropy-coded segments. Stuffing::No writes the plain bits,
// for a part of a segment coded apart and appended to the segment later with writeBytes.
enum class Stuffing { Yes, No };

template <Stuffing Stuff> class BasicBitWriter {
public:
    explicit BasicBitWriter(OutputBuffer& out)
        : m_out(out)
    {
    }
    BasicBitWriter(const BasicBitWriter&) = delete;
    BasicBitWriter& operator=(const BasicBitWriter&) = delete;

    // Writes the low `length` bits of `value` (0 to 32 bits), the highest of them first.
    void write(std::uint32_t value, int length)
    {
        const std::uint64_t bits = value & lowMask(length);
        if (length < m_free) {
            m_buffer = (m_buffer << length) | bits;
            m_free -= length;
            return;
        }
        // The buffer fills up: its 64 bits go out as 8 bytes, the rest of the value stays.
        const int rest = length - m_free;  // m_free is 1 to 32 here
        emit8((m_buffer << m_free) | (bits >> rest));
        m_buffer = bits & lowMask(rest);
        m_free = 64 - rest;
    }

    // Writes `count` bytes as 8 bits each, wherever the current bit position is.
    void writeBytes(const std::uint8_t* bytes, std::size_t count)
    {
        std::size_t i = 0;
        for (; i + 4 <= count; i += 4) {
            const std::uint32_t word = std::uint32_t(bytes[i]) << 24 | std::uint32_t(bytes[i + 1]) << 16 |
                std::uint32_t(bytes[i + 2]) << 8 | bytes[i + 3];
            write(word, 32);
        }
        for (; i < count; ++i)
            write(bytes[i], 8);
    }

    // Completes a partial last byte with 1-bits and hands every byte to the buffer.
    void flush()
    {
        const int pending = 64 - m_free;
        if (pending % 8 != 0) {
            const int fill = 8 - pending % 8;
            write(std::uint32_t(lowMask(fill)), fill);
        }
        finish(m_tailValue, m_tailBits);
    }

    // Hands every whole byte to the buffer and gives back the bits of a partial last byte
    // (`bits` of them, 0 to 7, in the low bits of `value`).
    void finish(std::uint32_t& value, int& bits)
    {
        const int pending = 64 - m_free;
        bits = pending % 8;
        value = std::uint32_t(m_buffer & lowMask(bits));
        for (int shift = pending - 8; shift >= bits; shift -= 8)
            stage(std::uint8_t(m_buffer >> shift));
        m_buffer = 0;
        m_free = 64;
        drain();
    }

private:
    static constexpr std::size_t kStageBytes = 4096;
    static std::uint64_t lowMask(int length)
    {
        return length >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << length) - 1;
    }

    void stage(std::uint8_t byte)
    {
        m_stage[m_staged++] = byte;
        if (Stuff == Stuffing::Yes && byte == 0xFF)
            m_stage[m_staged++] = 0x00;
    }

    // Eight whole bytes, most significant first. Without a 0xFF among them (by far the common
    // case) they are stored at once; otherwise one at a time with their stuffed zeros.
    void emit8(std::uint64_t bytes)
    {
        const std::uint64_t inverse = ~bytes;  // a 0xFF byte is a zero byte here
        const bool hasFF = ((inverse - 0x0101010101010101ULL) & ~inverse & 0x8080808080808080ULL) != 0;
        if (Stuff == Stuffing::No || !hasFF) {
            for (int i = 0; i < 8; ++i)
                m_stage[m_staged + std::size_t(i)] = std::uint8_t(bytes >> (56 - 8 * i));
            m_staged += 8;
        } else {
            for (int shift = 56; shift >= 0; shift -= 8)
                stage(std::uint8_t(bytes >> shift));
        }
        if (m_staged > kStageBytes - 16)
            drain();
    }

    void drain()
    {
        m_out.append(m_stage, m_staged);
        m_staged = 0;
    }

    OutputBuffer& m_out;
    std::uint64_t m_buffer = 0;  // the bits not yet emitted, in the low 64 - m_free bits
    int m_free = 64;
    // Whole bytes go to a small staging area first and to the buffer in blocks.
    std::uint8_t m_stage[kStageBytes];
    std::size_t m_staged = 0;
    std::uint32_t m_tailValue = 0;  // flush leaves none
    int m_tailBits = 0;
};

using BitWriter = BasicBitWriter<Stuffing::Yes>;
using RawBitWriter = BasicBitWriter<Stuffing::No>;

}  // namespace tav
