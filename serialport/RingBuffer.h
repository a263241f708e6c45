#pragma once

#include <algorithm>

namespace kavrio {

// An abstract buffer of elements.
template <class T>
class Buffer
{
public:
    virtual ~Buffer() = default;

    virtual unsigned int put(const T* data, unsigned int length) = 0;
    virtual unsigned int take(T* destination, unsigned int length) = 0;
    virtual bool full() const = 0;
    virtual bool empty() const = 0;
    virtual unsigned int usedCount() const = 0;
    virtual unsigned int freeCount() const = 0;
    virtual unsigned int capacity() const = 0;
};

// A fixed-capacity ring that never refuses data: when more arrives than fits,
// the oldest elements are overwritten. The capacity is a power of two and both
// indexes count modulo twice the capacity, so storage positions come from a mask
// and the spare top bit tells full from empty without a separate counter.
// Not thread-safe: the owner serialises put and take. Neither allocates;
// both copy whole runs rather than element by element.
template <class T>
class RingBuffer final : public Buffer<T>
{
public:
    static constexpr unsigned int kDefaultCapacity = 4096;

    // The capacity a requested size gets: the size itself when it is a power of
    // two, else the next power of two above it; 0, and sizes whose next power of
    // two would not fit 32 bits, get the default.
    static constexpr unsigned int capacityFor(unsigned int requestedSize)
    {
        if (requestedSize == 0)
            return kDefaultCapacity;
        if ((requestedSize & (requestedSize - 1)) == 0)
            return requestedSize;
        if (requestedSize - 1 > 0x3FFFFFFFu)
            return kDefaultCapacity;
        unsigned int capacity = 1;
        while (capacity <= requestedSize)
            capacity <<= 1;
        return capacity;
    }

    // Twice the capacity less one, in 32 bits (0xFFFFFFFF for a capacity of 2^31).
    static constexpr unsigned int indexMaskFor(unsigned int capacity)
    {
        return capacity * 2u - 1u;
    }

    explicit RingBuffer(unsigned int requestedSize)
        : capacity_(capacityFor(requestedSize)),
          indexMask_(indexMaskFor(capacity_)),
          storage_(new T[capacity_])
    {
    }

    ~RingBuffer() override { delete[] storage_; }

    RingBuffer(const RingBuffer&) = delete;
    RingBuffer& operator=(const RingBuffer&) = delete;

    unsigned int put(const T* data, unsigned int length) override
    {
        // Whole runs are copied; the result is the element-by-element one:
        // of a put larger than the capacity only the newest capacity elements
        // stay, and a put past the free space leaves the buffer full.
        const unsigned int kept = length < capacity_ ? length : capacity_;
        const bool overflows = length > freeCount();
        copyIn(data + (length - kept), kept, write_ + (length - kept));
        write_ = (write_ + length) & indexMask_;
        if (overflows)
            read_ = write_ ^ capacity_;
        return length;
    }

    unsigned int take(T* destination, unsigned int length) override
    {
        const unsigned int count = length < usedCount() ? length : usedCount();
        const unsigned int at = read_ & (capacity_ - 1);
        const unsigned int first = count < capacity_ - at ? count : capacity_ - at;
        std::copy(storage_ + at, storage_ + at + first, destination);
        std::copy(storage_, storage_ + (count - first), destination + first);
        read_ = (read_ + count) & indexMask_;
        return count;
    }

    // Drops every element.
    void clear() { read_ = write_; }

    // Where the next put would store, and how many elements fit there without
    // wrapping: a producer may fill that run directly and then commit() what
    // it wrote. An empty buffer starts again at the front, so that all its
    // free space is one run.
    struct Run
    {
        T* data;
        unsigned int size;
    };
    Run freeRun()
    {
        if (empty())
            read_ = write_ = 0;
        const unsigned int at = write_ & (capacity_ - 1);
        return {storage_ + at, std::min(freeCount(), capacity_ - at)};
    }

    // Counts `count` elements, at most the size of the last freeRun(), as put.
    void commit(unsigned int count) { write_ = (write_ + count) & indexMask_; }

    bool full() const override { return write_ == (read_ ^ capacity_); }
    bool empty() const override { return read_ == write_; }

    unsigned int usedCount() const override
    {
        return write_ >= read_ ? write_ - read_ : write_ + 2u * capacity_ - read_;
    }

    unsigned int freeCount() const override { return capacity_ - usedCount(); }
    unsigned int capacity() const override { return capacity_; }

private:
    // Copies count (at most the capacity) elements to the storage from index on, wrapping once.
    void copyIn(const T* data, unsigned int count, unsigned int index)
    {
        const unsigned int at = index & (capacity_ - 1);
        const unsigned int first = count < capacity_ - at ? count : capacity_ - at;
        std::copy(data, data + first, storage_ + at);
        std::copy(data + first, data + count, storage_);
    }

    unsigned int read_ = 0;
    unsigned int write_ = 0;
    const unsigned int capacity_;
    const unsigned int indexMask_;
    T* const storage_;
};

} // namespace kavrio
