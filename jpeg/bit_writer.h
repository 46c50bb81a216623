// The output buffer of one SaveFile and the bit writer of the entropy-coded segments.
//
// Bits are written most significant first (T.81 F.1.2.3); a byte 0xFF produced by the coder is
// followed by a stuffed 0x00 (B.1.1.5), and the last byte of a segment is completed with
// 1-bits (F.1.2.3). The writer keeps up to 7 pending bits plus the current code in a 64-bit
// accumulator and emits whole bytes; it produces the same bytes as setting one bit at a time
// under a moving mask.
#pragma once

#include "platform/run_time_error.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tav {

// A byte array of fixed size, filled front to back. Writing past its end raises error 9.
class OutputBuffer {
public:
    explicit OutputBuffer(std::size_t size)
        : m_bytes(size)
    {
    }

    void put(std::uint8_t byte)
    {
        if (m_position >= m_bytes.size())
            raiseSubscriptOutOfRange();
        m_bytes[m_position++] = byte;
    }
    void put16(unsigned value)
    {
        put(std::uint8_t(value >> 8));
        put(std::uint8_t(value));
    }
    // Rewrites two bytes already written (a segment length).
    void patch16(std::size_t at, unsigned value)
    {
        if (at + 2 > m_position)
            raiseSubscriptOutOfRange();
        m_bytes[at] = std::uint8_t(value >> 8);
        m_bytes[at + 1] = std::uint8_t(value);
    }
    // Moves the write position forward over bytes that a later patch fills.
    void skip(std::size_t count)
    {
        if (count > m_bytes.size() - m_position)
            raiseSubscriptOutOfRange();
        m_position += count;
    }

    std::size_t position() const { return m_position; }
    std::size_t size() const { return m_bytes.size(); }
    // The bytes written so far; the rest of the buffer is dropped.
    std::vector<std::uint8_t> takeWritten()
    {
        m_bytes.resize(m_position);
        return std::move(m_bytes);
    }
    const std::uint8_t* data() const { return m_bytes.data(); }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};

class BitWriter {
public:
    explicit BitWriter(OutputBuffer& out)
        : m_out(out)
    {
    }

    // Writes the low `length` bits of `value` (0 to 32 bits), the highest of them first.
    void write(std::uint32_t value, int length)
    {
        m_accumulator = (m_accumulator << length) | (value & lowMask(length));
        m_pending += length;
        while (m_pending >= 8) {
            m_pending -= 8;
            const auto byte = std::uint8_t(m_accumulator >> m_pending);
            m_out.put(byte);
            if (byte == 0xFF)
                m_out.put(0x00);
        }
    }

    // Completes a partial last byte with 1-bits.
    void flush()
    {
        if (m_pending > 0) {
            const int fill = 8 - m_pending;
            write(std::uint32_t(lowMask(fill)), fill);
        }
    }

private:
    static std::uint64_t lowMask(int length) { return (std::uint64_t(1) << length) - 1; }

    OutputBuffer& m_out;
    std::uint64_t m_accumulator = 0;  // bits above the pending ones have been written already
    int m_pending = 0;  // 0 to 7 between calls
};

}  // namespace tav
