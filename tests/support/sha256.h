// SHA-256 (FIPS 180-4) for pinning output bytes in tests: small,
// dependency-free, one pass over a byte range. Not for anything secret: no care
// is taken about timing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tav::test {

class Sha256 {
public:
    Sha256() { reset(); }

    void reset()
    {
        m_state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
        m_length = 0;
        m_used = 0;
    }

    void update(std::span<const std::uint8_t> bytes)
    {
        for (std::uint8_t b : bytes) {
            m_block[m_used++] = b;
            if (m_used == 64) {
                compress();
                m_used = 0;
            }
        }
        m_length += std::uint64_t(bytes.size());
    }
    void update(std::string_view text)
    {
        update(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }

    // The digest as 64 lower-case hexadecimal digits; the object is reset
    // afterwards.
    std::string hex()
    {
        // Padding (5.1.1): a 1 bit, zeros up to 56 bytes mod 64, the length in bits
        // big-endian.
        const std::uint64_t bits = m_length * 8;
        m_block[m_used++] = 0x80;
        if (m_used > 56) {
            while (m_used < 64)
                m_block[m_used++] = 0;
            compress();
            m_used = 0;
        }
        while (m_used < 56)
            m_block[m_used++] = 0;
        for (int i = 7; i >= 0; --i)
            m_block[m_used++] = std::uint8_t(bits >> (8 * i));
        compress();
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string out;
        for (std::uint32_t word : m_state)
            for (int i = 28; i >= 0; i -= 4)
                out += kDigits[(word >> i) & 15];
        reset();
        return out;
    }

private:
    static std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

    void compress()
    {
        // 4.2.2: the first 32 bits of the fractional parts of the cube roots of the
        // first 64 primes.
        static constexpr std::uint32_t k[64] = {0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1,
            0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7,
            0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
            0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85,
            0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
            0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116, 0x1e376c08, 0x2748774c,
            0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
            0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
        std::uint32_t w[64];
        for (int t = 0; t < 16; ++t)
            w[t] = std::uint32_t(m_block[4 * t]) << 24 | std::uint32_t(m_block[4 * t + 1]) << 16 |
                std::uint32_t(m_block[4 * t + 2]) << 8 | m_block[4 * t + 3];
        for (int t = 16; t < 64; ++t) {
            const std::uint32_t s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const std::uint32_t s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
        std::uint32_t e = m_state[4], f = m_state[5], g = m_state[6], h = m_state[7];
        for (int t = 0; t < 64; ++t) {
            const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[t] + w[t];
            const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        m_state[0] += a;
        m_state[1] += b;
        m_state[2] += c;
        m_state[3] += d;
        m_state[4] += e;
        m_state[5] += f;
        m_state[6] += g;
        m_state[7] += h;
    }

    std::array<std::uint32_t, 8> m_state{};
    std::array<std::uint8_t, 64> m_block{};
    std::uint64_t m_length = 0;
    std::size_t m_used = 0;
};

inline std::string sha256Hex(std::span<const std::uint8_t> bytes)
{
    Sha256 h;
    h.update(bytes);
    return h.hex();
}

}  // namespace tav::test
