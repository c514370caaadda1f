#include "core/StateChunk.h"

#include <algorithm>
#include <cstring>

#include "core/Text.h"

int StateChunk::Put(const void* bytes, int count)
{
    if (bytes != nullptr && count > 0) {
        const auto* first = static_cast<const std::uint8_t*>(bytes);
        m_bytes.insert(m_bytes.end(), first, first + count);
    }
    return Size();
}

int StateChunk::Get(void* out, int count, int position) const
{
    // 64-bit sums: position + count must not wrap for counts read from a file.
    if (position < 0 || count < 0 || static_cast<std::int64_t>(position) + count > Size()) {
        return -1;
    }
    if (count > 0) {
        std::memcpy(out, m_bytes.data() + position, static_cast<std::size_t>(count));
    }
    return position + count;
}

int StateChunk::PutString(const char* text)
{
    std::size_t length = text == nullptr ? 0 : std::strlen(text);
    std::int32_t length32 = static_cast<std::int32_t>(length);
    PutValue(length32);
    return Put(text, length32);
}

int StateChunk::GetString(char* text, int capacity, int position) const
{
    std::int32_t length = 0;
    int start = GetValue(length, position);
    if (start < 0 || length < 0 || static_cast<std::int64_t>(start) + length > Size()) {
        return -1;
    }
    CopyText(text, capacity, reinterpret_cast<const char*>(m_bytes.data()) + start,
             static_cast<std::size_t>(length));
    return start + length;
}

bool StateChunk::Resize(int n)
{
    if (n < 0 || n > kMaxSize) {
        return false;
    }
    m_bytes.resize(static_cast<std::size_t>(n), 0);
    return true;
}

bool StateChunk::Assign(const void* bytes, int count)
{
    if (count < 0 || count > kMaxSize || (bytes == nullptr && count > 0)) {
        return false;
    }
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    const std::uint8_t* own = m_bytes.data();
    if (count > 0 && first >= own && first < own + m_bytes.size()) {
        // A host handing back the very buffer effGetChunk gave it: copy out
        // first (assign() from its own storage is undefined), and never read
        // past the end of that buffer whatever count the host claims.
        const std::size_t available = static_cast<std::size_t>(own + m_bytes.size() - first);
        std::vector<std::uint8_t> copy(first, first + std::min(static_cast<std::size_t>(count), available));
        m_bytes.swap(copy);
        return true;
    }
    m_bytes.assign(first, first + count);
    return true;
}

int StateChunk::PutChunk(const StateChunk& other)
{
    m_bytes.insert(m_bytes.end(), other.m_bytes.begin(), other.m_bytes.end());
    return Size();
}

void BeginVersionedChunk(StateChunk& chunk)
{
    chunk.Clear();
    chunk.PutValue(kChunkMarker);
    chunk.PutValue(kChunkVersion);
}

std::int32_t ReadChunkVersion(const StateChunk& chunk, int& position)
{
    std::uint32_t marker = 0;
    if (chunk.GetValue(marker, position) < 0 || marker != kChunkMarker) {
        return 0;
    }
    std::int32_t version = 0;
    if (chunk.GetValue(version, position + 4) < 0) {
        position = -1;
        return 0;
    }
    position += 8;
    return version;
}
