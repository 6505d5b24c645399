#include "AccessUnitBuffer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
}

#include <cstring>

namespace OrvexIPP::Detail {

namespace {

constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};
constexpr size_t kPadding = AV_INPUT_BUFFER_PADDING_SIZE;

} // namespace

AccessUnitBuffer::~AccessUnitBuffer()
{
    av_buffer_unref(&m_buffer);
}

bool AccessUnitBuffer::CanAppend(size_t size) const
{
    return size <= kMaxUnitBytes && m_size + sizeof(kStartCode) + size <= kMaxAccessUnitBytes;
}

bool AccessUnitBuffer::Reserve(size_t bytes)
{
    const size_t needed = bytes + kPadding;
    if (m_buffer && m_buffer->size >= needed) return true;
    size_t capacity = m_buffer ? m_buffer->size * 2 : m_capacityHint;
    if (capacity < needed) capacity = needed;
    // A buffer made by av_buffer_realloc grows in place when it can.
    if (av_buffer_realloc(&m_buffer, capacity) < 0) return false;
    if (capacity > m_capacityHint) m_capacityHint = capacity;
    return true;
}

uint8_t *AccessUnitBuffer::AppendUnit(size_t size)
{
    if (!CanAppend(size) || !Reserve(m_size + sizeof(kStartCode) + size)) return nullptr;
    m_lastUnit = m_size;
    std::memcpy(m_buffer->data + m_size, kStartCode, sizeof(kStartCode));
    m_size += sizeof(kStartCode) + size;
    return m_buffer->data + m_lastUnit + sizeof(kStartCode);
}

void AccessUnitBuffer::DropLastUnit()
{
    m_size = m_lastUnit;
}

bool AccessUnitBuffer::Hand(AVPacket *packet, size_t end)
{
    // The decoder may read a little past the end; those bytes must be zero.
    std::memset(m_buffer->data + end, 0, kPadding);
    packet->buf = m_buffer;
    packet->data = m_buffer->data;
    packet->size = static_cast<int>(end);
    m_buffer = nullptr;
    return true;
}

bool AccessUnitBuffer::TakeAllButLastUnit(AVPacket *packet)
{
    if (!m_buffer || m_lastUnit == 0) return false;
    const size_t lastSize = m_size - m_lastUnit;
    AVBufferRef *next = nullptr;
    const size_t capacity = m_capacityHint > lastSize + kPadding ? m_capacityHint : lastSize + kPadding;
    if (av_buffer_realloc(&next, capacity) < 0) {
        Clear();
        return false;
    }
    std::memcpy(next->data, m_buffer->data + m_lastUnit, lastSize);
    const size_t end = m_lastUnit;
    Hand(packet, end);
    m_buffer = next;
    m_size = lastSize;
    m_lastUnit = 0;
    return true;
}

bool AccessUnitBuffer::TakeAll(AVPacket *packet)
{
    if (!m_buffer || m_size == 0) return false;
    Hand(packet, m_size);
    m_size = 0;
    m_lastUnit = 0;
    return true;
}

void AccessUnitBuffer::Clear()
{
    m_size = 0;
    m_lastUnit = 0;
}

} // namespace OrvexIPP::Detail
