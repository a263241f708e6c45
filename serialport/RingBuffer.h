#pragma once

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
// Not thread-safe: the owner serialises put and take. Neither allocates.
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
        for (unsigned int i = 0; i < length; ++i) {
            storage_[write_ & (capacity_ - 1)] = data[i];
            if (full())
                read_ = (read_ + 1) & indexMask_; // the oldest element was just overwritten
            write_ = (write_ + 1) & indexMask_;
        }
        return length;
    }

    unsigned int take(T* destination, unsigned int length) override
    {
        if (empty())
            return 0;
        unsigned int count = length;
        if (count > usedCount())
            count = usedCount();
        for (unsigned int i = 0; i < count; ++i) {
            destination[i] = storage_[read_ & (capacity_ - 1)];
            read_ = (read_ + 1) & indexMask_;
        }
        return count;
    }

    bool full() const override { return write_ == (read_ ^ capacity_); }
    bool empty() const override { return read_ == write_; }

    unsigned int usedCount() const override
    {
        return write_ >= read_ ? write_ - read_ : write_ + 2u * capacity_ - read_;
    }

    unsigned int freeCount() const override { return capacity_ - usedCount(); }
    unsigned int capacity() const override { return capacity_; }

private:
    unsigned int read_ = 0;
    unsigned int write_ = 0;
    const unsigned int capacity_;
    const unsigned int indexMask_;
    T* const storage_;
};

} // namespace kavrio
