#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A list of chunks that together make one output: text for a file, bytes for a MIDI track. The
// chunks are concatenated in order with nothing between them, so where one chunk ends and the
// next begins never shows in the result. One thread at a time.
template <class T>
class bank {
public:
    virtual ~bank() = default;

    // Copies every chunk, in order, into `buffer`; the buffer's storage is replaced only when
    // its length differs from the total. No terminator is added. Never fails short of memory
    // exhaustion.
    virtual void flatten(T& buffer) const {
        size_t total = 0;
        for (const T& c : chunks_)
            total += c.size();
        if (buffer.size() != total) buffer = T(total, typename T::value_type());
        size_t at = 0;
        for (const T& c : chunks_) {
            std::copy(c.begin(), c.end(), buffer.begin() + static_cast<std::ptrdiff_t>(at));
            at += c.size();
        }
    }

    // The chunk that text is appended to; starts one when there is none.
    T& current() {
        if (chunks_.empty()) chunks_.emplace_back();
        return chunks_.back();
    }

    // Starts a new chunk and returns it.
    T& start_chunk() { return chunks_.emplace_back(); }

    size_t chunk_count() const { return chunks_.size(); }
    void clear() { chunks_.clear(); }

private:
    std::vector<T> chunks_;
};

// Text chunks (the writer's output).
class bank_string : public bank<std::string> {};

// Byte chunks (the MIDI file's track data).
class bank_block : public bank<std::vector<uint8_t>> {};
