// A growable byte buffer for plug-in state: parameter values, preset banks and
// the chunks handed to and taken from the host. Values are stored in the
// processor's byte order, which is little-endian on every target; read
// positions are byte offsets, with -1 meaning "could not be read".
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

static_assert(std::endian::native == std::endian::little, "state chunks are little-endian");

class StateChunk {
public:
    // Largest chunk accepted from outside (host or file), in bytes. A bank of
    // this product is about 70 KB; anything near this is corrupt input.
    static constexpr int kMaxSize = 16 * 1024 * 1024;

    // Appends count bytes. Returns the new size.
    int Put(const void* bytes, int count);
    // Copies count bytes at position into out and returns position + count;
    // -1 (out untouched) when position < 0 or the bytes are not all there.
    int Get(void* out, int count, int position) const;

    template <typename T>
    int PutValue(T value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        return Put(&value, static_cast<int>(sizeof(T)));
    }
    template <typename T>
    int GetValue(T& value, int position) const
    {
        static_assert(std::is_trivially_copyable_v<T>);
        return Get(&value, static_cast<int>(sizeof(T)), position);
    }

    // Appends the text's length as int32, then its characters without the
    // terminator. A null text is written as the empty text. Returns the new size.
    int PutString(const char* text);
    // Reads a text written by PutString into text (capacity bytes, terminator
    // included; a longer text is cut). Returns the position after the text, or
    // -1 when the length or the characters are not all in the chunk or the
    // length is negative; on -1 text is left unchanged.
    int GetString(char* text, int capacity, int position) const;

    // Sets the size to n bytes (0..kMaxSize), keeping the first bytes; added
    // bytes are zero. False (chunk unchanged) for a size out of range.
    bool Resize(int n);
    // Replaces the contents with count bytes; false (chunk unchanged) when
    // count is out of range or bytes is null with count > 0. bytes may point
    // into this chunk; then at most the bytes up to its end are taken.
    bool Assign(const void* bytes, int count);
    void Clear() { m_bytes.clear(); }

    int Size() const { return static_cast<int>(m_bytes.size()); }
    bool Empty() const { return m_bytes.empty(); }
    std::uint8_t* Data() { return m_bytes.data(); }
    const std::uint8_t* Data() const { return m_bytes.data(); }

    // Appends another chunk's bytes.
    int PutChunk(const StateChunk& other);

    friend bool operator==(const StateChunk&, const StateChunk&) = default;

private:
    std::vector<std::uint8_t> m_bytes;
};

// The marker that starts program and bank chunks handed to the host: the
// bytes "tffp" followed by an int32 version.
inline constexpr std::uint32_t kChunkMarker = 0x70666674;  // "tffp" read as a little-endian int32
inline constexpr std::int32_t kChunkVersion = 0x00010000;

// Clears chunk and writes the marker and kChunkVersion.
void BeginVersionedChunk(StateChunk& chunk);
// When the marker is at position: returns the version after it and advances
// position past both (position becomes -1 and the result 0 when the version
// is cut off). Without the marker: 0, position unchanged.
std::int32_t ReadChunkVersion(const StateChunk& chunk, int& position);
