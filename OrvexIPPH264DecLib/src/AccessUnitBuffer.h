// Gathers NAL units as an Annex B byte stream (start code + unit) in one
// reference-counted buffer that becomes the decoder's packet without a copy.
#ifndef ORVEX_DECLIB_ACCESS_UNIT_BUFFER_H
#define ORVEX_DECLIB_ACCESS_UNIT_BUFFER_H

#include <cstddef>
#include <cstdint>

struct AVBufferRef;
struct AVPacket;

namespace OrvexIPP::Detail {

// Limits on what one access unit may hold, so a hostile size cannot make the
// decoder allocate without bound or overflow a packet's int size.
inline constexpr size_t kMaxUnitBytes = size_t{64} << 20;
inline constexpr size_t kMaxAccessUnitBytes = size_t{128} << 20;

class AccessUnitBuffer {
public:
    AccessUnitBuffer() = default;
    ~AccessUnitBuffer();
    AccessUnitBuffer(const AccessUnitBuffer &) = delete;
    AccessUnitBuffer &operator=(const AccessUnitBuffer &) = delete;

    // Adds a start code and room for a unit of size bytes; returns where the
    // unit's bytes go (valid until the next call), or null when the unit would
    // pass the limits or memory is short.
    uint8_t *AppendUnit(size_t size);
    // Forgets the unit added last.
    void DropLastUnit();
    // Hands every unit but the last one to packet (which must be empty) and
    // keeps the last one as the start of the next access unit. False when
    // memory is short; the buffer is then empty.
    bool TakeAllButLastUnit(AVPacket *packet);
    // Hands every unit to packet. False when there is nothing to hand over.
    bool TakeAll(AVPacket *packet);
    void Clear();

    size_t Size() const { return m_size; }
    bool Empty() const { return m_size == 0; }
    bool CanAppend(size_t size) const;

private:
    bool Reserve(size_t bytes);
    bool Hand(AVPacket *packet, size_t end);

    AVBufferRef *m_buffer = nullptr;
    size_t m_size = 0;
    size_t m_lastUnit = 0;
    size_t m_capacityHint = size_t{64} << 10;
};

} // namespace OrvexIPP::Detail

#endif
